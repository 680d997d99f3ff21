// Key input device: the board's button (KEY_F1) and the memory card's insertion and removal.
#pragma once

#include "platform/thread_ctrl.h"

// Reads the key device until KEY_F1 is pressed (1) or `quit` is set or the device fails (0).
int key_main(ThreadCtrl *ctrl);
// The automatic mode's key reader: as key_main, but a device that cannot be opened or read is
// tried again every second (said once, not at every try) until KEY_F1 (1) or `quit` (0).
int key_main_retrying(ThreadCtrl *ctrl);
int key_exit(int fd);
int key_thr_create(ThreadCtrl *ctrl);
