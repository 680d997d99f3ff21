// Entry of q7_app: the global configuration, the device/sound thread records, the main menu,
// and the start and stop of a camera process.
#pragma once

#include <stdint.h>

#include "platform/osa.h"
#include "platform/thread_ctrl.h"

// Camera process modes.
enum {
    CAM_MODE_MAIN = 0,
    CAM_MODE_SUB = 1,
    CAM_MODE_BOTH = 2,
    CAM_MODE_DECODER = 3,
};

struct APP_CFG {
    uint32_t recordOn;
    uint32_t reserved[3];
    uint32_t frameRate;
    uint32_t mainWidth;
    uint32_t mainHeight;
    uint32_t subWidth;
    uint32_t subHeight;
    uint16_t encEnable;
    uint16_t decEnable;
    uint16_t jpegEnable;
    uint16_t contRecEnable;
    uint16_t bitsEnable;
    uint16_t audioEnable;
    uint16_t prerecEnable;
    uint16_t tvOutOn;
};

extern APP_CFG gApp_cfg;

extern ThreadCtrl gps_cfg;
extern ThreadCtrl bma_cfg;
extern ThreadCtrl dio_cfg;
extern ThreadCtrl key_cfg;
extern ThreadCtrl snd_play_cfg;
extern ThreadCtrl snd_rec_cfg;

// The program's main(): start-up, arguments, then the automatic run or the main menu.
int q7_app_main(int argc, char **argv);

int q7_main(int camMode);
int video_run(int camMode);
int video_stop(int camMode);
int q7_video_control(int camMode, uint32_t noMenu);
int q7_device_control(int choice);
int q7_eventHandler(uint32_t eventId, void *appData);
int app_set_quit(ThreadCtrl *ctrl);
int audio_run(int choice);
void audio_stop(int choice);

// Console input. Both flush typed-ahead input on a terminal first (menu_get_cmd) and treat the
// end of standard input as the choice 0, so that scripted input ends the program cleanly.
int menu_get_cmd(void);
int menu_get_data(void);

// Reads one menu line (at most 7 characters are kept, the rest of a longer line is discarded)
// into `line` after flushing typed-ahead input; a NUL byte is an ordinary character. Returns
// false at the end of standard input.
bool menu_read_line(char line[8]);
// Reads a path line of at most 127 characters; only a trailing line end is removed. A longer line,
// or one holding a NUL byte, is refused with a message (false, as at the end of input): a path cut
// short would name some other file.
bool menu_read_path(char path[128]);
// Discards typed-ahead input when standard input is a terminal: the kernel's queue and what the C
// library has buffered. Piped input is kept.
void menu_flush_input(void);
