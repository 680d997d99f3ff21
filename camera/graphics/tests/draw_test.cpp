// The drawing primitives on a plane in memory, pixel by pixel.
#include <gtest/gtest.h>

#include <iconv.h>
#include <string.h>

#include <functional>
#include <string>
#include <vector>

#include "graphics/draw_font.h"
#include "graphics/draw_gui.h"

namespace {

const uint32_t kUnder = 0x00123456; // what the plane holds before drawing
const uint32_t kInk = 0x00ABCDEF;

struct Plane {
    std::vector<uint32_t> px = std::vector<uint32_t>(GRPX_WIDTH * GRPX_HEIGHT, kUnder);
    uint32_t *data() { return px.data(); }
    uint32_t at(int x, int y) const { return px[(size_t)y * GRPX_WIDTH + x]; }
    void set(int x, int y, uint32_t v) { px[(size_t)y * GRPX_WIDTH + x] = v; }
    void box(int x, int y, int w, int h, uint32_t v)
    {
        for (int r = y; r < y + h; r++)
            for (int c = x; c < x + w; c++)
                set(c, r, v);
    }
};

// Pixels that differ, described for the failure message (at most a few).
std::string diff(const Plane &got, const Plane &want)
{
    std::string out;
    int n = 0;
    for (int y = 0; y < GRPX_HEIGHT; y++)
        for (int x = 0; x < GRPX_WIDTH; x++)
            if (got.at(x, y) != want.at(x, y)) {
                if (n++ < 5)
                    out += "(" + std::to_string(x) + "," + std::to_string(y) + ") ";
            }
    return n == 0 ? "" : std::to_string(n) + " pixels differ: " + out;
}

struct FillCase {
    const char *name;
    std::function<int(uint32_t *)> draw;
    std::vector<DrawRect> painted; // boxes expected in kInk, all else untouched
};

class Fills : public ::testing::TestWithParam<FillCase>
{};

TEST_P(Fills, PaintExactlyTheBoxes)
{
    const FillCase &c = GetParam();
    Plane got, want;
    ASSERT_EQ(c.draw(got.data()), 0);
    for (const DrawRect &r : c.painted)
        want.box(r.x, r.y, r.w, r.h, kInk);
    EXPECT_EQ(diff(got, want), "");
}

const FillCase kFillCases[] = {
    {"RectBox16x100",
     [](uint32_t *p) {
         return draw_fill_rect(p, {32, 24, 16, 100}, kInk);
     },
     {{32, 24, 16, 100}}},
    // Odd start and odd end: single stores around the pairs.
    {"RectUnalignedOdd",
     [](uint32_t *p) {
         return draw_fill_rect(p, {33, 7, 7, 3}, kInk);
     },
     {{33, 7, 7, 3}}},
    {"RectOnePixel",
     [](uint32_t *p) {
         return draw_fill_rect(p, {719, 479, 1, 1}, kInk);
     },
     {{719, 479, 1, 1}}},
    {"RectWholePlane",
     [](uint32_t *p) {
         return draw_fill_rect(p, {0, 0, 720, 480}, kInk);
     },
     {{0, 0, 720, 480}}},
    {"RectZeroWidth",
     [](uint32_t *p) {
         return draw_fill_rect(p, {10, 10, 0, 5}, kInk);
     },
     {}},
    {"RectNegativeHeight",
     [](uint32_t *p) {
         return draw_fill_rect(p, {10, 10, 5, -3}, kInk);
     },
     {}},
    {"FillColor", [](uint32_t *p) { return draw_fill_color(p, kInk); }, {{0, 0, 720, 480}}},
    {"LineHorizontal",
     [](uint32_t *p) {
         return draw_line(p, {50, 60, 2, 100}, 0, kInk);
     },
     {{50, 60, 100, 2}}},
    {"LineVertical",
     [](uint32_t *p) {
         return draw_line(p, {50, 60, 2, 100}, 1, kInk);
     },
     {{50, 60, 2, 100}}},
    {"LineZeroThickness",
     [](uint32_t *p) {
         return draw_line(p, {50, 60, 0, 100}, 1, kInk);
     },
     {}},
    {"Outline100x50Thickness2",
     [](uint32_t *p) {
         return draw_rect_line(p, {101, 40, 100, 50}, 2, kInk);
     },
     {{101, 40, 100, 2}, {101, 88, 100, 2}, {101, 40, 2, 50}, {199, 40, 2, 50}}},
    {"OutlineThickness0",
     [](uint32_t *p) {
         return draw_rect_line(p, {10, 10, 20, 20}, 0, kInk);
     },
     {}},
};

INSTANTIATE_TEST_SUITE_P(Primitives, Fills, ::testing::ValuesIn(kFillCases),
                         [](const auto &info) { return std::string(info.param.name); });

// Rows are filled by single pixels up to a 16-byte boundary, then in blocks of 8, then by single
// pixels again: every start within a block and widths around a block's multiples.
TEST(Fills, RectOfEveryStartAndWidthAroundTheBlocks)
{
    for (int x = 0; x < 8; x++)
        for (int w : {1, 2, 3, 4, 5, 7, 8, 9, 11, 12, 15, 16, 17, 24, 31, 33}) {
            SCOPED_TRACE("x " + std::to_string(x) + " w " + std::to_string(w));
            Plane got, want;
            ASSERT_EQ(draw_fill_rect(got.data(), {x + 40, 3, w, 2}, kInk), 0);
            want.box(x + 40, 3, w, 2, kInk);
            EXPECT_EQ(diff(got, want), "");
        }
}

// Nothing is clipped, so a box may end on the plane's last column and row but not run past them.
TEST(Fills, RectsEndingAtThePlaneEdges)
{
    for (const DrawRect r : {DrawRect{701, 100, 19, 3}, DrawRect{697, 470, 23, 10},
                             DrawRect{0, 477, 720, 3}, DrawRect{719, 0, 1, 480}}) {
        SCOPED_TRACE(std::to_string(r.x) + "," + std::to_string(r.y) + " " + std::to_string(r.w) +
                     "x" + std::to_string(r.h));
        Plane got, want;
        ASSERT_EQ(draw_fill_rect(got.data(), r, kInk), 0);
        want.box(r.x, r.y, r.w, r.h, kInk);
        EXPECT_EQ(diff(got, want), "");
    }
}

TEST(Fills, OutlineLeavesTheInsideUntouched)
{
    Plane p;
    ASSERT_EQ(draw_rect_line(p.data(), {101, 40, 100, 50}, 2, kInk), 0);
    int inside = 0;
    for (int y = 42; y < 88; y++)
        for (int x = 103; x < 199; x++)
            inside += p.at(x, y) == kUnder;
    EXPECT_EQ(inside, 96 * 46);
}

TEST(Primitives, NullPlaneIsRefused)
{
    const uint32_t img[1] = {kInk};
    EXPECT_EQ(draw_fill_color(nullptr, kInk), -1);
    EXPECT_EQ(draw_fill_rect(nullptr, {0, 0, 1, 1}, kInk), -1);
    EXPECT_EQ(draw_line(nullptr, {0, 0, 1, 1}, 0, kInk), -1);
    EXPECT_EQ(draw_rect_line(nullptr, {0, 0, 4, 4}, 1, kInk), -1);
    EXPECT_EQ(draw_img(nullptr, img, {0, 0, 1, 1}), -1);
    Plane p;
    EXPECT_EQ(draw_img(p.data(), nullptr, {0, 0, 1, 1}), -1);
    draw_txt(nullptr, "A", 0, 0, kInk, kUnder); // must not crash
}

TEST(Image, KeyPixelsOnlyChangeNothing)
{
    Plane got, want;
    std::vector<uint32_t> img(30 * 20, GRPX_KEY_COLOR);
    ASSERT_EQ(draw_img(got.data(), img.data(), {5, 6, 30, 20}), 0);
    EXPECT_EQ(diff(got, want), "");
}

TEST(Image, CopiesRowsAndSkipsTheKey)
{
    Plane got, want;
    const int w = 7, h = 3;
    std::vector<uint32_t> img((size_t)(w * h));
    for (int i = 0; i < w * h; i++)
        img[(size_t)i] = i % 3 == 0 ? GRPX_KEY_COLOR : 0x00010000u * (uint32_t)i;
    ASSERT_EQ(draw_img(got.data(), img.data(), {700, 10, w, h}), 0);
    for (int i = 0; i < w * h; i++)
        if (img[(size_t)i] != GRPX_KEY_COLOR)
            want.set(700 + i % w, 10 + i / w, img[(size_t)i]);
    EXPECT_EQ(diff(got, want), "");
}

// Paints a glyph of `bytesPerRow` bytes into `p` as draw_txt should.
void expectGlyph(Plane &p, const unsigned char *glyph, int bytesPerRow, int x, int y,
                 uint32_t color, uint32_t bg)
{
    for (int r = 0; r < 16; r++)
        for (int c = 0; c < bytesPerRow * 8; c++) {
            bool on = glyph[r * bytesPerRow + c / 8] & (0x80 >> (c % 8));
            if (on)
                p.set(x + c, y + r, color);
            else if (bg != GRPX_TXT_BG_KEEP)
                p.set(x + c, y + r, bg);
        }
}

TEST(Text, WrapsAtTheEndOfTheRow)
{
    Plane got, want;
    draw_txt(got.data(), "AB", 712, 100, kInk, 0);
    expectGlyph(want, &EngFontBuff['A' * 16], 1, 712, 100, kInk, 0);
    expectGlyph(want, &EngFontBuff['B' * 16], 1, 0, 116, kInk, 0);
    EXPECT_EQ(diff(got, want), "");
    EXPECT_EQ(txt_color, kInk);
    EXPECT_EQ(txt_bg_color, 0u);
    EXPECT_EQ(txt_buf_addr, got.data());
}

TEST(Text, KeepBackgroundLeavesWhatIsUnder)
{
    const uint32_t red = 0x00FF0000;
    Plane got, want;
    got.box(0, 0, 64, 32, red);
    want.box(0, 0, 64, 32, red);
    draw_txt(got.data(), "Hi", 8, 8, kInk, GRPX_TXT_BG_KEEP);
    expectGlyph(want, &EngFontBuff['H' * 16], 1, 8, 8, kInk, GRPX_TXT_BG_KEEP);
    expectGlyph(want, &EngFontBuff['i' * 16], 1, 16, 8, kInk, GRPX_TXT_BG_KEEP);
    EXPECT_EQ(diff(got, want), "");
    int redLeft = 0;
    for (int y = 8; y < 24; y++)
        for (int x = 8; x < 24; x++)
            redLeft += got.at(x, y) == red;
    EXPECT_GT(redLeft, 100) << "the red between the strokes stays";
}

unsigned char orOf(const unsigned char *a, const unsigned char *b, const unsigned char *c, int k)
{
    return (unsigned char)(a[k] | (b ? b[k] : 0) | (c ? c[k] : 0));
}

struct SyllableCase {
    const char *name;
    const char *bytes;
    unsigned johab;
    int initialGlyph; // index in HanFontBuff_1
    int medialGlyph;  // index in HanFontBuff_2
    int finalGlyph;   // index in HanFontBuff_3, -1 for none
};

class Syllables : public ::testing::TestWithParam<SyllableCase>
{};

TEST_P(Syllables, ComposeFromTheirSets)
{
    const SyllableCase &c = GetParam();
    const unsigned char *b = (const unsigned char *)c.bytes;
    EXPECT_EQ(KStbl[(b[0] - 0xB0) * 94 + (b[1] - 0xA1)], c.johab);

    unsigned char glyph[32];
    for (int k = 0; k < 32; k++)
        glyph[k] = orOf(HanFontBuff_1[c.initialGlyph], HanFontBuff_2[c.medialGlyph],
                        c.finalGlyph < 0 ? nullptr : HanFontBuff_3[c.finalGlyph], k);
    Plane got, want;
    draw_txt(got.data(), c.bytes, 300, 200, kInk, 0);
    expectGlyph(want, glyph, 2, 300, 200, kInk, 0);
    EXPECT_EQ(diff(got, want), "");
}

// Expected glyph indices worked out by hand from the set rules and the tables.
const SyllableCase kRuleCases[] = {
    // 가: initial set 0 (ㄱ), medial set 0 (ㅏ after ㄱ), no final.
    {"Ga", "\xB0\xA1", 0x8861, 0, 0, -1},
    // 각: a final: initial set type1tbl_yes[1] = 5, medial set 2, final set type3tbl[1] = 0.
    {"Gak", "\xB0\xA2", 0x8862, 19 * 5 + 0, 21 * 2 + 0, 27 * 0 + 0},
    // 나: ㄴ (3) is neither ㄱ nor ㅋ: medial set 1.
    {"Na", "\xB3\xAA", 0x9061, 19 * 0 + 2, 21 * 1 + 0, -1},
    // 본: ㅂ (8), ㅗ (9) with a final: initial set 6, medial set 3, final ㄴ (4) in set 3.
    {"Bon", "\xBA\xBB", 0xA5A5, 19 * 6 + 7, 21 * 3 + 8, 27 * 3 + 3},
    // 콰: ㅋ (16), ㅘ (10), no final: initial set 3, medial set 0.
    {"Kwa", "\xC4\xE2", 0xC5C1, 19 * 3 + 15, 21 * 0 + 9, -1},
};

INSTANTIATE_TEST_SUITE_P(Hangul, Syllables, ::testing::ValuesIn(kRuleCases),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(Text, HangulOnKeptBackgroundStoresOnlyTheStrokes)
{
    const uint32_t red = 0x00FF0000;
    Plane got, want;
    got.box(300, 200, 16, 16, red);
    want.box(300, 200, 16, 16, red);
    // 각: an initial, a medial and a final, strokes in both bytes of the rows.
    draw_txt(got.data(), "\xB0\xA2", 300, 200, kInk, GRPX_TXT_BG_KEEP);
    unsigned char gak[32];
    for (int k = 0; k < 32; k++)
        gak[k] = orOf(HanFontBuff_1[19 * 5], HanFontBuff_2[21 * 2], HanFontBuff_3[0], k);
    expectGlyph(want, gak, 2, 300, 200, kInk, GRPX_TXT_BG_KEEP);
    EXPECT_EQ(diff(got, want), "");
}

TEST(Text, LeadByteAtTheEndStopsAtTheTerminator)
{
    // Exactly sized, so that a read past the terminator is seen by the address sanitizer.
    char *text = new char[3]{'A', (char)0xB0, 0};
    Plane got, want;
    draw_txt(got.data(), text, 0, 0, kInk, 0);
    expectGlyph(want, &EngFontBuff['A' * 16], 1, 0, 0, kInk, 0);
    EXPECT_EQ(diff(got, want), "");
    delete[] text;
}

TEST(Text, PairsOutsideTheSyllablesAreSkipped)
{
    for (const char *pair :
         {"\xA1\xA1", "\xAF\xFE", "\xC9\xA1", "\xFE\xFE", "\xB0\xA0", "\xB0\xFF", "\xB0\x41"}) {
        SCOPED_TRACE(testing::PrintToString(pair));
        std::string text = std::string(pair) + "A";
        Plane got, want;
        draw_txt(got.data(), text.c_str(), 40, 40, kInk, 0);
        expectGlyph(want, &EngFontBuff['A' * 16], 1, 40, 40, kInk, 0);
        EXPECT_EQ(diff(got, want), "");
    }
}

TEST(Text, MixedLineAdvancesByGlyphWidths)
{
    Plane got, want;
    draw_txt(got.data(),
             "A\xB0\xA1"
             "B",
             0, 0, kInk, 0);
    unsigned char ga[32];
    for (int k = 0; k < 32; k++)
        ga[k] = orOf(HanFontBuff_1[0], HanFontBuff_2[0], nullptr, k);
    expectGlyph(want, &EngFontBuff['A' * 16], 1, 0, 0, kInk, 0);
    expectGlyph(want, ga, 2, 8, 0, kInk, 0);
    expectGlyph(want, &EngFontBuff['B' * 16], 1, 24, 0, kInk, 0);
    EXPECT_EQ(diff(got, want), "");
}

TEST(Text, HangulWrapsWhenFewerThan16PixelsRemain)
{
    Plane got, want;
    draw_txt(got.data(), "\xB0\xA1", 705, 0, kInk, 0);
    unsigned char ga[32];
    for (int k = 0; k < 32; k++)
        ga[k] = orOf(HanFontBuff_1[0], HanFontBuff_2[0], nullptr, k);
    expectGlyph(want, ga, 2, 0, 16, kInk, 0);
    EXPECT_EQ(diff(got, want), "");
}

struct Utf8Case {
    const char *name;
    std::string utf8;
    std::string drawn; // what draw_txt is given
};

const Utf8Case kUtf8Cases[] = {
    {"Ascii", "/mmc/REC_2026_03_04_10_00.avi", "/mmc/REC_2026_03_04_10_00.avi"},
    {"ContinuousFolder", "/mmc/\xEC\x83\x81\xEC\x8B\x9C\xEB\x85\xB9\xED\x99\x94/REC_",
     "/mmc/\xBB\xF3\xBD\xC3\xB3\xEC\xC8\xAD/REC_"},
    {"FirstAndLastSyllable", "\xEA\xB0\x80\xED\x9E\x9D", "\xB0\xA1\xC8\xFE"},
    // Not among the 2 350: a syllable KS X 1001 lacks, a jamo, Latin, Hanja, an emoji.
    {"NotDrawable", "\xEB\x98\xA0|\xE3\x84\xB1|\xC3\xA9|\xE6\xBC\xA2|\xF0\x9F\x98\x80",
     "?|?|?|?|?"},
    // Bytes that are not UTF-8: each is one '?'.
    {"Malformed", "\xFF|\xC0\xAF|\xED\xA0\x80|\xEA\xB0|\x80", "?|??|???|??|?"},
    {"CutAtTheEnd", "A\xEA\xB0", "A??"},
};

class Utf8ToKs : public ::testing::TestWithParam<Utf8Case>
{};

TEST_P(Utf8ToKs, ConvertsWhatTheRendererCanDraw)
{
    char out[128];
    size_t len = draw_utf8_to_ks(GetParam().utf8.c_str(), out, sizeof(out));
    EXPECT_EQ(std::string(out, len), GetParam().drawn);
    EXPECT_EQ(strlen(out), len);
}

INSTANTIATE_TEST_SUITE_P(Texts, Utf8ToKs, ::testing::ValuesIn(kUtf8Cases),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(Utf8ToKsAll, EverySyllableOfTheRendererAsIconvHasIt)
{
    iconv_t cd = iconv_open("UTF-8", "EUC-KR");
    ASSERT_NE(cd, (iconv_t)-1);
    for (int lead = 0xB0; lead <= 0xC8; lead++)
        for (int trail = 0xA1; trail <= 0xFE; trail++) {
            char in[2] = {(char)lead, (char)trail};
            char utf8[8] = {0};
            char *ip = in, *op = utf8;
            size_t il = 2, ol = sizeof(utf8) - 1;
            ASSERT_NE(iconv(cd, &ip, &il, &op, &ol), (size_t)-1);
            char out[4];
            ASSERT_EQ(draw_utf8_to_ks(utf8, out, sizeof(out)), 2u) << std::hex << lead << trail;
            ASSERT_EQ((unsigned char)out[0], lead);
            ASSERT_EQ((unsigned char)out[1], trail);
        }
    iconv_close(cd);
}

TEST(Utf8ToKsAll, StopsBeforeACharacterThatDoesNotFit)
{
    char out[4];
    // Two syllables need 4 bytes and the terminator: only the first fits.
    EXPECT_EQ(draw_utf8_to_ks("\xEA\xB0\x80\xEA\xB0\x80", out, sizeof(out)), 2u);
    EXPECT_STREQ(out, "\xB0\xA1");
    EXPECT_EQ(draw_utf8_to_ks("abcdef", out, sizeof(out)), 3u);
    EXPECT_STREQ(out, "abc");
    EXPECT_EQ(draw_utf8_to_ks("abc", out, 0), 0u) << "nothing written without room";
}

} // namespace
