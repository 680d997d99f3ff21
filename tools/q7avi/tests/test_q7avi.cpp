#include "avi_test_util.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <stdlib.h>
#ifndef _WIN32
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

using namespace avitest;

namespace {

std::string tool()
{
    const char *t = getenv("Q7AVI");
    return t ? t : "q7avi";
}

std::vector<Chunk> chunks(int frames)
{
    std::vector<AccessUnit> main;
    for (int i = 0; i < frames; i++) {
        Bytes d(500 + (size_t)i, (uint8_t)i);
        d[0] = d[1] = d[2] = 0;
        d[3] = 1;
        d[4] = i % 30 == 0 ? 0x27 : 0x21;
        main.push_back({d, i % 30 == 0});
    }
    return interleave(main, nullptr, true);
}

// What the system says of a folder opened as a file.
#ifdef _WIN32
const char kFolderRefused[] = "Permission denied";
#else
const char kFolderRefused[] = "Is a directory";
#endif

struct Files {
    TempDir dir;
    std::string complete = dir.file("complete.avi"), cut = dir.file("cut.avi"),
                junk = dir.file("junk.avi"), missing = dir.file("missing.avi");
    Bytes closed;
    Files()
    {
        Bytes atOpen;
        EXPECT_TRUE(writeRecording(complete, recorderParams(true, false), chunks(45), &atOpen));
        closed = readFile(complete);
        auto offs = chunkOffsets(closed);
        writeFile(cut, powerCut(closed, atOpen, offs[30] + 3));
        writeFile(junk, Bytes(200, 'x'));
    }
};

} // namespace

TEST(Q7avi, InfoReportsStreamsCountsAndRepairNeed)
{
    Files f;
    int status = -1;
    std::string out =
        run(shellWord(tool()) + " info " + shellWord(f.complete) + " " + shellWord(f.cut), &status);
    EXPECT_EQ(status, 0) << out;
    EXPECT_NE(out.find(f.complete + ": complete\n  3 streams, 29.970 frames per second\n"
                                    "  stream 0: vids H264 1920x1080, 45 frames, 2 key frames\n"
                                    "  stream 1: auds, 12 chunks\n  stream 2: txts, 0 chunks\n"),
              std::string::npos)
        << out;
    EXPECT_NE(out.find(f.cut + ": cut short, needs repair\n"), std::string::npos) << out;
    EXPECT_NE(out.find("  stream 0: vids H264 1920x1080, 24 frames, 1 key frames\n  stream 1: "
                       "auds, 6 chunks\n"),
              std::string::npos)
        << out;
    EXPECT_EQ(readFile(f.cut).size(), chunkOffsets(f.closed)[30] + 3); // info writes nothing
}

TEST(Q7avi, InfoFailsOnUnreadableFiles)
{
    Files f;
    int status = -1;
    std::string out = run(
        shellWord(tool()) + " info " + shellWord(f.junk) + " " + shellWord(f.complete), &status);
    EXPECT_EQ(status, 1);
    EXPECT_NE(out.find(f.junk + ": cannot be read: Not enough header information.\n"),
              std::string::npos)
        << out;
    EXPECT_NE(out.find(f.complete + ": complete"), std::string::npos);
    out = run(shellWord(tool()) + " info " + shellWord(f.missing), &status);
    EXPECT_EQ(status, 1);
    EXPECT_NE(out.find(f.missing + ": cannot be read"), std::string::npos) << out;
}

TEST(Q7avi, RepairMakesCutFilesCompleteAndLeavesCompleteOnesAlone)
{
    Files f;
    int status = -1;
    std::string out = run(
        shellWord(tool()) + " repair " + shellWord(f.cut) + " " + shellWord(f.complete), &status);
    EXPECT_EQ(status, 0) << out;
    EXPECT_NE(out.find("     AVIMAINHEADER     "),
              std::string::npos); // the camera's console report
    EXPECT_NE(out.find("Header info modified!! "), std::string::npos);
    EXPECT_NE(out.find(f.cut + ": repaired\n"), std::string::npos) << out;
    EXPECT_NE(out.find(f.complete + ": complete, left as it is\n"), std::string::npos) << out;
    EXPECT_EQ(readFile(f.complete), f.closed);
    out = run(shellWord(tool()) + " info " + shellWord(f.cut), &status);
    EXPECT_EQ(status, 0);
    EXPECT_NE(out.find(f.cut + ": complete\n"), std::string::npos) << out;
    EXPECT_EQ(out.find("the header says"), std::string::npos) << out;
}

TEST(Q7avi, RepairFailureIsReportedInTheExitStatus)
{
    Files f;
    int status = -1;
    std::string out = run(shellWord(tool()) + " repair " + shellWord(f.junk), &status);
    EXPECT_EQ(status, 1);
    EXPECT_NE(out.find(" WARNING: [" + f.junk +
                       "], file recovery FAIL : Not enough header information.\n!!! \n"),
              std::string::npos)
        << out;
}

TEST(Q7avi, UsageIsRefused)
{
    int status = -1;
    std::string out = run(shellWord(tool()) + " check x.avi", &status);
    EXPECT_EQ(status, 2);
    EXPECT_NE(out.find("usage: q7avi info FILE..."), std::string::npos);
    run(shellWord(tool()) + " info", &status);
    EXPECT_EQ(status, 2);
}

TEST(Q7avi, RepairSaysWhyAFileCannotBeOpened)
{
    Files f;
    int status = -1;
    std::string out =
        run(shellWord(tool()) + " repair " + shellWord(f.missing) + " " + shellWord(f.dir.path()),
            &status);
    EXPECT_EQ(status, 1);
    EXPECT_NE(out.find(" WARNING: [" + f.missing +
                       "], file recovery FAIL : No such file or directory!!! \n"),
              std::string::npos)
        << out;
    EXPECT_NE(out.find(" WARNING: [" + f.dir.path() + "], file recovery FAIL : " + kFolderRefused +
                       "!!! \n"),
              std::string::npos)
        << out;
}

// The card's folders have Korean names; the tool takes them as they are given.
TEST(Q7avi, FilesInTheCardsKoreanFoldersAreRepaired)
{
    Files f;
    const std::string folder =
        f.dir.file("\xEC\x83\x81\xEC\x8B\x9C\xEB\x85\xB9\xED\x99\x94"); // 상시녹화
    ASSERT_TRUE(std::filesystem::create_directory(std::filesystem::u8path(folder)));
    const std::string path = folder + "/REC_2026_12_11_14_45.avi";
    writeFile(path, readFile(f.cut));
    int status = -1;
    std::string out = run(shellWord(tool()) + " repair " + shellWord(path), &status);
    EXPECT_EQ(status, 0) << out;
    EXPECT_NE(out.find(path + ": repaired\n"), std::string::npos) << out;
    out = run(shellWord(tool()) + " info " + shellWord(path), &status);
    EXPECT_EQ(status, 0) << out;
    EXPECT_NE(out.find(path + ": complete\n"), std::string::npos) << out;
    EXPECT_EQ(completeFileFault(readFile(path)), "");
}

// A card read on a PC: a damaged chunk header in a recording cut short, under a name with blanks
// and shell characters.
TEST(Q7avi, DamageIsShownAndPassedOver)
{
    Files f;
    const std::string path = f.dir.file("REC 12;$(x) &.avi");
    Bytes b = readFile(f.cut);
    const auto offs = chunkOffsets(f.closed);
    b[offs[10] + 1] = 'Z';
    writeFile(path, b);
    const std::string span = std::to_string(offs[11] - offs[10]);
    int status = -1;
    std::string out = run(shellWord(tool()) + " info " + shellWord(path), &status);
    EXPECT_EQ(status, 0) << out;
    EXPECT_NE(out.find(path + ": cut short, needs repair\n"), std::string::npos) << out;
    EXPECT_NE(out.find("  1 damaged spans between chunks, " + span + " bytes\n"), std::string::npos)
        << out;
    out = run(shellWord(tool()) + " repair " + shellWord(path), &status);
    EXPECT_EQ(status, 0) << out;
    EXPECT_NE(out.find("Damaged spans skipped: 1, " + span + " bytes\n"), std::string::npos) << out;
    EXPECT_NE(out.find(path + ": repaired\n"), std::string::npos) << out;
    EXPECT_EQ(completeFileFault(readFile(path)), "");
    out = run(shellWord(tool()) + " info " + shellWord(path), &status);
    EXPECT_EQ(status, 0);
    EXPECT_NE(out.find(path + ": complete\n"), std::string::npos) << out;
    EXPECT_EQ(out.find("the header says"), std::string::npos) << out;
    EXPECT_EQ(out.find("damaged"), std::string::npos) << out;
}

// Sparse files, and a card of a few kilobytes that fills, need the Linux system calls.
#ifndef _WIN32
TEST(Q7avi, FileOf4GiBIsRefusedAndLeftAlone)
{
    Files f;
    ASSERT_EQ(truncate(f.cut.c_str(), (off_t)5 << 30), 0); // sparse
    struct stat before = {}, after = {};
    ASSERT_EQ(stat(f.cut.c_str(), &before), 0);
    int status = -1;
    std::string out = run(shellWord(tool()) + " repair " + shellWord(f.cut), &status);
    EXPECT_EQ(status, 1);
    EXPECT_NE(out.find(" WARNING: [" + f.cut +
                       "], file recovery FAIL : File too large to index (4 GiB or more).\n!!! \n"),
              std::string::npos)
        << out;
    ASSERT_EQ(stat(f.cut.c_str(), &after), 0);
    EXPECT_EQ(after.st_size, before.st_size);
    EXPECT_EQ(after.st_blocks, before.st_blocks);
    out = run(shellWord(tool()) + " info " + shellWord(f.cut), &status);
    EXPECT_EQ(status, 1);
    EXPECT_NE(out.find(f.cut + ": cannot be read: File too large to index (4 GiB or more).\n"),
              std::string::npos)
        << out;
    unlink(f.cut.c_str());
}

// A full card: the repair cannot add the index. It fails with its reason and the system's, and
// once there is room again it repairs the file as it would have.
TEST(Q7avi, FullCardFailsWithItsReasonAndTheFileStaysRepairable)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "mounting needs root";
    Files f;
    const std::string card = f.dir.file("card");
    ASSERT_EQ(mkdir(card.c_str(), 0755), 0);
    if (mount("none", card.c_str(), "tmpfs", 0, "size=256k") != 0)
        GTEST_SKIP() << "tmpfs mount refused";
    struct Unmount {
        std::string at;
        ~Unmount() { umount2(at.c_str(), MNT_DETACH); }
    } unmount{card};

    // Cut inside a frame at a page boundary, so that the index needs room the card does not have.
    const auto offs = chunkOffsets(f.closed);
    size_t cut = 0;
    for (size_t p = 4096; p < f.closed.size() && !cut; p += 4096)
        for (size_t k = 20; k + 1 < offs.size() && !cut; k++)
            if (p >= offs[k] + 8 + 5 && p < offs[k + 1])
                cut = p;
    ASSERT_NE(cut, 0u);
    Bytes atOpen(f.closed.begin(), f.closed.begin() + (long)moviOffset(f.closed) + 12);
    putU32(atOpen, 4, 0);
    putU32(atOpen, moviOffset(f.closed) + 4, 0);
    const Bytes b = powerCut(f.closed, atOpen, cut);
    writeFile(f.cut, b);
    int status = -1;
    run(shellWord(tool()) + " repair " + shellWord(f.cut), &status);
    ASSERT_EQ(status, 0);
    const Bytes reference = readFile(f.cut);

    const std::string path = card + "/REC_1.avi", filler = card + "/filler";
    writeFile(path, b);
    run("dd if=/dev/zero of=" + shellWord(filler) + " bs=4096 2>/dev/null; sync", &status);
    std::string out = run(shellWord(tool()) + " repair " + shellWord(path), &status);
    EXPECT_EQ(status, 1);
    const size_t idx1 = moviOffset(reference) + 8 + u32(reference, moviOffset(reference) + 4);
    EXPECT_NE(out.find(" WARNING: [" + path + "], file recovery FAIL : File write fail offset[" +
                       std::to_string(idx1) + "].\n!!! \n"),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("No space left on device\n"), std::string::npos) << out;
    EXPECT_EQ(u32(readFile(path), 4), 0u);

    unlink(filler.c_str());
    out = run(shellWord(tool()) + " repair " + shellWord(path), &status);
    EXPECT_EQ(status, 0) << out;
    EXPECT_TRUE(readFile(path) == reference);
}
#endif
