// The GPS receiver thread against a pseudo-terminal standing in for its serial line and a FIFO
// standing in for the I/O driver.
#include <fcntl.h>
#include <pty.h>
#include <string.h>
#include <termios.h>
#include <unistd.h>

#include <string>

#include <gtest/gtest.h>

#include "devices/gps.h"
#include "stand_ins.h"

namespace {

const std::string kRmc = "GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6A";
const std::string kRmcChanged =
    "GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,E*6A";
const Q7_IO_REQ kPowerOff = {39, 1, 0, 0};

ThreadCtrl gps_test_cfg;

// A pseudo-terminal whose slave is the board's "/dev/ttyO2".
class GpsLine
{
public:
    explicit GpsLine(const BoardRoot &root)
    {
        char name[128];
        if (openpty(&master_, &slave_, name, nullptr, nullptr) != 0) {
            ADD_FAILURE() << "openpty: " << strerror(errno);
            return;
        }
        if (symlink(name, root.path("/dev/ttyO2").c_str()) != 0)
            ADD_FAILURE() << "symlink: " << strerror(errno);
        tcgetattr(slave_, &initial_);
    }
    ~GpsLine()
    {
        closeMaster();
        if (slave_ >= 0)
            close(slave_);
    }
    void send(const std::string &bytes) const
    {
        ASSERT_EQ(write(master_, bytes.data(), bytes.size()), (ssize_t)bytes.size());
    }
    void closeMaster()
    {
        if (master_ >= 0)
            close(master_);
        master_ = -1;
    }
    termios current() const
    {
        termios t;
        tcgetattr(slave_, &t);
        return t;
    }
    const termios &initial() const { return initial_; }

private:
    int master_ = -1;
    int slave_ = -1; // the test's own view of the line settings
    termios initial_;
};

void expectSameSettings(const termios &a, const termios &b)
{
    EXPECT_EQ(a.c_iflag, b.c_iflag);
    EXPECT_EQ(a.c_oflag, b.c_oflag);
    EXPECT_EQ(a.c_cflag, b.c_cflag);
    EXPECT_EQ(a.c_lflag, b.c_lflag);
    EXPECT_EQ(a.c_cc[VMIN], b.c_cc[VMIN]);
    EXPECT_EQ(a.c_cc[VTIME], b.c_cc[VTIME]);
}

TEST(GpsThread, PrintsValidSentencesAndRestoresTheLineOnQuit)
{
    BoardRoot root;
    GpsLine line(root);
    root.makeFifo("/dev/q7_io");
    IoRecorder io(root.path("/dev/q7_io"));
    ConsoleCapture out(stdout);

    ASSERT_EQ(gps_thr_create(&gps_test_cfg), 0);
    ASSERT_TRUE(out.waitFor("initialization done\n"));

    // Raw 9600 8N1, one byte per read.
    termios raw = line.current();
    EXPECT_EQ(raw.c_iflag, (tcflag_t)IGNPAR);
    EXPECT_EQ(raw.c_cflag, (tcflag_t)2237);
    EXPECT_EQ(raw.c_oflag, 0u);
    EXPECT_EQ(raw.c_lflag, 0u);
    EXPECT_EQ(raw.c_cc[VMIN], 1);
    EXPECT_EQ(raw.c_cc[VTIME], 0);
    EXPECT_EQ(cfgetispeed(&raw), (speed_t)B9600);

    line.send("noise,*12\r\n$" + kRmc + "\r\n$" + kRmcChanged + "\r\n");
    ASSERT_TRUE(out.waitFor("GPS : crc error!!\n"));

    askQuit(&gps_test_cfg); // seen within half a second on the silent line
    ASSERT_TRUE(io.collectUntilClosed(2000));
    ASSERT_TRUE(waitThreadEnded(&gps_test_cfg, 2000));

    EXPECT_EQ(withoutPlatformNotes(out.text()),
              "initialization done\nGPS : [" + kRmc +
                  "]\r\nCRC: Checksum fail 0x78, 0x6a\nGPS : crc error!!\n");
    // Power-on is a configure request (not recorded by the stand-in), power-off a write.
    ASSERT_EQ(io.requests.size(), 1u);
    EXPECT_EQ(io.requests[0], kPowerOff);
    expectSameSettings(line.current(), line.initial());
}

TEST(GpsThread, HungUpLineEndsTheThread)
{
    BoardRoot root;
    GpsLine line(root);
    root.makeFifo("/dev/q7_io");
    IoRecorder io(root.path("/dev/q7_io"));
    ThreadCtrl ctrl;
    memset(&ctrl, 0, sizeof(ctrl));
    ConsoleCapture out(stdout);

    int result = -1;
    BodyThread body(
        &ctrl, [&] { result = gps_main(&ctrl); }, [&] { line.closeMaster(); });
    ASSERT_TRUE(out.waitFor("initialization done\n"));
    line.send("$" + kRmc + "\r\n$GPRMC,12");
    ASSERT_TRUE(out.waitFor("GPS : ["));
    line.closeMaster();
    ASSERT_TRUE(io.collectUntilClosed(10000));
    body.join();

    EXPECT_EQ(result, 0);
    EXPECT_EQ(out.text(), "initialization done\nGPS : [" + kRmc + "]\r\n");
    ASSERT_EQ(io.requests.size(), 1u);
    EXPECT_EQ(io.requests[0], kPowerOff);
}

TEST(GpsThread, MissingSerialLineEndsAtOnce)
{
    BoardRoot root;
    root.makeFifo("/dev/q7_io");
    ThreadCtrl ctrl;
    memset(&ctrl, 0, sizeof(ctrl));
    int fds = openFdCount();
    std::string printed;
    int result;
    {
        ConsoleCapture out(stdout);
        result = gps_main(&ctrl);
        printed = out.text();
    }
    EXPECT_EQ(result, 0);
    EXPECT_EQ(printed, "Failed get /dev/ttyO2 device handle\n");
    EXPECT_EQ(openFdCount(), fds);
}

TEST(GpsThread, MissingIoDeviceClosesTheLineAndEndsAtOnce)
{
    BoardRoot root;
    GpsLine line(root);
    ThreadCtrl ctrl;
    memset(&ctrl, 0, sizeof(ctrl));
    int fds = openFdCount();
    std::string printed;
    int result;
    {
        ConsoleCapture out(stdout);
        result = gps_main(&ctrl);
        printed = out.text();
    }
    EXPECT_EQ(result, 0);
    EXPECT_EQ(printed, " [app] err: Failed to open /dev/q7_io\n");
    EXPECT_EQ(openFdCount(), fds);
    expectSameSettings(line.current(), line.initial());
}

} // namespace
