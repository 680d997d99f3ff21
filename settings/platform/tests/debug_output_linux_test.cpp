// The Linux side's debug output: one line per message on standard error.
#include "file/debug_log.h"
#include "platform/tests/support/platform_test_support.h"

#include <gtest/gtest.h>

namespace {

TEST(DebugLog, WritesOneLinePerMessageToStandardError)
{
    testing::internal::CaptureStderr();
    DebugLog("\n\nRoadlog Setting loading...\n");
    DebugLog("Setting Dialog Init Start");
    DebugLogF("TimeZone [%s] Bias[%d]\n", "Korea Standard Time", 540);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(err, "Roadlog Setting loading...\nSetting Dialog Init Start\n"
                   "TimeZone [Korea Standard Time] Bias[540]\n");
}

TEST(DebugLog, AnotherProgramsMessagesAreItsStandardErrorLines)
{
    const ProgramRun run = RunProgramReadingLog(QStringLiteral(DEBUG_LOG_CHILD), {});
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.log, (QStringList{"Roadlog Setting loading...", "Setting Dialog Init Start",
                                    "TimeZone [Korea Standard Time] Bias[540]", "MBR 있음"}));
}

} // namespace
