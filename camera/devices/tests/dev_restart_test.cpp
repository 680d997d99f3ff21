// The four device test threads started again and again while their previous run is still
// stopping, with their device silent and with it sending: one thread on a device at a time, no
// hang, every run stopped in time.
#include <errno.h>
#include <fcntl.h>
#include <pty.h>
#include <signal.h>
#include <string.h>
#include <unistd.h>

#include <memory>
#include <random>
#include <string>

#include <gtest/gtest.h>

#include "devices/bma.h"
#include "devices/dev_thread.h"
#include "devices/dio_if.h"
#include "devices/gps.h"
#include "devices/key.h"
#include "stand_ins.h"

namespace {

struct RestartCase {
    const char *name;
    int (*create)(ThreadCtrl *);
    const char *device; // the board path the test opens (and watches)
    bool sending;
};

class Restarts : public ::testing::TestWithParam<RestartCase>
{};

TEST_P(Restarts, OneThreadAtATimeAndEveryRunStopsInTime)
{
    const RestartCase &c = GetParam();
    signal(SIGPIPE, SIG_IGN);
    BoardRoot root;
    ThreadCtrl ctrl;
    memset(&ctrl, 0, sizeof(ctrl));

    // The device stand-in, and what the test writes to it.
    int master = -1, slave = -1, holder = -1;
    std::string target;
    std::string bytes;
    if (strcmp(c.device, "/dev/ttyO2") == 0) {
        char name[128];
        ASSERT_EQ(openpty(&master, &slave, name, nullptr, nullptr), 0);
        ASSERT_EQ(symlink(name, root.path(c.device).c_str()), 0);
        fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
        target = name;
        bytes = "$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6A\r\n";
        root.makeFifo("/dev/q7_io"); // the module's power line
        holder = open(root.path("/dev/q7_io").c_str(), O_RDWR | O_NONBLOCK);
    } else {
        root.makeFifo(c.device);
        // Held open for reading and writing, so that the device never hangs up between runs.
        holder = open(root.path(c.device).c_str(), O_RDWR | O_NONBLOCK);
        target = root.path(c.device);
        if (strcmp(c.device, "/dev/input/event1") == 0)
            bytes = inputEventBytes(EV_ABS, ABS_X, 5) + inputEventBytes(EV_SYN, SYN_REPORT, 0);
        else
            bytes = inputEventBytes(EV_KEY, 62, 1); // card inserted: printed, never ends the test
    }
    ASSERT_GE(holder, 0);
    int sendFd = master >= 0 ? master : holder;

    const int own = openFdsOn(getpid(), target); // the test's own ends of the stand-in
    std::mt19937 rng(15);
    {
        ConsoleCapture out(stdout);
        ConsoleCapture err(stderr);
        FdWatch watch(getpid(), {target});
        std::unique_ptr<KeepSending> sender;
        if (c.sending && strcmp(c.device, "/dev/q7_io") != 0)
            sender.reset(new KeepSending(sendFd, bytes, 2));
        for (int run = 0; run < 8; run++) {
            SCOPED_TRACE(run);
            ASSERT_EQ(c.create(&ctrl), 0) << "the previous run did not end in time";
            usleep((useconds_t)(rng() % 60000));
        }
        // The last run, asked to stop, ends within the stop latency.
        askQuit(&ctrl);
        EXPECT_TRUE(waitThreadEnded(&ctrl, 1500));
        sender.reset();
        EXPECT_LE(watch.most(target) - own, 1) << "two threads had the device open";
        EXPECT_EQ(err.text().find("ASSERT"), std::string::npos) << err.text();
    }
    EXPECT_EQ(openFdsOn(getpid(), target), own);
    close(holder);
    if (master >= 0) {
        close(master);
        close(slave);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Devices, Restarts,
    ::testing::Values(
        RestartCase{"GpsSilent", gps_thr_create, "/dev/ttyO2", false},
        RestartCase{"GpsSending", gps_thr_create, "/dev/ttyO2", true},
        RestartCase{"AccelerometerSilent", bma_thr_create, "/dev/input/event1", false},
        RestartCase{"AccelerometerSending", bma_thr_create, "/dev/input/event1", true},
        RestartCase{"DigitalIo", dio_thr_create, "/dev/q7_io", false},
        RestartCase{"KeysSilent", key_thr_create, "/dev/input/event0", false},
        RestartCase{"KeysSending", key_thr_create, "/dev/input/event0", true}),
    [](const ::testing::TestParamInfo<RestartCase> &i) { return i.param.name; });

// Without its device a test's thread ends at once, often while the next run is being created:
// restarted quickly again and again, every run starts and nothing hangs.
TEST(Restarts, QuickRestartsWithTheDeviceMissing)
{
    BoardRoot root; // no device at all
    const struct {
        const char *name;
        int (*create)(ThreadCtrl *);
    } tests[] = {{"gps", gps_thr_create},
                 {"accelerometer", bma_thr_create},
                 {"dio", dio_thr_create},
                 {"keys", key_thr_create}};
    ConsoleCapture out(stdout);
    ConsoleCapture err(stderr);
    for (const auto &t : tests) {
        SCOPED_TRACE(t.name);
        ThreadCtrl ctrl;
        memset(&ctrl, 0, sizeof(ctrl));
        for (int run = 0; run < 25; run++) {
            ASSERT_EQ(t.create(&ctrl), 0) << run;
            if (run % 2)
                askQuit(&ctrl); // as the device menu's 0 does
        }
        EXPECT_TRUE(waitThreadEnded(&ctrl, 1500));
    }
    EXPECT_EQ(err.text().find("ASSERT"), std::string::npos) << err.text();
}

// A record whose thread will not end in time is not started again: nothing is overwritten.
TEST(Restarts, ARunThatDoesNotEndIsNotReplaced)
{
    BoardRoot root;
    ThreadCtrl ctrl;
    memset(&ctrl, 0, sizeof(ctrl));
    std::atomic<bool> release{false};
    // A stand-in for a thread stuck in a driver: it ignores `quit` until released.
    static std::atomic<bool> *releaseOf = nullptr;
    releaseOf = &release;
    ThreadCtrlBody stuck = [](ThreadCtrl *) -> int {
        while (!*releaseOf)
            usleep(1000);
        return 0;
    };
    ASSERT_EQ(thr_ctrl_create(&ctrl, stuck), OSA_SOK);
    OSA_ThrHndl before = ctrl.thrHndl;
    std::string said;
    {
        ConsoleCapture out(stdout);
        EXPECT_NE(gps_thr_create(&ctrl), 0);
        said = out.text();
    }
    EXPECT_NE(said.find(" [app] err: the previous run of this test has not ended yet"),
              std::string::npos)
        << said;
    EXPECT_TRUE(pthread_equal(ctrl.thrHndl.hndl, before.hndl));
    EXPECT_EQ(ctrl.quit, 1u) << "it was asked to stop";
    release = true;
    EXPECT_TRUE(waitThreadEnded(&ctrl, 2000));
}

} // namespace
