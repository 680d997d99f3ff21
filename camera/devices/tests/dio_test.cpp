// The digital output test against a FIFO standing in for the I/O driver "/dev/q7_io".
#include <string.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "devices/dio_if.h"
#include "stand_ins.h"

namespace {

ThreadCtrl dio_test_cfg;

const uint32_t kOrder[13] = {96, 97, 98, 101, 102, 109, 118, 110, 111, 112, 113, 87, 108};

// One sweep takes 13 s: each of the 13 lines is on for 500 ms, then off for 500 ms.
TEST(DioThread, SweepsTheLinesInTableOrderUntilQuit)
{
    BoardRoot root;
    root.makeFifo("/dev/q7_io");
    IoRecorder io(root.path("/dev/q7_io"));
    ConsoleCapture out(stdout);

    ASSERT_EQ(dio_thr_create(&dio_test_cfg), 0);
    ASSERT_TRUE(io.waitForRequests(26, 30000));
    askQuit(&dio_test_cfg);
    ASSERT_TRUE(io.collectUntilClosed(5000));
    ASSERT_TRUE(waitThreadEnded(&dio_test_cfg, 5000));

    std::vector<Q7_IO_REQ> expected;
    for (uint32_t line : kOrder) {
        expected.push_back({line, 1, 0, 1});
        expected.push_back({line, 1, 0, 0});
    }
    // The stop lands at the end of the sweep or during the first step of the next one.
    ASSERT_GE(io.requests.size(), 26u);
    EXPECT_EQ(std::vector<Q7_IO_REQ>(io.requests.begin(), io.requests.begin() + 26), expected);
    EXPECT_EQ(io.requests[2 * 11].line, 87u);
    EXPECT_EQ(io.requests[2 * 12].line, 108u);
    if (io.requests.size() > 26) {
        EXPECT_EQ(std::vector<Q7_IO_REQ>(io.requests.begin() + 26, io.requests.end()),
                  (std::vector<Q7_IO_REQ>{{96, 1, 0, 1}, {96, 1, 0, 0}}));
    }
    EXPECT_EQ(withoutPlatformNotes(out.text()), "");
}

// A stop is seen between the steps of a sweep, and the line that is on goes off first.
TEST(DioThread, AStopDuringASweepEndsItWithinAStep)
{
    BoardRoot root;
    root.makeFifo("/dev/q7_io");
    IoRecorder io(root.path("/dev/q7_io"));
    ConsoleCapture out(stdout);

    ASSERT_EQ(dio_thr_create(&dio_test_cfg), 0);
    ASSERT_TRUE(io.waitForRequests(3, 10000)); // the second line has just gone on
    askQuit(&dio_test_cfg);
    ASSERT_TRUE(io.collectUntilClosed(1500));
    ASSERT_TRUE(waitThreadEnded(&dio_test_cfg, 1000));
    EXPECT_EQ(io.requests,
              (std::vector<Q7_IO_REQ>{{96, 1, 0, 1}, {96, 1, 0, 0}, {97, 1, 0, 1}, {97, 1, 0, 0}}));
}

TEST(DioThread, MissingDeviceEnds)
{
    BoardRoot root;
    ThreadCtrl ctrl;
    memset(&ctrl, 0, sizeof(ctrl));
    std::string printed;
    int result;
    {
        ConsoleCapture out(stdout);
        result = dio_main(&ctrl);
        printed = out.text();
    }
    EXPECT_EQ(result, 0);
    EXPECT_EQ(printed, " [app] err: fd open\n");
}

TEST(DioRequests, ConfigureRequestCode)
{
    // Write direction, type 'g', number 1, 16 bytes: what the board's driver expects.
    EXPECT_EQ((unsigned long)Q7_IO_CONFIG, 0x40106701ul);
    EXPECT_EQ(sizeof(Q7_IO_REQ), 16u);
}

} // namespace
