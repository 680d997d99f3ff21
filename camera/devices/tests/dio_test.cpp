// The digital output test against a FIFO standing in for the I/O driver "/dev/q7_io".
#include <string.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "devices/dio_if.h"
#include "stand_ins.h"

namespace {

ThreadCtrl dio_test_cfg;

// One sweep takes 13 s: each of the 13 lines is on for 500 ms, then off for 500 ms.
TEST(DioThread, SweepsTheLinesInTableOrderUntilQuit)
{
    BoardRoot root;
    root.makeFifo("/dev/q7_io");
    IoRecorder io(root.path("/dev/q7_io"));
    ConsoleCapture out(stdout);

    ASSERT_EQ(dio_thr_create(&dio_test_cfg), 0);
    ASSERT_TRUE(io.waitForRequests(1, 10000));
    askQuit(&dio_test_cfg); // seen between sweeps only: this sweep ends
    ASSERT_TRUE(io.collectUntilClosed(30000));
    ASSERT_TRUE(waitThreadEnded(&dio_test_cfg, 5000));

    const uint32_t order[13] = {96, 97, 98, 101, 102, 109, 118, 110, 111, 112, 113, 87, 108};
    std::vector<Q7_IO_REQ> expected;
    for (uint32_t line : order) {
        expected.push_back({line, 1, 0, 1});
        expected.push_back({line, 1, 0, 0});
    }
    EXPECT_EQ(io.requests, expected);
    ASSERT_EQ(io.requests.size(), 26u);
    EXPECT_EQ(io.requests[2 * 11].line, 87u);
    EXPECT_EQ(io.requests[2 * 12].line, 108u);
    EXPECT_EQ(withoutPlatformNotes(out.text()), "");
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
