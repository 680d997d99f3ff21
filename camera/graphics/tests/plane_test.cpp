// The graphics plane on the simulated board: the frame-buffer node is a regular file below the
// board root, mapped as 720 x 480 x 32-bit.
#include <gtest/gtest.h>

#include <dirent.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "testsupport/console.h"
#include "graphics/draw_gui.h"
#include "graphics/graphic.h"

namespace {

const size_t kPlaneBytes = 720 * 480 * 4;

int openFds()
{
    int n = 0;
    DIR *d = opendir("/proc/self/fd");
    while (readdir(d) != nullptr)
        n++;
    closedir(d);
    return n;
}

std::vector<uint32_t> readPlane(const std::string &path)
{
    std::vector<uint32_t> px;
    FILE *f = fopen(path.c_str(), "rb");
    if (f == nullptr)
        return px;
    px.resize(720 * 480);
    if (fread(px.data(), 4, px.size(), f) != px.size())
        px.clear();
    fclose(f);
    return px;
}

class Plane : public ::testing::Test {
  protected:
    std::string node() const { return root.path() + "/dev/fb2"; }
    void makeNode(size_t bytes)
    {
        FILE *f = fopen(node().c_str(), "wb");
        ASSERT_NE(f, nullptr);
        std::vector<char> zeros(bytes + 1, 0);
        ASSERT_EQ(fwrite(zeros.data(), 1, bytes, f), bytes);
        fclose(f);
    }
    void TearDown() override { grpx_fb_exit(); }
    BoardRoot root;
};

TEST_F(Plane, RegularFileIsMappedAndClearedToTheKey)
{
    makeNode(0); // an empty file is sized to the plane
    testing::internal::CaptureStdout();
    ASSERT_EQ(grpx_fb_init(), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(grpx_init, 1);
    EXPECT_GT(grpx_obj.fd, 0);
    ASSERT_NE(grpx_obj.fbAddr, nullptr);
    EXPECT_EQ(grpx_obj.fbSize, kPlaneBytes);

    draw_fill_rect(grpx_obj.fbAddr, {10, 20, 3, 2}, 0x00112233);
    grpx_fb_exit();
    EXPECT_EQ(grpx_init, 0);
    EXPECT_EQ(grpx_obj.fd, 0);
    EXPECT_EQ(grpx_obj.fbAddr, nullptr);

    struct stat st;
    ASSERT_EQ(stat(node().c_str(), &st), 0);
    EXPECT_EQ((size_t)st.st_size, kPlaneBytes);
    std::vector<uint32_t> px = readPlane(node());
    ASSERT_EQ(px.size(), 720u * 480u);
    size_t drawn = 0, key = 0;
    for (size_t i = 0; i < px.size(); i++) {
        drawn += px[i] == 0x00112233;
        key += px[i] == GRPX_KEY_COLOR;
    }
    EXPECT_EQ(drawn, 6u);
    EXPECT_EQ(key, px.size() - 6);
    EXPECT_EQ(px[20 * 720 + 10], 0x00112233u);
}

TEST_F(Plane, InitAgainClearsAndKeepsOneDescriptor)
{
    makeNode(kPlaneBytes);
    const int before = openFds();
    ASSERT_EQ(grpx_fb_init(), 0);
    draw_fill_color(grpx_obj.fbAddr, 0x00445566);
    ASSERT_EQ(grpx_fb_init(), 0); // an open plane is closed first
    EXPECT_EQ(openFds(), before + 1);
    EXPECT_EQ(grpx_obj.fbAddr[0], GRPX_KEY_COLOR);
    grpx_fb_exit();
    EXPECT_EQ(openFds(), before);
    grpx_fb_exit(); // closing a closed plane is harmless
    EXPECT_EQ(grpx_init, 0);
}

TEST_F(Plane, MissingNodeFails)
{
    testing::internal::CaptureStdout();
    EXPECT_EQ(grpx_fb_init(), -1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              " [app] err: Could not open device [" + node() + "] \n");
    EXPECT_EQ(grpx_init, 0);
    EXPECT_EQ(grpx_obj.fd, 0);
    EXPECT_EQ(grpx_obj.fbAddr, nullptr);
}

TEST_F(Plane, DeviceThatIsNoFrameBufferFailsClosed)
{
    ASSERT_EQ(symlink("/dev/null", node().c_str()), 0);
    const int before = openFds();
    testing::internal::CaptureStdout();
    EXPECT_EQ(grpx_fb_init(), -1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              " [app] err: Error reading fixed information.\n");
    EXPECT_EQ(openFds(), before);
    EXPECT_EQ(grpx_init, 0);
}

} // namespace
