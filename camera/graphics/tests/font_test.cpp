// The font tables: KStbl against glibc's iconv, every syllable decodes to jamo of the tables and
// draws something, and the committed tables are what the generator makes.
#include <gtest/gtest.h>

#include <iconv.h>
#include <stdio.h>
#include <stdlib.h>

#include <string>

#include "graphics/draw_font.h"
#include "testsupport/files.h"
#include "testsupport/temp_dir.h"

namespace {

TEST(KStbl, MatchesIconvForAllSyllables)
{
    iconv_t cd = iconv_open("JOHAB", "EUC-KR");
    ASSERT_NE(cd, (iconv_t)-1);
    int checked = 0;
    for (int lead = 0xB0; lead <= 0xC8; lead++)
        for (int trail = 0xA1; trail <= 0xFE; trail++) {
            char in[2] = {(char)lead, (char)trail};
            unsigned char out[2];
            char *ip = in, *op = (char *)out;
            size_t il = 2, ol = 2;
            ASSERT_NE(iconv(cd, &ip, &il, &op, &ol), (size_t)-1) << lead << " " << trail;
            const unsigned want = (unsigned)out[0] << 8 | out[1];
            ASSERT_EQ(KStbl[(lead - 0xB0) * 94 + (trail - 0xA1)], want)
                << std::hex << lead << trail;
            checked++;
        }
    iconv_close(cd);
    EXPECT_EQ(checked, KS_HANGUL_COUNT);
}

TEST(KStbl, EverySyllableHasJamoOfTheTables)
{
    for (int k = 0; k < KS_HANGUL_COUNT; k++) {
        const unsigned code = KStbl[k];
        const int i = idxtbl_1[(code >> 10) & 0x1F];
        const int m = idxtbl_2[(code >> 5) & 0x1F];
        const int f = idxtbl_3[code & 0x1F];
        ASSERT_TRUE(i >= 1 && i <= 19 && m >= 1 && m <= 21 && f >= 0 && f <= 27) << k;
    }
}

bool blank(const unsigned char *glyph, int bytes)
{
    for (int k = 0; k < bytes; k++)
        if (glyph[k] != 0)
            return false;
    return true;
}

TEST(Glyphs, NoneIsBlank)
{
    for (int c = 0x21; c < 0x7F; c++)
        EXPECT_FALSE(blank(&EngFontBuff[c * 16], 16)) << c;
    EXPECT_TRUE(blank(&EngFontBuff[' ' * 16], 16));
    for (int g = 0; g < 8 * 19; g++)
        EXPECT_FALSE(blank(HanFontBuff_1[g], 32)) << "initial " << g;
    for (int g = 0; g < 4 * 21; g++)
        EXPECT_FALSE(blank(HanFontBuff_2[g], 32)) << "medial " << g;
    for (int g = 0; g < 4 * 27; g++)
        EXPECT_FALSE(blank(HanFontBuff_3[g], 32)) << "final " << g;
}

#ifdef Q7_FONTGEN_PATH
TEST(Generator, RemakesTheCommittedTables)
{
    TempDir dir("q7font");
    const std::string fonts = dir.file("fonts.cpp"), logo = dir.file("logo.cpp");
    const std::string cmd = std::string(Q7_FONTGEN_PATH) + " " + fonts + " " + logo;
    ASSERT_EQ(system(cmd.c_str()), 0);
    EXPECT_TRUE(readText(fonts) == readText(Q7_FONT_DATA_PATH))
        << "draw_font_data.cpp differs from the generator's output: build the target q7_fonts";
    EXPECT_TRUE(readText(logo) == readText(Q7_LOGO_DATA_PATH))
        << "q7_logo.cpp differs from the generator's output: build the target q7_fonts";
}
#endif

} // namespace
