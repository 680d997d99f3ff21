#include "avi/avimem.h"
#include "avi/blockbuffer.h"

#include "testsupport/console.h"

#include <gtest/gtest.h>
#include <regex>
#include <string>

// The library's console line: "[libavi] - <operation>(<line>):<text>".
static bool isLibaviLine(const std::string &out, const std::string &op, const std::string &text)
{
    return std::regex_match(out, std::regex("\\[libavi\\] - " + op + "\\([0-9]+\\):" + text));
}

TEST(BlockBuffer, DefaultIsEmpty)
{
    CBlockBuffer b;
    EXPECT_EQ(b.GetData(), nullptr);
    EXPECT_EQ(b.GetSize(), 0u);
    EXPECT_EQ(b.GetCurSize(), 0u);
    EXPECT_EQ(b.GetRestSize(), 0u);
}

TEST(BlockBuffer, SizedConstructorZeroFills)
{
    CBlockBuffer b(64);
    ASSERT_NE(b.GetData(), nullptr);
    EXPECT_EQ(b.GetSize(), 64u);
    EXPECT_EQ(b.GetRestSize(), 64u);
    for (unsigned i = 0; i < 64; i++)
        EXPECT_EQ(b.GetData()[i], 0) << i;
}

TEST(BlockBuffer, WriteThenReadInOrder)
{
    CBlockBuffer b(16);
    unsigned char in[6] = {1, 2, 3, 4, 5, 6};
    EXPECT_EQ(b.Write(in, 6), 6);
    EXPECT_EQ(b.GetCurSize(), 6u);
    EXPECT_EQ(b.GetRestSize(), 10u);
    EXPECT_EQ(b.GetCurPtr(), b.GetData() + 6);
    unsigned char out[4] = {};
    EXPECT_EQ(b.Read(out, 4), 4);
    EXPECT_EQ(out[0], 1);
    EXPECT_EQ(out[3], 4);
    EXPECT_EQ(b.GetCurSize(), 2u);
    EXPECT_EQ(b.Read(out, 2), 2);
    EXPECT_EQ(out[0], 5);
    EXPECT_EQ(out[1], 6);
}

TEST(BlockBuffer, WriteOfExactlyTheRestFitsOneMoreIsRefused)
{
    CBlockBuffer b(8);
    unsigned char in[8] = {9, 9, 9, 9, 9, 9, 9, 9};
    ASSERT_EQ(b.Write(in, 3), 3);
    EXPECT_EQ(b.Write(in, b.GetRestSize()), 5);
    EXPECT_EQ(b.GetRestSize(), 0u);
    auto w = printing([&] { return b.Write(in, 1); });
    EXPECT_EQ(w.value, -1);
    EXPECT_TRUE(isLibaviLine(w.out, "Write", "Invalid Write size: 1\n"));
    EXPECT_EQ(b.GetCurSize(), 8u);
}

TEST(BlockBuffer, ReadBeyondTheWrittenBytesIsRefusedAndChangesNothing)
{
    CBlockBuffer b(8);
    unsigned char in[3] = {1, 2, 3};
    unsigned char out[8] = {0xAA, 0xAA, 0xAA, 0xAA};
    b.Write(in, 3);
    auto r = printing([&] { return b.Read(out, 4); });
    EXPECT_EQ(r.value, -1);
    EXPECT_TRUE(isLibaviLine(r.out, "Read", "Invalid Read Size: 4\n"));
    EXPECT_EQ(out[0], 0xAA);
    EXPECT_EQ(b.GetCurSize(), 3u);
    // A size that would wrap the sum around is refused as well.
    EXPECT_EQ(printing([&] { return b.Read(out, 0xFFFFFFFFu); }).value, -1);
    EXPECT_EQ(b.Read(out, 3), 3);
}

TEST(BlockBuffer, ZeroSizedWriteAndReadSucceed)
{
    CBlockBuffer b(4);
    unsigned char x = 0;
    EXPECT_EQ(b.Write(&x, 0), 0);
    EXPECT_EQ(b.Read(&x, 0), 0);
    CBlockBuffer none;
    EXPECT_EQ(none.Write(&x, 0), 0);
}

TEST(BlockBuffer, ClearDataKeepsBlockAndBytes)
{
    CBlockBuffer b(8);
    unsigned char in[4] = {4, 3, 2, 1};
    b.Write(in, 4);
    unsigned char *block = b.GetData();
    b.ClearData();
    EXPECT_EQ(b.GetCurSize(), 0u);
    EXPECT_EQ(b.GetRestSize(), 8u);
    EXPECT_EQ(b.GetData(), block);
    EXPECT_EQ(b.GetData()[0], 4);
    EXPECT_EQ(b.GetData()[3], 1);
}

TEST(BlockBuffer, SetCurPtrAdvancesAfterDirectWrite)
{
    CBlockBuffer b(8);
    b.GetCurPtr()[0] = 0x11;
    b.GetCurPtr()[1] = 0x22;
    b.SetCurPtr(2);
    EXPECT_EQ(b.GetCurSize(), 2u);
    unsigned char out[2];
    EXPECT_EQ(b.Read(out, 2), 2);
    EXPECT_EQ(out[1], 0x22);
}

TEST(BlockBuffer, ReAllocKeepsBytesButResetsPositions)
{
    CBlockBuffer b(10);
    unsigned char in[10] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
    b.Write(in, 10);
    ASSERT_EQ(b.ReAlloc(100), 0);
    EXPECT_EQ(b.GetSize(), 100u);
    EXPECT_EQ(b.GetCurSize(), 0u);
    EXPECT_EQ(b.GetRestSize(), 100u);
    for (int i = 0; i < 10; i++)
        EXPECT_EQ(b.GetData()[i], i);
    // Shrinking keeps the leading bytes.
    ASSERT_EQ(b.ReAlloc(4), 0);
    EXPECT_EQ(b.GetSize(), 4u);
    EXPECT_EQ(b.GetData()[3], 3);
}

TEST(BlockBuffer, ReAllocWithoutBlockAllocates)
{
    CBlockBuffer b;
    ASSERT_EQ(b.ReAlloc(32), 0);
    EXPECT_NE(b.GetData(), nullptr);
    EXPECT_EQ(b.GetSize(), 32u);
    EXPECT_EQ(b.GetData()[31], 0);
}

TEST(BlockBuffer, FreeThenWriteIsRefused)
{
    CBlockBuffer b(16);
    b.Free();
    EXPECT_EQ(b.GetData(), nullptr);
    EXPECT_EQ(b.GetSize(), 0u);
    unsigned char x = 1;
    auto w = printing([&] { return b.Write(&x, 1); });
    EXPECT_EQ(w.value, -1);
    EXPECT_TRUE(isLibaviLine(w.out, "Write", "Invalid Write size: 1\n"));
}

TEST(BlockBuffer, AllocReplacesOldBlockAndClearsPositions)
{
    CBlockBuffer b(4);
    unsigned char in[4] = {1, 1, 1, 1};
    b.Write(in, 4);
    ASSERT_EQ(b.Alloc(6), 0);
    EXPECT_EQ(b.GetSize(), 6u);
    EXPECT_EQ(b.GetCurSize(), 0u);
    EXPECT_EQ(b.GetData()[0], 0);
}

// Allocation failures, injected through the library's heap seam.
TEST(BlockBuffer, FailedAllocLeavesEmptyBuffer)
{
    CBlockBuffer b(8);
    avi_failAllocAfter(1);
    auto a = printing([&] { return b.Alloc(16); });
    EXPECT_EQ(a.value, -1);
    EXPECT_TRUE(isLibaviLine(a.out, "Alloc", "Can't Create Buffer\n"));
    EXPECT_EQ(b.GetData(), nullptr);
    EXPECT_EQ(b.GetSize(), 0u);
}

TEST(BlockBuffer, FailedSizedConstructorPrintsAllocMessage)
{
    avi_failAllocAfter(1);
    ConsoleCapture out(stdout);
    CBlockBuffer b(16);
    EXPECT_TRUE(isLibaviLine(out.text(), "Alloc", "Can't Create Buffer\n"));
    EXPECT_EQ(b.GetData(), nullptr);
    EXPECT_EQ(b.GetSize(), 0u);
}

TEST(BlockBuffer, FailedReAllocWithoutBlockPrintsAllocMessage)
{
    CBlockBuffer b;
    avi_failAllocAfter(1);
    auto a = printing([&] { return b.ReAlloc(16); });
    EXPECT_EQ(a.value, -1);
    EXPECT_TRUE(isLibaviLine(a.out, "Alloc", "Can't Create Buffer\n"));
    EXPECT_EQ(b.GetSize(), 0u);
}

TEST(BlockBuffer, FailedReAllocKeepsOldBlockAndPositions)
{
    CBlockBuffer b(8);
    unsigned char in[5] = {5, 4, 3, 2, 1};
    b.Write(in, 5);
    unsigned char *block = b.GetData();
    avi_failAllocAfter(1);
    auto a = printing([&] { return b.ReAlloc(1 << 20); });
    EXPECT_EQ(a.value, -1);
    EXPECT_TRUE(isLibaviLine(a.out, "ReAlloc", "Can't Create Buffer\n"));
    EXPECT_EQ(b.GetData(), block);
    EXPECT_EQ(b.GetSize(), 8u);
    EXPECT_EQ(b.GetCurSize(), 5u);
    unsigned char out[5];
    EXPECT_EQ(b.Read(out, 5), 5);
    EXPECT_EQ(out[0], 5);
}
