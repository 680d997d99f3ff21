// The device tests of the built q7_app, chosen from its main menu and stopped from its device
// menu, against stand-in devices under the board root.
#include <fcntl.h>
#include <pty.h>
#include <signal.h>
#include <string.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <initializer_list>
#include <string>

#include <gtest/gtest.h>

#include "stand_ins.h"
#include "testsupport/files.h"

namespace {

const char kDeviceMenu[] = "\r\n ===========\r\n Device Menu\r\n ===========\r\n 0: exit\r\n\r\n"
                           " Enter\tChoice:\t";

const char kMainMenu[] = " Main Menu\r\n";

int64_t nowMsecs()
{
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return (int64_t)ts.tv_sec * 1000 + ts.tv_nsec / 1000000;
}

// The texts appear in this order (other output, such as the menus, may come between them).
bool inOrder(const std::string &text, std::initializer_list<const char *> parts)
{
    size_t at = 0;
    for (const char *part : parts) {
        at = text.find(part, at);
        if (at == std::string::npos)
            return false;
        at += strlen(part);
    }
    return true;
}

// q7_app with standard input from a pipe the test types into, its output in a file.
class App
{
public:
    explicit App(const BoardRoot &root) : outPath_(root.path("/q7_app.out"))
    {
        int in[2];
        if (pipe(in) != 0) {
            ADD_FAILURE() << "pipe";
            return;
        }
        pid_ = fork();
        if (pid_ == 0) {
            int out = open(outPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            dup2(in[0], 0);
            dup2(out, 1);
            dup2(out, 2);
            close(in[0]);
            close(in[1]);
            setenv("Q7_SIM_LOG", root.path("/sim.log").c_str(), 1);
            execl(Q7_APP_PATH, Q7_APP_PATH, (char *)nullptr);
            _exit(127);
        }
        close(in[0]);
        input_ = in[1];
    }
    ~App()
    {
        if (input_ >= 0)
            close(input_);
        if (pid_ > 0 && status_ == kRunning) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
    }
    void type(const std::string &line) const
    {
        ASSERT_EQ(write(input_, line.data(), line.size()), (ssize_t)line.size());
    }
    // Exit status after the end of the program, -1 when it had to be killed after `msecs`.
    int wait(int msecs)
    {
        int64_t until = nowMsecs() + msecs;
        int status;
        while (waitpid(pid_, &status, WNOHANG) != pid_) {
            if (nowMsecs() > until) {
                kill(pid_, SIGKILL);
                waitpid(pid_, &status, 0);
                status_ = -1;
                return status_;
            }
            usleep(10000);
        }
        status_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        return status_;
    }
    // Waits until the output holds `what` `count` times; false after `msecs`.
    bool waitOutput(const std::string &what, size_t count, int msecs = 10000) const
    {
        int64_t until = nowMsecs() + msecs;
        while (countOf(output(), what) < count) {
            if (nowMsecs() > until)
                return false;
            usleep(5000);
        }
        return true;
    }
    std::string output() const { return readText(outPath_); }

private:
    static const int kRunning = -2;
    std::string outPath_;
    pid_t pid_ = -1;
    int input_ = -1;
    int status_ = kRunning;
};

TEST(DeviceMenu, KeyTestPrintsCardEventsAndEndsOnF1)
{
    BoardRoot root;
    root.makeFifo("/dev/input/event0");
    App app(root);
    app.type("a\n");
    EventWriter dev;
    ASSERT_TRUE(dev.open(root.path("/dev/input/event0")));
    dev.send(EV_KEY, 62, 1);
    dev.send(EV_KEY, KEY_F1, 0);
    dev.send(EV_KEY, 63, 1);
    dev.send(EV_KEY, KEY_F1, 1);
    ASSERT_TRUE(dev.waitReaderClosed(10000));
    // The thread has ended by itself; the device menu's stop request still finds its lock.
    app.type("0\n0\n");
    ASSERT_EQ(app.wait(20000), 0) << app.output();

    std::string out = app.output();
    EXPECT_EQ(countOf(out, kDeviceMenu), 1u) << out;
    EXPECT_TRUE(inOrder(out, {"Input device name: \"Unknown\"\n", "EV_KEY: sd card inserted\n",
                              "EV_KEY: sd card removed\n", "KEY_F1\n"}))
        << out;
    EXPECT_EQ(countOf(out, "KEY_F1"), 1u);
    EXPECT_EQ(out.find("ASSERT"), std::string::npos) << out;
}

TEST(DeviceMenu, KeyTestStopsOnZero)
{
    BoardRoot root;
    root.makeFifo("/dev/input/event0");
    App app(root);
    app.type("a\n");
    EventWriter dev;
    ASSERT_TRUE(dev.open(root.path("/dev/input/event0")));
    app.type("0\n");
    ASSERT_TRUE(dev.waitReaderClosed(5000));
    app.type("0\n");
    ASSERT_EQ(app.wait(20000), 0) << app.output();
    EXPECT_EQ(app.output().find("KEY_F1"), std::string::npos);
}

TEST(DeviceMenu, GpsTestPrintsSentencesThenPowersOffAndRestoresTheLine)
{
    BoardRoot root;
    int master, slave;
    char name[128];
    ASSERT_EQ(openpty(&master, &slave, name, nullptr, nullptr), 0);
    ASSERT_EQ(symlink(name, root.path("/dev/ttyO2").c_str()), 0);
    termios before;
    tcgetattr(slave, &before);
    root.makeFifo("/dev/q7_io");
    IoRecorder io(root.path("/dev/q7_io"));

    App app(root);
    app.type("7\n");
    // The line is set up (raw, 9600 baud) before the first byte is sent.
    int64_t until = nowMsecs() + 10000;
    termios now;
    while (tcgetattr(slave, &now) == 0 && now.c_cflag != 2237u && nowMsecs() < until)
        usleep(5000);
    ASSERT_EQ(now.c_cflag, 2237u);

    const std::string rmc = "GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6A";
    const std::string bad = "GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,E*6A";
    std::string bytes = "$" + rmc + "\r\n$" + bad + "\r\n";
    ASSERT_EQ(write(master, bytes.data(), bytes.size()), (ssize_t)bytes.size());
    // Everything sent has been read once the line's input queue stays empty.
    int pending = 1;
    int64_t emptySince = 0;
    until = nowMsecs() + 10000;
    while (nowMsecs() < until) {
        ioctl(slave, FIONREAD, &pending);
        if (pending != 0)
            emptySince = 0;
        else if (emptySince == 0)
            emptySince = nowMsecs();
        else if (nowMsecs() - emptySince > 200)
            break;
        usleep(5000);
    }
    ASSERT_EQ(pending, 0);

    app.type("0\n");
    ASSERT_TRUE(app.waitOutput(kMainMenu, 2)); // back in the main menu: `quit` is set
    ASSERT_TRUE(io.collectUntilClosed(2000));  // seen on the silent line within half a second
    app.type("0\n");
    ASSERT_EQ(app.wait(20000), 0) << app.output();

    std::string out = app.output();
    EXPECT_NE(out.find("initialization done\n"), std::string::npos) << out;
    EXPECT_EQ(countOf(out, "GPS : [" + rmc + "]\r\n"), 1u) << out;
    EXPECT_NE(out.find("CRC: Checksum fail 0x78, 0x6a\nGPS : crc error!!\n"), std::string::npos)
        << out;
    ASSERT_EQ(io.requests.size(), 1u);
    EXPECT_EQ(io.requests[0], (Q7_IO_REQ{39, 1, 0, 0}));
    tcgetattr(slave, &now);
    EXPECT_EQ(now.c_cflag, before.c_cflag);
    EXPECT_EQ(now.c_lflag, before.c_lflag);
    close(master);
    close(slave);
}

TEST(DeviceMenu, AccelerometerTestPrintsReports)
{
    BoardRoot root;
    root.makeFifo("/dev/input/event1");
    App app(root);
    app.type("8\n");
    EventWriter dev;
    ASSERT_TRUE(dev.open(root.path("/dev/input/event1")));
    dev.send(EV_ABS, ABS_X, 12);
    dev.send(EV_ABS, ABS_Y, -3);
    dev.send(EV_ABS, ABS_Z, 1010);
    dev.send(EV_SYN, SYN_REPORT, 0);
    ASSERT_TRUE(dev.waitDrained(10000)); // the report is printed right after it is read
    app.type("0\n");
    ASSERT_TRUE(app.waitOutput(kMainMenu, 2)); // back in the main menu: `quit` is set
    ASSERT_TRUE(dev.waitReaderClosed(2000));   // seen on the silent sensor within half a second
    app.type("0\n");
    ASSERT_EQ(app.wait(20000), 0) << app.output();

    std::string out = app.output();
    EXPECT_NE(out.find("Input device name: \"Unknown\"\n"), std::string::npos) << out;
    EXPECT_EQ(countOf(out, "BMA : X = 012, Y = -03, Z = 1010\n"), 1u) << out;
}

// The sweep sees the stop between its 500 ms steps, and switches its line off first.
TEST(DeviceMenu, DigitalOutputTestStopsWithinAStep)
{
    BoardRoot root;
    root.makeFifo("/dev/q7_io");
    IoRecorder io(root.path("/dev/q7_io"));
    App app(root);
    app.type("9\n");
    ASSERT_TRUE(io.waitForRequests(1, 10000));
    app.type("0\n");
    ASSERT_TRUE(io.collectUntilClosed(2000));
    app.type("0\n");
    ASSERT_EQ(app.wait(20000), 0) << app.output();

    EXPECT_EQ(io.requests, (std::vector<Q7_IO_REQ>{{96, 1, 0, 1}, {96, 1, 0, 0}}));
}

} // namespace
