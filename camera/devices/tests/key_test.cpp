// The key reader: the board's button and the memory card events on "/dev/input/event0".
#include <string.h>
#include <time.h>

#include <string>

#include <gtest/gtest.h>

#include "devices/key.h"
#include "stand_ins.h"

namespace {

struct KeyRun {
    int result = -1;
    std::string printed;
    std::string errors;
};

ThreadCtrl clearedCtrl()
{
    ThreadCtrl ctrl;
    memset(&ctrl, 0, sizeof(ctrl));
    return ctrl;
}

TEST(KeyMain, OnlyAPressOfF1Ends)
{
    BoardRoot root;
    root.makeFifo("/dev/input/event0");
    ThreadCtrl ctrl = clearedCtrl();
    KeyRun run;
    {
        ConsoleCapture out(stdout);
        BodyThread body(&ctrl, [&] { run.result = key_main(&ctrl); });
        EventWriter dev;
        ASSERT_TRUE(dev.open(root.path("/dev/input/event0")));
        dev.send(EV_KEY, KEY_F1, 0); // release
        dev.send(EV_KEY, KEY_F1, 2); // repeat
        dev.send(EV_ABS, KEY_F1, 1); // not a key event
        dev.send(EV_KEY, 60, 1);
        dev.send(EV_KEY, 61, 1);
        dev.send(EV_KEY, 62, 1);
        dev.send(EV_SYN, 0, 0);
        dev.send(EV_KEY, 63, 0);
        ASSERT_TRUE(out.waitFor("removed\n"));
        dev.send(EV_KEY, KEY_F1, 1);
        body.join();
        run.printed = out.text();
    }
    EXPECT_EQ(run.result, 1);
    EXPECT_EQ(run.printed, "Input device name: \"Unknown\"\n"
                           "EV_KEY: sd card inserted\n"
                           "EV_KEY: sd card removed\n"
                           "KEY_F1\n");
}

TEST(KeyMain, MissingDeviceReturnsZeroAtOnce)
{
    BoardRoot root;
    ThreadCtrl ctrl = clearedCtrl();
    KeyRun run;
    {
        ConsoleCapture out(stdout);
        ConsoleCapture err(stderr);
        run.result = key_main(&ctrl);
        run.printed = out.text();
        run.errors = err.text();
    }
    EXPECT_EQ(run.result, 0);
    EXPECT_EQ(run.printed, "");
    EXPECT_EQ(run.errors, "device open failed!!: No such file or directory\n");
}

TEST(KeyMain, DeviceGoneReturnsZero)
{
    BoardRoot root;
    root.makeFifo("/dev/input/event0");
    ThreadCtrl ctrl = clearedCtrl();
    KeyRun run;
    {
        ConsoleCapture out(stdout);
        ConsoleCapture err(stderr);
        BodyThread body(&ctrl, [&] { run.result = key_main(&ctrl); });
        EventWriter dev;
        ASSERT_TRUE(dev.open(root.path("/dev/input/event0")));
        dev.send(EV_KEY, 62, 1);
        ASSERT_TRUE(out.waitFor("inserted\n"));
        dev.close();
        body.join();
        run.printed = out.text();
        run.errors = err.text();
    }
    EXPECT_EQ(run.result, 0);
    EXPECT_EQ(run.printed, "Input device name: \"Unknown\"\nEV_KEY: sd card inserted\n");
    EXPECT_EQ(run.errors.rfind("\nevtest: error reading", 0), 0u) << run.errors;
}

ThreadCtrl key_test_cfg;

int64_t nowMsecs()
{
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return (int64_t)ts.tv_sec * 1000 + ts.tv_nsec / 1000000;
}

TEST(KeyThread, QuitEndsWithinThePollPeriod)
{
    BoardRoot root;
    root.makeFifo("/dev/input/event0");
    ConsoleCapture out(stdout);

    ASSERT_EQ(key_thr_create(&key_test_cfg), 0);
    EventWriter dev;
    ASSERT_TRUE(dev.open(root.path("/dev/input/event0")));
    dev.send(EV_KEY, 63, 1);
    ASSERT_TRUE(out.waitFor("removed\n"));

    int64_t asked = nowMsecs();
    askQuit(&key_test_cfg);
    ASSERT_TRUE(dev.waitReaderClosed(5000));
    int64_t took = nowMsecs() - asked;
    ASSERT_TRUE(waitThreadEnded(&key_test_cfg, 5000));
    // One poll period of 500 ms, with room for a loaded machine or an emulator.
    EXPECT_LT(took, 1500);
    EXPECT_EQ(withoutPlatformNotes(out.text()),
              "Input device name: \"Unknown\"\nEV_KEY: sd card removed\n");
}

TEST(KeyThread, F1PressEndsTheThread)
{
    BoardRoot root;
    root.makeFifo("/dev/input/event0");
    ConsoleCapture out(stdout);

    ASSERT_EQ(key_thr_create(&key_test_cfg), 0);
    EventWriter dev;
    ASSERT_TRUE(dev.open(root.path("/dev/input/event0")));
    dev.send(EV_KEY, KEY_F1, 1);
    ASSERT_TRUE(dev.waitReaderClosed(5000));
    ASSERT_TRUE(waitThreadEnded(&key_test_cfg, 5000));
    EXPECT_EQ(withoutPlatformNotes(out.text()), "Input device name: \"Unknown\"\nKEY_F1\n");

    // The device menu's later stop request finds a usable lock.
    EXPECT_EQ(OSA_mutexLock(&key_test_cfg.lock), OSA_SOK);
    key_test_cfg.quit = 1;
    EXPECT_EQ(OSA_mutexUnlock(&key_test_cfg.lock), OSA_SOK);
}

} // namespace
