#include "recorder/q7_util.h"

#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <string>

#include "platform/board_path.h"

Q7_FILELIST g_filelist;

namespace
{

std::atomic<int64_t> g_clockOffset{0};

const char *const kContPrefix[3] = {"M_REC_", "S_REC_", "REC_"};

} // namespace

void *q7_mem_allloc(uint32_t size)
{
    return malloc(size ? size : 1);
}

void q7_mem_free(void *p)
{
    free(p);
}

int dma_memcpy(void *dst, const void *src, uint32_t size)
{
    if (dst == nullptr || src == nullptr) return -1;
    memcpy(dst, src, size);
    return 0;
}

int dma_memcpy_open(void)
{
    return 0;
}

int dma_memcpy_close(void)
{
    return 0;
}

void q7_gettime(struct timeval *tv)
{
    gettimeofday(tv, nullptr);
    tv->tv_sec += (time_t)g_clockOffset.load(std::memory_order_relaxed);
}

void q7_set_clock_offset(int64_t seconds)
{
    g_clockOffset.store(seconds, std::memory_order_relaxed);
}

void q7_format_localtime(char *out, uint32_t size, const char *format)
{
    struct timeval tv;
    q7_gettime(&tv);
    time_t t = tv.tv_sec;
    struct tm tm;
    localtime_r(&t, &tm);
    if (strftime(out, size, format, &tm) == 0 && size > 0) out[0] = '\0';
}

void q7_filelist_clear(void)
{
    memset(&g_filelist, 0, sizeof(g_filelist));
}

void q7_filelist_enter(const char *path)
{
    g_filelist.index++;
    if (g_filelist.index > Q7_FILELIST_SLOTS - 1) g_filelist.index = 0;
    char *slot = g_filelist.name[g_filelist.index];
    // A card that is gone or read-only keeps its file; the ring goes on regardless.
    if (slot[0] != '\0') remove(slot);
    snprintf(slot, Q7_PATH_LEN, "%s", path);
}

int q7_sync_dir(const char *dir)
{
    int fd = open(dir, O_RDONLY | O_DIRECTORY);
    if (fd < 0) return -1;
    int rc = fsync(fd);
    close(fd);
    return rc == 0 ? 0 : -1;
}

void q7_prepare_cont_folder(void)
{
    std::string dir = board_path(Q7_CONT_DIR);
    if (access(dir.c_str(), F_OK) == 0) {
        char cmd[Q7_PATH_LEN + 32];
        snprintf(cmd, sizeof(cmd), "rm -rf %s/*", dir.c_str());
        board_shell(cmd);
    } else {
        mkdir(dir.c_str(), 0775);
    }
    q7_filelist_clear();
}

void q7_make_cont_name(char *out, uint32_t size, int camMode)
{
    char t[32];
    q7_format_localtime(t, sizeof(t), "%Y_%2m_%2d_%2H_%2M");
    const char *prefix = kContPrefix[camMode >= 0 && camMode <= 2 ? camMode : 0];
    snprintf(out, size, "%s/%s%s.avi", board_path(Q7_CONT_DIR).c_str(), prefix, t);
}

void q7_make_snapshot_name(char *out, uint32_t size, bool sub)
{
    char t[32];
    q7_format_localtime(t, sizeof(t), "%Y_%2m_%2d_%2H_%2M_%2S");
    snprintf(out, size, sub ? "%s/IMG_%s_s.jpeg" : "%s/IMG_%s_m.jpeg",
             board_path(Q7_PHOTO_DIR).c_str(), t);
}
