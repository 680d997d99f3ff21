#include "formatter/card_backup.h"
#include "platform/platform.h"
#include "test_files.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

TEST(CopyOverTest, CopiesAndReplaces)
{
    QTemporaryDir dir;
    const QString from = dir.filePath("from"), to = dir.filePath("to");
    WriteFile(from, "new contents");
    QFile::setPermissions(from, QFile::permissions(from) | QFile::ExeOwner);
    EXPECT_TRUE(platform::CopyOver(from, to));
    EXPECT_EQ(ReadAll(to), "new contents");
    // (Windows tells a program by its name, not by a mode.)
    EXPECT_EQ(QFile::permissions(to) & QFile::ExeOwner, QFile::permissions(from) & QFile::ExeOwner)
        << "a program stays a program";
    WriteFile(from, "newer");
    EXPECT_TRUE(platform::CopyOver(from, to));
    EXPECT_EQ(ReadAll(to), "newer");
    // Nothing but the copy is left in the folder.
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), (QStringList{"from", "to"}));
}

TEST(CopyOverTest, AReadOnlyEarlierCopyIsReplaced)
{
    // The kit's DLLs come read-only, and a card's setup.cfg may be: so may their earlier copies.
    QTemporaryDir dir;
    const QString from = dir.filePath("from"), to = dir.filePath("to");
    const auto readOnly = QFile::ReadOwner | QFile::ReadUser;
    WriteFile(from, "new");
    WriteFile(to, "earlier");
    for (const QString &file : {from, to})
        ASSERT_TRUE(QFile::setPermissions(file, readOnly));
    ASSERT_FALSE(QFile::permissions(to) & QFile::WriteOwner);
    EXPECT_TRUE(platform::CopyOver(from, to));
    EXPECT_EQ(ReadAll(to), "new");
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), (QStringList{"from", "to"}));
    for (const QString &file : {from, to})
        QFile::setPermissions(file, readOnly | QFile::WriteOwner | QFile::WriteUser);
}

TEST(CopyOverTest, AFileCopiedOntoItselfStaysAsItIs)
{
    QTemporaryDir dir;
    const QString file = dir.filePath("setup.cfg");
    WriteFile(file, "settings record");
    ASSERT_TRUE(QFile::link(file, dir.filePath("link.cfg")));
    ASSERT_TRUE(QDir().mkpath(dir.filePath("sub")));
    for (const QString &same : {file, dir.filePath("link.cfg"), dir.filePath("sub/../setup.cfg")}) {
        SCOPED_TRACE(same.toStdString());
        EXPECT_TRUE(platform::CopyOver(file, same));
        EXPECT_TRUE(platform::CopyOver(same, file));
        EXPECT_EQ(ReadAll(file), "settings record");
    }
}

TEST(CopyOverTest, AFailedCopyLeavesTheDestinationAlone)
{
    QTemporaryDir dir;
    const QString to = dir.filePath("to");
    WriteFile(to, "the only copy");
    // No source, a folder as source, a destination folder that does not exist.
    EXPECT_FALSE(platform::CopyOver(dir.filePath("missing"), to));
    EXPECT_FALSE(platform::CopyOver(dir.path(), to));
    EXPECT_FALSE(platform::CopyOver(to, dir.filePath("no/such/folder/to")));
    EXPECT_EQ(ReadAll(to), "the only copy");
}

// The card at /card of a temporary folder, the PC beside it.
class CardBackupTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        card = dir.filePath("card") + "/";
        cardFolder = card + "K420/";
        pc = dir.filePath("pc") + "/";
        ASSERT_TRUE(QDir().mkpath(cardFolder));
        ASSERT_TRUE(QDir().mkpath(pc + "prog"));
        WriteFile(cardFolder + "setup.cfg", "settings record");
        WriteFile(card + "MLO", "first stage");
        WriteFile(card + "boot.scr", "boot script");
    }
    // What a format leaves: the card's root, empty.
    void EmptyCard()
    {
        QDir(card).removeRecursively();
        QDir().mkpath(card);
    }
    OnCardTest OnCard() const
    {
        return [this](const QString &path) { return path.startsWith(card); };
    }

    QTemporaryDir dir;
    QString card, cardFolder, pc;
};

TEST_F(CardBackupTest, TheProgramsFolderOffTheCardIsTheBackupFolder)
{
    WriteFile(pc + "prog/K420_Setting", "the settings tool");
    CardBackup b;
    ASSERT_TRUE(PlanCardBackup(cardFolder, card, pc + "prog/K420_Setting", pc + "prog",
                               {pc + "fresh"}, OnCard(), b, nullptr));
    EXPECT_EQ(b.folder, pc + "prog/");
    EXPECT_FALSE(b.fresh);
    ASSERT_EQ(b.files.size(),
              3 + size_t(platform::ProgramFileSet(pc + "prog/K420_Setting").size()));
    // The running program is put back from where it is; nothing of it is copied before.
    EXPECT_TRUE(b.files[1].program);
    EXPECT_EQ(b.files[1].from, "");
    EXPECT_EQ(b.files[1].backup, pc + "prog/K420_Setting");
    EXPECT_EQ(b.files[1].to, cardFolder + "K420_Setting");

    QStringList copied;
    ASSERT_TRUE(MakeCardBackup(
        b, [&](const QString &from, const QString &) { copied << from; }, nullptr));
    EXPECT_EQ(copied, (QStringList{cardFolder + "setup.cfg", card + "MLO", card + "boot.scr"}));
    EXPECT_FALSE(QFileInfo::exists(pc + "fresh"));

    // The format empties the card; everything comes back.
    EmptyCard();
    ASSERT_TRUE(RestoreCardBackup(b));
    EXPECT_EQ(ReadAll(cardFolder + "setup.cfg"), "settings record");
    EXPECT_EQ(ReadAll(cardFolder + "K420_Setting"), "the settings tool");
    EXPECT_EQ(ReadAll(card + "MLO"), "first stage");
    EXPECT_EQ(ReadAll(card + "boot.scr"), "boot script");
    DiscardCardBackup(b);
    EXPECT_EQ(ReadAll(pc + "prog/setup.cfg"), "settings record") << "a folder that was there stays";
}

TEST_F(CardBackupTest, AStaleCopyInTheProgramsFolderGoesOntoTheCard)
{
    // A card without boot.scr: the copy from an earlier run is the one put back.
    QFile::remove(card + "boot.scr");
    WriteFile(pc + "prog/boot.scr", "earlier boot script");
    CardBackup b;
    ASSERT_TRUE(
        PlanCardBackup(cardFolder, card, QString(), pc + "prog/", {}, OnCard(), b, nullptr));
    EXPECT_EQ(b.files.size(), 3u) << "no program to put back";
    ASSERT_TRUE(MakeCardBackup(b, nullptr, nullptr));
    EmptyCard();
    ASSERT_TRUE(RestoreCardBackup(b));
    EXPECT_EQ(ReadAll(card + "boot.scr"), "earlier boot script");
}

TEST_F(CardBackupTest, AProgramOnTheCardWaitsInAFreshFolderWithTheOthers)
{
    WriteFile(cardFolder + "K420_Setting", "the settings tool");
    CardBackup b;
    // The first root lies on the card as well and is passed over.
    ASSERT_TRUE(PlanCardBackup(cardFolder, card, cardFolder + "K420_Setting", cardFolder,
                               {card + "tmp", pc + "data"}, OnCard(), b, nullptr));
    EXPECT_TRUE(b.fresh);
    EXPECT_TRUE(b.folder.startsWith(pc + "data/card-backup-")) << b.folder.toStdString();
    EXPECT_TRUE(QFileInfo(b.folder).isDir());
    EXPECT_FALSE(QFileInfo::exists(card + "tmp"));
    QStringList copied;
    ASSERT_TRUE(MakeCardBackup(
        b, [&](const QString &from, const QString &to) { copied << from + ">" + to; }, nullptr));
    ASSERT_EQ(copied.size(), 4);
    EXPECT_EQ(copied[3], cardFolder + "K420_Setting>" + b.folder + "K420_Setting")
        << "the program last";

    EmptyCard();
    ASSERT_TRUE(RestoreCardBackup(b));
    EXPECT_EQ(ReadAll(cardFolder + "K420_Setting"), "the settings tool");
    EXPECT_EQ(ReadAll(cardFolder + "setup.cfg"), "settings record");
    DiscardCardBackup(b);
    EXPECT_FALSE(QFileInfo::exists(b.folder));
}

// The program with every file it needs beside it (on Windows its DLLs and platforms/ folder):
// all of them wait off the card and come back, so that the card keeps a tool that runs.
TEST_F(CardBackupTest, TheProgramsWholeSetComesBack)
{
    const QString program = cardFolder + "K420_Setting.exe";
    const QStringList set = platform::ProgramFileSet(program);
    ASSERT_EQ(set.value(0), "K420_Setting.exe");
    for (const QString &file : set) {
        ASSERT_TRUE(QDir().mkpath(QFileInfo(cardFolder + file).path()));
        WriteFile(cardFolder + file, "bytes of " + file.toUtf8());
    }
    CardBackup b;
    ASSERT_TRUE(
        PlanCardBackup(cardFolder, card, program, cardFolder, {pc + "data"}, OnCard(), b, nullptr));
    QStringList programFiles;
    for (const BackupFile &f : b.files)
        if (f.program)
            programFiles << f.to;
    QStringList wanted;
    for (const QString &file : set)
        wanted << cardFolder + file;
    EXPECT_EQ(programFiles, wanted);
    ASSERT_TRUE(MakeCardBackup(b, nullptr, nullptr));
    EmptyCard();
    ASSERT_TRUE(RestoreCardBackup(b));
    for (const QString &file : set)
        EXPECT_EQ(ReadAll(cardFolder + file), "bytes of " + file.toUtf8()) << file.toStdString();
    DiscardCardBackup(b);
}

TEST_F(CardBackupTest, NoBackupWithoutAFolderOffTheCard)
{
    WriteFile(pc + "blocked", "a file where a folder should be");
    CardBackup b;
    QString why;
    EXPECT_FALSE(PlanCardBackup(cardFolder, card, cardFolder + "K420_Setting", cardFolder,
                                {card + "tmp", pc + "blocked/data", QString()}, OnCard(), b, &why));
    EXPECT_EQ(why, card + "tmp, " + pc + "blocked/data, ");
    EXPECT_TRUE(b.folder.isEmpty());
}

TEST_F(CardBackupTest, AFileThatCannotBeBackedUpStopsTheBackup)
{
    // A folder in the way of boot.scr's backup.
    ASSERT_TRUE(QDir().mkpath(pc + "prog/boot.scr"));
    CardBackup b;
    ASSERT_TRUE(
        PlanCardBackup(cardFolder, card, QString(), pc + "prog/", {}, OnCard(), b, nullptr));
    QString failed;
    EXPECT_FALSE(MakeCardBackup(b, nullptr, &failed));
    EXPECT_EQ(failed, card + "boot.scr");
    EXPECT_EQ(ReadAll(card + "boot.scr"), "boot script");
}

} // namespace
