// q7avi: looks at and repairs the camera's AVI files on a PC, with the camera's own library.
//   q7avi info FILE...    streams, frame counts, and whether a file needs repair
//   q7avi repair FILE...  repairs files cut short by a power loss, in place
// Exit status 0 when every file could be read (info) or is complete now (repair), 1 otherwise.
#include "avi/avirecover.h"
#include "avi/udavi.h"

#include <errno.h>
#include <stdio.h>
#include <string.h>

static int info(const char *path)
{
    AVIRC_INFO in;
    if (AVIrcInspect(path, &in) != 0) {
        const char *msg = AVIrcGetErrMsg();
        printf("%s: cannot be read: %s", path, *msg ? msg : "no such file or not readable\n");
        if (*msg && msg[strlen(msg) - 1] != '\n')
            putchar('\n');
        return -1;
    }
    printf("%s: %s\n", path, in.needsRepair ? "cut short, needs repair" : "complete");
    printf("  %u streams, %.3f frames per second\n", (unsigned)in.streams,
           in.avih.dwScale ? (double)in.avih.dwRate / in.avih.dwScale : 0.0);
    for (DWORD i = 0; i < in.streams; i++) {
        const AVISTREAMHEADER &h = in.strh[i];
        char type[5], handler[5];
        avi_fourccText(type, h.fccType, '.');
        avi_fourccText(handler, h.fccHandler, '.');
        printf("  stream %u: %s", (unsigned)i, type);
        if (h.fccType == AVI_FCC_VIDS)
            printf(" %s %ux%u, %u frames, %u key frames", handler, h.rcFrame.right,
                   h.rcFrame.bottom, (unsigned)in.chunks[i], (unsigned)in.keyFrames[i]);
        else
            printf(", %u chunks", (unsigned)in.chunks[i]);
        if (!in.needsRepair && h.dwLength != in.chunks[i])
            printf(" (the header says %u)", (unsigned)h.dwLength);
        putchar('\n');
    }
    if (in.damagedSpans)
        printf("  %u damaged spans between chunks, %u bytes\n", (unsigned)in.damagedSpans,
               (unsigned)in.damagedBytes);
    return 0;
}

static int repair(const char *path)
{
    // The camera's repair keeps its last message when the file cannot be opened at all; here each
    // file gets its own reason.
    FILE *fp = fopen(path, "r+b");
    if (!fp) {
        printf(" WARNING: [%s], file recovery FAIL : %s!!! \n", path, strerror(errno));
        return -1;
    }
    fclose(fp);
    AVIRC_INFO before;
    const bool known = AVIrcInspect(path, &before) == 0;
    if (LIBAVI_recoverFile((char *)path) != 0) {
        // Only a failed allocation leaves no text; the repair's console lines tell which.
        const char *msg = LIBAVI_recoverGetErrMsg();
        printf(" WARNING: [%s], file recovery FAIL : %s!!! \n", path, *msg ? msg : "out of memory");
        return -1;
    }
    printf("%s: %s\n", path, known && !before.needsRepair ? "complete, left as it is" : "repaired");
    return 0;
}

int main(int argc, char **argv)
{
    if (argc < 3 || (strcmp(argv[1], "info") != 0 && strcmp(argv[1], "repair") != 0)) {
        fprintf(stderr, "usage: q7avi info FILE...\n       q7avi repair FILE...\n");
        return 2;
    }
    const bool doRepair = strcmp(argv[1], "repair") == 0;
    int failed = 0;
    for (int i = 2; i < argc; i++)
        failed |= (doRepair ? repair(argv[i]) : info(argv[i])) != 0;
    fflush(stdout);
    return failed ? 1 : 0;
}
