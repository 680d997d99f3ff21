// The Linux side's runner of the formatter's system programs: what it reports and what it logs.
#include "file/debug_log.h"
#include "platform/linux/program_runner.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

TEST(SystemProgram, AProgramThatCannotStartIsReportedAndNotCalledBack)
{
    DebugLogCapture log;
    int calls = 0;
    const SystemProgramRun run =
        RunSystemProgram("/nonexistent/mkfs.fat", {"-F", "32"}, [&] { ++calls; });
    EXPECT_FALSE(run.started);
    EXPECT_FALSE(run.Succeeded());
    EXPECT_EQ(calls, 0);
    ASSERT_EQ(log.messages().size(), 2) << log.messages().join('|').toStdString();
    EXPECT_EQ(log.messages()[0], "run: /nonexistent/mkfs.fat -F 32");
    EXPECT_TRUE(log.messages()[1].startsWith("/nonexistent/mkfs.fat: not started ("))
        << log.messages()[1].toStdString();
}

TEST(SystemProgram, ExitCodesOutputAndCrashes)
{
    struct Case {
        const char *script;
        int exitCode;
        QStringList log; // after the run line
    };
    const Case cases[] = {
        {"echo formatted; echo 'and said so' >&2", 0, {"formatted\nand said so"}},
        {"echo 'no such device'; exit 3", 3, {"no such device", "sh: exit code 3"}},
        {"kill -SEGV $$", 1, {"sh: exit code 1"}},
        {"exit 0", 0, {}},
    };
    for (const Case &c : cases) {
        DebugLogCapture log;
        int calls = 0;
        const SystemProgramRun run = RunSystemProgram("sh", {"-c", c.script}, [&] { ++calls; });
        EXPECT_TRUE(run.started) << c.script;
        EXPECT_EQ(run.exitCode, c.exitCode) << c.script;
        EXPECT_EQ(run.Succeeded(), c.exitCode == 0) << c.script;
        EXPECT_EQ(calls, 1) << c.script;
        EXPECT_EQ(log.messages(), QStringList{"run: sh -c " + QString::fromUtf8(c.script)} + c.log)
            << c.script;
    }
}

TEST(SystemProgram, ArgumentsReachTheProgramAsTheyAreWithoutAShell)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString marker = dir.filePath("touched");
    const QStringList args = {"%s|", "K420 card", "$(touch " + marker + ")", "; touch " + marker,
                              "'\"*"};
    DebugLogCapture log;
    const SystemProgramRun run = RunSystemProgram("printf", args);
    EXPECT_TRUE(run.Succeeded());
    ASSERT_EQ(log.messages().size(), 2);
    EXPECT_EQ(log.messages()[1], "K420 card|$(touch " + marker + ")|; touch " + marker + "|'\"*|");
    EXPECT_FALSE(QFile::exists(marker));
}

} // namespace
