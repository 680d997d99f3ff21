// The accelerometer test: events of the sensor's input device and what is printed for them.
#include <string.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "devices/bma.h"
#include "stand_ins.h"

namespace {

struct Event {
    uint16_t type;
    uint16_t code;
    int32_t value;
};

struct BmaCase {
    const char *name;
    std::vector<Event> events;
    std::string printed;
    int reports;
};

class BmaEvents : public ::testing::TestWithParam<BmaCase>
{};

TEST_P(BmaEvents, PrintsAxesOnEachSynchronisationReport)
{
    const BmaCase &c = GetParam();
    BMA_AXES axes = {0, 0, 0};
    int reports = 0;
    std::string printed;
    {
        ConsoleCapture out(stdout);
        for (const Event &e : c.events) {
            struct input_event ev;
            memset(&ev, 0, sizeof(ev));
            ev.type = e.type;
            ev.code = e.code;
            ev.value = e.value;
            reports += bma_handle_event(&axes, &ev);
        }
        printed = out.text();
    }
    EXPECT_EQ(printed, c.printed);
    EXPECT_EQ(reports, c.reports);
}

INSTANTIATE_TEST_SUITE_P(
    Reports, BmaEvents,
    ::testing::Values(
        BmaCase{"ThreeAxes",
                {{EV_ABS, ABS_X, 12}, {EV_ABS, ABS_Y, -3}, {EV_ABS, ABS_Z, 1010}, {EV_SYN, 0, 0}},
                "BMA : X = 012, Y = -03, Z = 1010\n",
                1},
        BmaCase{"SyncFirstPrintsZeros",
                {{EV_SYN, SYN_REPORT, 0}},
                "BMA : X = 000, Y = 000, Z = 000\n",
                1},
        BmaCase{"OtherCodesAndTypesChangeNothing",
                {{EV_ABS, 3, 5},
                 {EV_ABS, ABS_MISC, 7},
                 {EV_KEY, ABS_X, 1},
                 {EV_REL, ABS_Y, 9},
                 {EV_MSC, ABS_Z, 4},
                 {EV_SYN, SYN_REPORT, 0}},
                "BMA : X = 000, Y = 000, Z = 000\n",
                1},
        BmaCase{"LatestValuesKept",
                {{EV_ABS, ABS_X, 5},
                 {EV_ABS, ABS_Z, -250},
                 {EV_SYN, 0, 0},
                 {EV_ABS, ABS_X, 7},
                 {EV_ABS, ABS_X, -1000},
                 {EV_SYN, 0, 0}},
                "BMA : X = 005, Y = 000, Z = -250\nBMA : X = -1000, Y = 000, Z = -250\n",
                2},
        BmaCase{"NoReportNoPrint", {{EV_ABS, ABS_X, 1}, {EV_ABS, ABS_Y, 2}}, "", 0}),
    [](const ::testing::TestParamInfo<BmaCase> &info) { return info.param.name; });

ThreadCtrl bma_test_cfg;

TEST(BmaThread, PrintsReportsUntilQuit)
{
    BoardRoot root;
    root.makeFifo("/dev/input/event1");
    ConsoleCapture out(stdout);

    ASSERT_EQ(bma_thr_create(&bma_test_cfg), 0);
    EventWriter dev;
    ASSERT_TRUE(dev.open(root.path("/dev/input/event1")));
    dev.send(EV_SYN, SYN_REPORT, 0);
    dev.send(EV_ABS, ABS_X, 12);
    dev.send(EV_ABS, ABS_Y, -3);
    dev.send(EV_ABS, ABS_Z, 1010);
    dev.send(EV_SYN, SYN_REPORT, 0);
    ASSERT_TRUE(out.waitFor("Z = 1010\n"));

    askQuit(&bma_test_cfg); // seen within half a second, with nothing more sent
    ASSERT_TRUE(dev.waitReaderClosed(2000));
    ASSERT_TRUE(waitThreadEnded(&bma_test_cfg, 2000));
    EXPECT_EQ(withoutPlatformNotes(out.text()), "Input device name: \"Unknown\"\n"
                                                "BMA : X = 000, Y = 000, Z = 000\n"
                                                "BMA : X = 012, Y = -03, Z = 1010\n");
}

// A sensor that sends nothing (its driver not there yet, or silent): a stop still ends the thread
// within half a second, before it has read anything.
TEST(BmaThread, QuitIsSeenWhileTheSensorIsSilent)
{
    BoardRoot root;
    root.makeFifo("/dev/input/event1");
    ConsoleCapture out(stdout);

    ASSERT_EQ(bma_thr_create(&bma_test_cfg), 0);
    ASSERT_TRUE(out.waitFor("Input device name: \"Unknown\"\n"));
    askQuit(&bma_test_cfg);
    ASSERT_TRUE(waitThreadEnded(&bma_test_cfg, 1500));
    EXPECT_EQ(withoutPlatformNotes(out.text()), "Input device name: \"Unknown\"\n");
}

struct BmaRun {
    int result = -1;
    std::string printed;
    std::string errors;
};

TEST(BmaThread, MissingDeviceEnds)
{
    BoardRoot root;
    ThreadCtrl ctrl;
    memset(&ctrl, 0, sizeof(ctrl));
    BmaRun run;
    {
        ConsoleCapture out(stdout);
        ConsoleCapture err(stderr);
        run.result = bma_main(&ctrl);
        run.printed = out.text();
        run.errors = err.text();
    }
    EXPECT_EQ(run.result, 0);
    EXPECT_EQ(run.printed, "");
    EXPECT_EQ(run.errors, "device open failed!!: No such file or directory\n");
}

// The device going away, or a part of an event, ends the thread instead of spinning.
TEST(BmaThread, EndOfInputAndShortEventEnd)
{
    for (size_t partial : {(size_t)0, (size_t)8}) {
        SCOPED_TRACE(partial);
        BoardRoot root;
        root.makeFifo("/dev/input/event1");
        ThreadCtrl ctrl;
        memset(&ctrl, 0, sizeof(ctrl));
        BmaRun run;
        {
            ConsoleCapture out(stdout);
            ConsoleCapture err(stderr);
            BodyThread body(&ctrl, [&] { run.result = bma_main(&ctrl); });
            EventWriter dev;
            ASSERT_TRUE(dev.open(root.path("/dev/input/event1")));
            dev.send(EV_ABS, ABS_Y, 4);
            dev.send(EV_SYN, SYN_REPORT, 0);
            ASSERT_TRUE(out.waitFor("Y = 004"));
            const char bytes[8] = {1, 2, 3, 4, 5, 6, 7, 8};
            if (partial)
                dev.sendBytes(bytes, partial);
            dev.close();
            body.join();
            run.printed = out.text();
            run.errors = err.text();
        }
        EXPECT_EQ(run.result, 0);
        EXPECT_EQ(run.printed, "Input device name: \"Unknown\"\nBMA : X = 000, Y = 004, Z = 000\n");
        EXPECT_EQ(run.errors.rfind("\nevtest: error reading", 0), 0u) << run.errors;
    }
}

} // namespace
