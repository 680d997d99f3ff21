#include "devices/gps.h"

#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <string.h>
#include <termios.h>
#include <unistd.h>

#include "devices/dev_thread.h"
#include "devices/dio_if.h"
#include "platform/board_path.h"

namespace {

const char kGpsTty[] = "/dev/ttyO2";
const char kIoDevice[] = "/dev/q7_io";
const uint32_t kGpsPowerLine = 39;

int gps_fd = -1;
int gpio_fd = -1;
termios old_tio;
bool old_tio_saved = false;

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

} // namespace

void gps_packet_reset(GPS_PACKET *pkt)
{
    memset(pkt->text, 0, sizeof(pkt->text));
    pkt->len = 0;
    pkt->inSentence = 0;
}

int gps_packet_put(GPS_PACKET *pkt, unsigned char byte)
{
    if (!pkt->inSentence) {
        if (byte == '$') {
            pkt->inSentence = 1;
            pkt->len = 0;
        }
        return GPS_PUT_NONE;
    }

    if (byte == '\n' && pkt->len > 4) {
        gps_packet_reset(pkt);
        return GPS_PUT_ABANDONED;
    }

    if (byte == '\r') {
        pkt->text[pkt->len] = '\0';
        int result;
        if (gps_check_CRC(pkt->text) > 0) {
            // Print up to and including the two checksum characters; a valid sentence has a '*'.
            int shown = (int)(strchr(pkt->text, '*') - pkt->text) + 3;
            if (shown > pkt->len)
                shown = pkt->len;
            printf("GPS : [%.*s]\r\n", shown, pkt->text);
            result = GPS_PUT_VALID;
        } else {
            puts("GPS : crc error!!");
            result = GPS_PUT_CRC_ERROR;
        }
        gps_packet_reset(pkt);
        return result;
    }

    if (byte == '\0')
        return GPS_PUT_NONE;

    if (pkt->len >= GPS_MAX_PACKET_LEN) {
        puts("GPS : exceeded GPS_MAX_PACKET_LEN");
        gps_packet_reset(pkt);
        return GPS_PUT_OVERFLOW;
    }
    pkt->text[pkt->len++] = (char)byte;
    return GPS_PUT_NONE;
}

int gps_check_CRC(const char *text)
{
    if (text == nullptr) {
        puts("CRC: Buffer NULL");
        return -1;
    }

    unsigned int computed = 0;
    const char *p = text;
    for (; *p != '\0' && *p != '*'; p++) {
        if (*p != '$')
            computed ^= (unsigned char)*p;
    }

    unsigned int received = 0;
    if (*p != '*' || p[1] == '\0') {
        printf("CRC: Checksum fail 0x%x, 0x%x\n", computed, received);
        return -1;
    }
    for (int i = 1; i <= 2 && hexDigit(p[i]) >= 0; i++)
        received = (received << 4) | (unsigned int)hexDigit(p[i]);

    if (computed == received)
        return 1;
    printf("CRC: Checksum fail 0x%x, 0x%x\n", computed, received);
    return -1;
}

int gps_init(void)
{
    // Opened without waiting for the line's carrier, then read in blocking mode behind a poll.
    gps_fd = open(board_path(kGpsTty).c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (gps_fd < 0) {
        printf("Failed get %s device handle\n", kGpsTty);
        return -1;
    }
    fcntl(gps_fd, F_SETFL, fcntl(gps_fd, F_GETFL) & ~O_NONBLOCK);

    gpio_fd = open(board_path(kIoDevice).c_str(), O_RDWR | O_CLOEXEC);
    if (gpio_fd < 0) {
        printf(" [app] err: Failed to open %s\n", kIoDevice);
        return -1;
    }
    dio_config_output(gpio_fd, kGpsPowerLine, 1);

    old_tio_saved = tcgetattr(gps_fd, &old_tio) == 0;

    termios tio;
    memset(&tio, 0, sizeof(tio));
    tio.c_iflag = IGNPAR;
    tio.c_cflag = B9600 | CS8 | CLOCAL | CREAD;
    tio.c_oflag = 0;
    tio.c_lflag = 0;
    tio.c_cc[VMIN] = 1;
    tio.c_cc[VTIME] = 0;
    tcflush(gps_fd, TCIFLUSH);
    tcsetattr(gps_fd, TCSANOW, &tio);

    puts("initialization done");
    return 1;
}

int gps_rx_byte(void)
{
    unsigned char c;
    ssize_t got = read(gps_fd, &c, 1);
    if (got == 1)
        return c;
    if (got < 0 && (errno == EINTR || errno == EAGAIN))
        return 0;
    // A blocking read that returns no byte means the line was hung up; errors stay errors.
    return -1;
}

void gps_exit(void)
{
    if (gps_fd >= 0) {
        if (old_tio_saved)
            tcsetattr(gps_fd, TCSANOW, &old_tio);
        close(gps_fd);
    }
    if (gpio_fd >= 0) {
        dio_set_output(gpio_fd, kGpsPowerLine, 0);
        close(gpio_fd);
    }
    gps_fd = -1;
    gpio_fd = -1;
    old_tio_saved = false;
}

int gps_main(ThreadCtrl *ctrl)
{
    // Without an open line there is nothing to read: end at once instead of spinning on a
    // closed descriptor at real-time priority.
    if (gps_init() < 0) {
        gps_exit();
        return 0;
    }

    GPS_PACKET pkt;
    gps_packet_reset(&pkt);
    // Reads wait for the line at most DEV_QUIT_LATENCY_MSECS, so a stop is seen on a silent line
    // too; a line that fails or is hung up ends the test rather than spinning.
    while (!thr_ctrl_quit_requested(ctrl)) {
        int ready = dev_wait_readable(ctrl, gps_fd, DEV_QUIT_LATENCY_MSECS);
        if (ready < 0)
            break;
        if (ready == 0)
            continue;
        int byte = gps_rx_byte();
        if (byte < 0)
            break;
        gps_packet_put(&pkt, (unsigned char)byte);
    }

    gps_exit();
    return 0;
}

int gps_thr_create(ThreadCtrl *ctrl)
{
    return thr_ctrl_create(ctrl, gps_main);
}
