// The life cycle of a device or sound thread's control record: start, stop, end, start again.
#include <gtest/gtest.h>

#include <string.h>
#include <unistd.h>

#include <atomic>

#include "platform/thread_ctrl.h"

namespace {

std::atomic<int> g_runs{0};
std::atomic<bool> g_sawQuit{false};

// Looks at `quit` only after a pause, as a thread held up before its loop would.
int lateLooker(ThreadCtrl *ctrl)
{
    usleep(100 * 1000);
    g_sawQuit = thr_ctrl_quit_requested(ctrl);
    g_runs++;
    return 0;
}

// Runs until asked to stop.
int untilQuit(ThreadCtrl *ctrl)
{
    while (!thr_ctrl_quit_requested(ctrl))
        usleep(1000);
    g_runs++;
    return 0;
}

bool waitEnded(ThreadCtrl *ctrl, int msecs)
{
    for (int i = 0; i < msecs; i++) {
        OSA_mutexLock(&ctrl->lock);
        bool runs = ctrl->thrHndl.valid != 0;
        OSA_mutexUnlock(&ctrl->lock);
        if (!runs)
            return true;
        usleep(1000);
    }
    return false;
}

class ThreadCtrlLife : public ::testing::Test
{
protected:
    void SetUp() override
    {
        memset(&ctrl_, 0, sizeof(ctrl_));
        g_runs = 0;
        g_sawQuit = false;
    }
    ThreadCtrl ctrl_;
};

TEST_F(ThreadCtrlLife, TheCreationClearsAStopLeftOverFromAnEarlierRun)
{
    ctrl_.quit = 1;
    ASSERT_EQ(thr_ctrl_create(&ctrl_, lateLooker), OSA_SOK);
    ASSERT_TRUE(waitEnded(&ctrl_, 2000));
    EXPECT_FALSE(g_sawQuit);
    EXPECT_EQ(g_runs, 1);
}

TEST_F(ThreadCtrlLife, AStopAskedBeforeTheThreadLooksIsNotLost)
{
    ASSERT_EQ(thr_ctrl_create(&ctrl_, lateLooker), OSA_SOK);
    EXPECT_EQ(thr_ctrl_set_quit(&ctrl_), OSA_SOK);
    ASSERT_TRUE(waitEnded(&ctrl_, 2000));
    EXPECT_TRUE(g_sawQuit);
    EXPECT_EQ(g_runs, 1);
}

TEST_F(ThreadCtrlLife, AnEndedThreadLeavesItsLockUsableAndTheRecordStartsAgain)
{
    for (int round = 1; round <= 3; round++) {
        ASSERT_EQ(thr_ctrl_create(&ctrl_, untilQuit), OSA_SOK);
        EXPECT_FALSE(thr_ctrl_quit_requested(&ctrl_));
        EXPECT_EQ(thr_ctrl_set_quit(&ctrl_), OSA_SOK);
        ASSERT_TRUE(waitEnded(&ctrl_, 2000));
        EXPECT_EQ(g_runs, round);
        // The menu stops a thread that has already ended by itself: the lock is still there.
        EXPECT_EQ(thr_ctrl_set_quit(&ctrl_), OSA_SOK);
        EXPECT_TRUE(thr_ctrl_quit_requested(&ctrl_));
    }
}

TEST_F(ThreadCtrlLife, StartingARunningRecordStopsThePreviousRunFirst)
{
    ASSERT_EQ(thr_ctrl_create(&ctrl_, untilQuit), OSA_SOK);
    ASSERT_EQ(thr_ctrl_create(&ctrl_, untilQuit), OSA_SOK);
    EXPECT_EQ(g_runs, 1) << "the first run ended before the second began";
    EXPECT_TRUE(thr_ctrl_stop(&ctrl_, 2000));
    EXPECT_EQ(g_runs, 2);
}

TEST_F(ThreadCtrlLife, StoppingARecordWithoutThreadReturnsAtOnce)
{
    ASSERT_EQ(OSA_mutexCreate(&ctrl_.lock), OSA_SOK);
    EXPECT_TRUE(thr_ctrl_stop(&ctrl_, 0));
    EXPECT_EQ(ctrl_.quit, 0u) << "nobody to ask";
}

} // namespace
