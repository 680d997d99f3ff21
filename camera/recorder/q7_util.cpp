#include "recorder/q7_util.h"

#include <dirent.h>
#include <fcntl.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <vector>

#include "platform/board_path.h"

Q7_FILELIST g_filelist;

namespace {

std::atomic<int64_t> g_clockOffset{0};

const char *const kContPrefix[3] = {"M_REC_", "S_REC_", "REC_"};
// "YYYY_MM_DD_HH_MM": digits, with an underscore at these places.
const char kMinutePattern[] = "dddd_dd_dd_dd_dd";
const size_t kMinuteLen = sizeof(kMinutePattern) - 1;

// An earlier continuous file found at the start.
struct ContFile {
    std::string minute;
    struct timespec mtime;
    std::string path;
};

bool olderFirst(const ContFile &a, const ContFile &b)
{
    // Two files of one minute (say a main-camera and a two-camera run): the older write first.
    if (a.minute != b.minute)
        return a.minute < b.minute;
    if (a.mtime.tv_sec != b.mtime.tv_sec)
        return a.mtime.tv_sec < b.mtime.tv_sec;
    if (a.mtime.tv_nsec != b.mtime.tv_nsec)
        return a.mtime.tv_nsec < b.mtime.tv_nsec;
    return a.path < b.path;
}

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
    if (dst == nullptr || src == nullptr)
        return -1;
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
    if (strftime(out, size, format, &tm) == 0 && size > 0)
        out[0] = '\0';
}

void q7_filelist_clear(void)
{
    memset(&g_filelist, 0, sizeof(g_filelist));
}

int q7_filelist_enter(const char *path)
{
    // A cut name would delete some other file when its slot comes round.
    if (strlen(path) >= Q7_PATH_LEN)
        return -1;
    g_filelist.index++;
    if (g_filelist.index > Q7_FILELIST_SLOTS - 1)
        g_filelist.index = 0;
    char *slot = g_filelist.name[g_filelist.index];
    for (uint32_t i = 0; i < Q7_FILELIST_SLOTS; i++)
        if (i != g_filelist.index && strcmp(g_filelist.name[i], path) == 0)
            g_filelist.name[i][0] = '\0';
    // A card that is gone or read-only keeps its file; the ring goes on regardless.
    if (slot[0] != '\0')
        remove(slot);
    memcpy(slot, path, strlen(path) + 1);
    return 0;
}

const char *q7_cont_name_minute(const char *name)
{
    const char *rest = nullptr;
    for (const char *prefix : kContPrefix) {
        size_t n = strlen(prefix);
        if (strncmp(name, prefix, n) == 0) {
            rest = name + n;
            break;
        }
    }
    if (rest == nullptr)
        return nullptr;
    for (size_t i = 0; i < kMinuteLen; i++) {
        bool digit = rest[i] >= '0' && rest[i] <= '9';
        if (kMinutePattern[i] == 'd' ? !digit : rest[i] != '_')
            return nullptr;
    }
    return strcmp(rest + kMinuteLen, ".avi") == 0 ? rest : nullptr;
}

int q7_sync_dir(const char *dir)
{
    int fd = open(dir, O_RDONLY | O_DIRECTORY);
    if (fd < 0)
        return -1;
    int rc = fsync(fd);
    close(fd);
    return rc == 0 ? 0 : -1;
}

void q7_prepare_cont_folder(void)
{
    q7_filelist_clear();
    std::string dir = board_path(Q7_CONT_DIR);
    if (access(dir.c_str(), F_OK) != 0) {
        mkdir(dir.c_str(), 0775);
        return;
    }
    DIR *d = opendir(dir.c_str());
    if (d == nullptr)
        return;
    std::vector<ContFile> found;
    size_t tooLong = 0;
    while (struct dirent *e = readdir(d)) {
        const char *minute = q7_cont_name_minute(e->d_name);
        if (minute == nullptr)
            continue;
        ContFile f;
        f.path = dir + "/" + e->d_name;
        struct stat st;
        // Only the recorder's own files: not a folder or a link that happens to have the name.
        if (lstat(f.path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
            continue;
        if (f.path.size() >= Q7_PATH_LEN) {
            tooLong++;
            continue;
        }
        f.minute.assign(minute, kMinuteLen);
        f.mtime = st.st_mtim;
        found.push_back(f);
    }
    closedir(d);
    std::sort(found.begin(), found.end(), olderFirst);
    // Entering them in order deletes the oldest beyond the ring's 60, as the minutes would have.
    for (const ContFile &f : found)
        q7_filelist_enter(f.path.c_str());
    size_t kept = std::min(found.size(), (size_t)Q7_FILELIST_SLOTS);
    printf(" [app] continuous folder: %zu earlier recordings kept, %zu oldest deleted\n", kept,
           found.size() - kept);
    if (tooLong != 0)
        printf(" [app] err: %zu recordings left out of the ring: their paths exceed %d bytes\n",
               tooLong, Q7_PATH_LEN - 1);
}

int q7_make_path(char *out, uint32_t size, const char *format, ...)
{
    va_list ap;
    va_start(ap, format);
    int n = vsnprintf(out, size, format, ap);
    va_end(ap);
    if (n >= 0 && (uint32_t)n < size)
        return 0;
    // A cut path names some other file, or a folder outside the card: never use one.
    printf(" [app] err: a path of %d bytes does not fit its %u-byte buffer, refused: %s...\n", n,
           size, size > 0 ? out : "");
    if (size > 0)
        out[0] = '\0';
    return -1;
}

int q7_make_cont_name(char *out, uint32_t size, int camMode)
{
    char t[32];
    q7_format_localtime(t, sizeof(t), "%Y_%2m_%2d_%2H_%2M");
    const char *prefix = kContPrefix[camMode >= 0 && camMode <= 2 ? camMode : 0];
    return q7_make_path(out, size, "%s/%s%s.avi", board_path(Q7_CONT_DIR).c_str(), prefix, t);
}

int q7_make_snapshot_name(char *out, uint32_t size, bool sub)
{
    char t[32];
    q7_format_localtime(t, sizeof(t), "%Y_%2m_%2d_%2H_%2M_%2S");
    return q7_make_path(out, size, sub ? "%s/IMG_%s_s.jpeg" : "%s/IMG_%s_m.jpeg",
                        board_path(Q7_PHOTO_DIR).c_str(), t);
}
