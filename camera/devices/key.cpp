#include "devices/key.h"

#include <fcntl.h>
#include <linux/input.h>
#include <poll.h>
#include <stdio.h>
#include <string.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include "devices/dev_thread.h"
#include "platform/board_path.h"

#if UINTPTR_MAX == 0xFFFFFFFFu
static_assert(sizeof(struct input_event) == 16, "the board's input events are 16 bytes");
#endif

namespace {

const int kCardInserted = 62;
const int kCardRemoved = 63;
const int kPollMsecs = 500;

} // namespace

int key_exit(int fd)
{
    return close(fd);
}

namespace {

enum { KEY_FAILED_OPEN = -1, KEY_FAILED_READ = -2 };

// How a session on the key device speaks: the automatic mode's retries say a failure once, and the
// device's name when it has come back, not every second.
struct KeyVoice {
    bool quiet;    // failures are not reported
    bool announce; // the device's name is printed when it opens
};

// One session on the key device: 1 when KEY_F1 was pressed, 0 on `quit`, or a failure code.
// `*readAny` tells whether an event was read.
int keySession(ThreadCtrl *ctrl, KeyVoice voice, bool *readAny)
{
    *readAny = false;
    int fd = open(board_path("/dev/input/event0").c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        if (!voice.quiet)
            perror("device open failed!!");
        return KEY_FAILED_OPEN;
    }

    char name[256] = "Unknown";
    ioctl(fd, EVIOCGNAME(sizeof(name)), name);
    name[sizeof(name) - 1] = '\0';
    if (voice.announce)
        printf("Input device name: \"%s\"\n", name);

    // `quit` was cleared by key_thr_create, or by main for the automatic mode; clearing it here
    // would lose a stop asked for before the thread got this far.
    for (;;) {
        if (thr_ctrl_quit_requested(ctrl)) {
            key_exit(fd);
            return 0;
        }

        pollfd pfd;
        pfd.fd = fd;
        pfd.events = POLLIN;
        pfd.revents = 0;
        int n = poll(&pfd, 1, kPollMsecs);
        if (n < 0 || (pfd.revents & (POLLERR | POLLNVAL))) {
            if (!voice.quiet || *readAny)
                perror("\ngenerated poll error!..exit");
            key_exit(fd);
            return KEY_FAILED_READ;
        }
        // A hang-up (the writer of a stand-in device went away) is read as the end of input
        // below, so the loop never spins on it.
        if (n == 0 || !(pfd.revents & (POLLIN | POLLHUP)))
            continue;

        struct input_event ev;
        ssize_t got = read(fd, &ev, sizeof(ev));
        if (got < (ssize_t)sizeof(ev)) {
            if (!voice.quiet || *readAny)
                perror("\nevtest: error reading");
            key_exit(fd);
            return KEY_FAILED_READ;
        }
        *readAny = true;
        if (ev.type != EV_KEY)
            continue;
        if (ev.code == KEY_F1 && ev.value == 1) {
            puts("KEY_F1");
            key_exit(fd);
            return 1;
        }
        if (ev.code == kCardInserted)
            puts("EV_KEY: sd card inserted");
        else if (ev.code == kCardRemoved)
            puts("EV_KEY: sd card removed");
    }
}

} // namespace

int key_main(ThreadCtrl *ctrl)
{
    bool readAny;
    int r = keySession(ctrl, KeyVoice{false, true}, &readAny);
    return r > 0 ? 1 : 0;
}

int key_main_retrying(ThreadCtrl *ctrl)
{
    KeyVoice voice{false, true};
    for (;;) {
        bool readAny;
        int r = keySession(ctrl, voice, &readAny);
        if (r >= 0)
            return r;
        if (!voice.quiet || readAny)
            printf(" [app] err: the key device %s; trying it again every second\n",
                   r == KEY_FAILED_OPEN ? "cannot be opened" : "failed");
        // Quiet until the device has delivered again; its name is shown when it has come back
        // after it could not be opened.
        voice.quiet = true;
        voice.announce = r == KEY_FAILED_OPEN;
        for (int i = 0; i < 10 && !thr_ctrl_quit_requested(ctrl); i++)
            OSA_waitMsecs(100);
    }
}

int key_thr_create(ThreadCtrl *ctrl)
{
    return thr_ctrl_create(ctrl, key_main);
}
