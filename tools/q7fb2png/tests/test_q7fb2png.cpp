// q7fb2png writes the plane file as a PNG; ffmpeg decodes it back as the judge.
#include <gtest/gtest.h>

#include <stdio.h>
#include <stdlib.h>

#include <fstream>
#include <string>
#include <vector>

#include "graphics/draw_gui.h"
#include "testsupport/files.h"
#include "testsupport/temp_dir.h"

namespace {

class Fb2Png : public ::testing::Test
{
protected:
    static std::string tool()
    {
        const char *path = getenv("Q7FB2PNG");
        return path != nullptr ? path : "q7fb2png";
    }
    int run(const std::string &args)
    {
        return system((tool() + " " + args + " 2>/dev/null").c_str());
    }
    // The picture as RGBA bytes, decoded by ffmpeg.
    std::string decode(const std::string &png)
    {
        const std::string raw = dir + "/out.rgba";
        const std::string cmd =
            "ffmpeg -v error -y -i " + png + " -f rawvideo -pix_fmt rgba " + raw;
        if (system(cmd.c_str()) != 0)
            return "";
        return readText(raw);
    }
    static std::string rgba(int r, int g, int b, int a)
    {
        return std::string{(char)r, (char)g, (char)b, (char)a};
    }
    TempDir tmp{"q7png"};
    std::string dir = tmp.path();
};

TEST_F(Fb2Png, PixelsAndTheKey)
{
    std::vector<uint32_t> px(GRPX_WIDTH * GRPX_HEIGHT);
    draw_fill_color(px.data(), GRPX_KEY_COLOR);
    draw_fill_rect(px.data(), {100, 50, 10, 5}, 0x00FFFF00);
    px[479 * 720 + 719] = 0x00123456;
    ASSERT_TRUE(writeWords(dir + "/fb2", px));

    for (const bool transparent : {false, true}) {
        SCOPED_TRACE(transparent ? "-t" : "grey");
        const std::string png = dir + "/plane.png";
        ASSERT_EQ(run(std::string(transparent ? "-t " : "") + dir + "/fb2 " + png), 0);
        const std::string out = decode(png);
        ASSERT_EQ(out.size(), 720u * 480u * 4u);
        auto at = [&](int x, int y) { return out.substr(((size_t)y * 720 + x) * 4, 4); };
        EXPECT_EQ(at(100, 50), rgba(0xFF, 0xFF, 0, 0xFF));
        EXPECT_EQ(at(109, 54), rgba(0xFF, 0xFF, 0, 0xFF));
        EXPECT_EQ(at(719, 479), rgba(0x12, 0x34, 0x56, 0xFF));
        EXPECT_EQ(at(0, 0), rgba(0x30, 0x30, 0x30, transparent ? 0 : 0xFF));
        EXPECT_EQ(at(110, 50), at(0, 0));
    }
}

TEST_F(Fb2Png, DefaultPlaneIsBelowTheBoardRoot)
{
    ASSERT_EQ(system(("mkdir -p " + dir + "/root/dev").c_str()), 0);
    std::vector<uint32_t> px(GRPX_WIDTH * GRPX_HEIGHT, 0x00010203);
    ASSERT_TRUE(writeWords(dir + "/root/dev/fb2", px));
    ASSERT_EQ(run("") >> 8, 2) << "usage error without an output";
    ASSERT_EQ(system(("Q7_ROOT=" + dir + "/root " + tool() + " " + dir + "/p.png").c_str()), 0);
    const std::string out = decode(dir + "/p.png");
    ASSERT_EQ(out.size(), 720u * 480u * 4u);
    EXPECT_EQ(out.substr(0, 4), rgba(1, 2, 3, 0xFF));
}

TEST_F(Fb2Png, ShortOrMissingPlaneFails)
{
    std::vector<uint32_t> px(1000, 0);
    ASSERT_TRUE(writeWords(dir + "/fb2", px));
    EXPECT_NE(run(dir + "/fb2 " + dir + "/a.png"), 0);
    EXPECT_NE(run(dir + "/none " + dir + "/b.png"), 0);
    std::ifstream a(dir + "/a.png"), b(dir + "/b.png");
    EXPECT_FALSE(a.good());
    EXPECT_FALSE(b.good());
}

} // namespace
