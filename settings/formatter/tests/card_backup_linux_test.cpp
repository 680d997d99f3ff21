// The Linux side's CopyOver on a medium that fills up.
#include "platform/platform.h"
#include "test_files.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/mount.h>
#include <unistd.h>

namespace {

// A destination on a medium that fills up during the copy keeps its old contents.
TEST(CopyOverTest, AFullMediumKeepsTheOldFile)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "mounting needs root";
    QTemporaryDir dir;
    const QString card = dir.filePath("card");
    ASSERT_TRUE(QDir().mkpath(card));
    if (::mount("card", QFile::encodeName(card).constData(), "tmpfs", 0, "size=64k") != 0)
        GTEST_SKIP() << "tmpfs mount refused";
    const QString to = card + "/setup.cfg";
    WriteFile(to, "settings record");
    const QString big = dir.filePath("big");
    WriteFile(big, QByteArray(256 * 1024, 'x'));
    EXPECT_FALSE(platform::CopyOver(big, to));
    EXPECT_EQ(ReadAll(to), "settings record");
    EXPECT_EQ(QDir(card).entryList(QDir::Files | QDir::Hidden), QStringList{"setup.cfg"})
        << "no partial copy left";
    ::umount2(QFile::encodeName(card).constData(), 0);
}

} // namespace
