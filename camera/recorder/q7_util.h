// Helpers of the recording pipeline: heap, copy routine, wall clock, the card's recording
// folders, file names and the ring of continuous files.
#pragma once

#include <stdint.h>
#include <sys/time.h>

// Plain heap allocation: a pointer to `size` bytes, or null.
void *q7_mem_allloc(uint32_t size);
void q7_mem_free(void *p);

// The copy routine of the pipeline; -1 when either pointer is null.
int dma_memcpy(void *dst, const void *src, uint32_t size);
int dma_memcpy_open(void);
int dma_memcpy_close(void);

// Wall clock of frame stamps and file names. Tests move it by whole seconds to cross a minute
// without waiting for one.
void q7_gettime(struct timeval *tv);
void q7_set_clock_offset(int64_t seconds);
// Local time of q7_gettime formatted with strftime.
void q7_format_localtime(char *out, uint32_t size, const char *format);

// Folders on the card, before board_path.
#define Q7_CONT_DIR "/mmc/상시녹화"
#define Q7_EVENT_DIR "/mmc/이벤트녹화"
#define Q7_PHOTO_DIR "/mmc/사진촬영"

#define Q7_FILELIST_SLOTS 60
#define Q7_PATH_LEN 128

// Ring of the continuous file names: the oldest file is deleted when its slot is reused.
struct Q7_FILELIST {
    uint32_t index;
    char name[Q7_FILELIST_SLOTS][Q7_PATH_LEN];
};
static_assert(sizeof(Q7_FILELIST) == 7684, "file ring is an index and 60 names");

extern Q7_FILELIST g_filelist;

// Empties the ring (index 0, every slot empty).
void q7_filelist_clear(void);
// Puts `path` into the next slot, deleting the file of the name it held (failures ignored). A
// name already in another slot leaves it, so that the file is deleted one ring later, not when
// that older slot comes round. A path longer than a slot is refused (-1), never cut short.
int q7_filelist_enter(const char *path);

// Brings a folder's entries (files created, deleted or grown in it) onto the card: a file's own
// sync leaves the entry of a new file, and the folder's entry in its parent, to the kernel's
// write-back. 0, or -1 when the folder cannot be opened or synced. `dir` is a real path.
int q7_sync_dir(const char *dir);

// Creates the folder when it is missing. Otherwise the recorder's own earlier files (the three
// continuous name patterns) are entered into an emptied ring, oldest minute first, which deletes
// all but the newest 60; files of other names stay as they are.
void q7_prepare_cont_folder(void);
// The minute a continuous file's name carries ("YYYY_MM_DD_HH_MM", 16 characters), or null when
// the name is not one of the recorder's continuous names.
const char *q7_cont_name_minute(const char *name);

// Formats a path into `out`; a path that does not fit is refused with a message (-1) and `out`
// is left empty. 0 when it fits.
int q7_make_path(char *out, uint32_t size, const char *format, ...)
    __attribute__((format(printf, 3, 4)));
// Path of the continuous file for the current minute: "M_REC_", "S_REC_" or "REC_" by mode.
// 0, or -1 when it does not fit.
int q7_make_cont_name(char *out, uint32_t size, int camMode);
// Path of a snapshot: "_m" main, "_s" sub. 0, or -1 when it does not fit.
int q7_make_snapshot_name(char *out, uint32_t size, bool sub);
