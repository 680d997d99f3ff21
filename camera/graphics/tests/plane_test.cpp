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
#include "testsupport/files.h"
#include "testsupport/temp_dir.h"
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
    return readWords(path, 720 * 480);
}

class Plane : public ::testing::Test
{
protected:
    std::string node() const { return root.path() + "/dev/fb2"; }
    void makeNode(size_t bytes) { ASSERT_TRUE(writeFile(node(), Bytes(bytes, 0))); }
    void TearDown() override { grpx_fb_exit(); }
    BoardRoot root;
};

TEST_F(Plane, RegularFileIsMappedAndClearedToTheKey)
{
    makeNode(0); // an empty file is sized to the plane
    auto opened = printing(grpx_fb_init);
    ASSERT_EQ(opened.value, 0);
    EXPECT_EQ(opened.out, "");
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
    auto opened = printing(grpx_fb_init);
    EXPECT_EQ(opened.value, -1);
    EXPECT_EQ(opened.out, " [app] err: Could not open device [" + node() + "] \n");
    EXPECT_EQ(grpx_init, 0);
    EXPECT_EQ(grpx_obj.fd, 0);
    EXPECT_EQ(grpx_obj.fbAddr, nullptr);
}

TEST_F(Plane, DeviceThatIsNoFrameBufferFailsClosed)
{
    ASSERT_EQ(symlink("/dev/null", node().c_str()), 0);
    const int before = openFds();
    auto opened = printing(grpx_fb_init);
    EXPECT_EQ(opened.value, -1);
    EXPECT_EQ(opened.out, " [app] err: Error reading fixed information.\n");
    EXPECT_EQ(openFds(), before);
    EXPECT_EQ(grpx_init, 0);
}

} // namespace
