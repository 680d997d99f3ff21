// Presses a key on a stand-in key device (a FIFO) of the simulated board:
//   q7_sim_key DEVICE CODE [VALUE]
// writes one key event (VALUE 1 = press, the default) and a synchronisation report, in the
// native input event layout.
#include <fcntl.h>
#include <linux/input.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/time.h>
#include <unistd.h>

int main(int argc, char **argv)
{
    if (argc < 3 || argc > 4) {
        fprintf(stderr, "usage: %s DEVICE CODE [VALUE]\n", argv[0]);
        return 2;
    }
    int fd = open(argv[1], O_WRONLY);
    if (fd < 0) {
        perror(argv[1]);
        return 1;
    }
    struct input_event ev[2];
    memset(ev, 0, sizeof(ev));
    struct timeval now;
    gettimeofday(&now, nullptr);
    for (struct input_event &e : ev) {
        e.input_event_sec = now.tv_sec;
        e.input_event_usec = now.tv_usec;
    }
    ev[0].type = EV_KEY;
    ev[0].code = (unsigned short)atoi(argv[2]);
    ev[0].value = argc == 4 ? atoi(argv[3]) : 1;
    ev[1].type = EV_SYN;
    ev[1].code = SYN_REPORT;
    bool ok = write(fd, ev, sizeof(ev)) == (ssize_t)sizeof(ev);
    close(fd);
    if (!ok) {
        perror("write");
        return 1;
    }
    return 0;
}
