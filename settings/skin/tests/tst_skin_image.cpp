// The image machinery: the compiled-in skin images, nine-patch drawing pixel by pixel, the
// content rectangle, plain drawing and the text bitmap.

#include "skin/skin_image.h"

#include "qt_test_env.h"

#include <QPainter>

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

namespace {

const QRgb kMarker = qRgba(0, 0, 0, 255);
const QRgb kNoMarker = qRgba(255, 255, 255, 0);

// A nine-patch image whose picture pixel at image (x, y) is opaque (x, y, 200): every output
// pixel tells which source pixel it came from.
QImage CodedNinePatch(int w, int h, const std::vector<int> &markX, const std::vector<int> &markY)
{
    QImage img(w, h, QImage::Format_ARGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const bool frame = x == 0 || y == 0 || x == w - 1 || y == h - 1;
            img.setPixel(x, y, frame ? kNoMarker : qRgba(x, y, 200, 255));
        }
    for (int x : markX)
        img.setPixel(x, 0, kMarker);
    for (int y : markY)
        img.setPixel(0, y, kMarker);
    return img;
}

// Runs of output lines: `count` lines from source line `first`, stepping by `step` (0: one
// source line repeated).
struct Run {
    int count, first, step;
};

std::vector<int> Expand(const std::vector<Run> &runs)
{
    std::vector<int> v;
    for (const Run &r : runs)
        for (int i = 0; i < r.count; ++i)
            v.push_back(r.first + i * r.step);
    return v;
}

struct NinePatchCase {
    std::string name;
    int w, h;
    std::vector<int> markX, markY;
    int canvasW, canvasH;
    std::vector<Run> columns, rows; // image column / row shown at each canvas column / row
};

void PrintTo(const NinePatchCase &c, std::ostream *os)
{
    *os << c.name;
}

class NinePatchDrawing : public ::testing::TestWithParam<NinePatchCase>
{};

TEST_P(NinePatchDrawing, EveryCanvasPixelComesFromTheExpectedSourcePixel)
{
    const NinePatchCase &c = GetParam();
    const QImage img = CodedNinePatch(c.w, c.h, c.markX, c.markY);
    SkinCanvas canvas(c.canvasW, c.canvasH);
    canvas.image.fill(Qt::red);
    DrawNinePatchImage(canvas, img);
    const std::vector<int> cols = Expand(c.columns), rows = Expand(c.rows);
    ASSERT_EQ(static_cast<int>(cols.size()), c.canvasW);
    ASSERT_EQ(static_cast<int>(rows.size()), c.canvasH);
    int wrong = 0;
    for (int y = 0; y < c.canvasH; ++y)
        for (int x = 0; x < c.canvasW; ++x) {
            const QRgb got = canvas.image.pixel(x, y);
            const QRgb want = qRgba(cols[x], rows[y], 200, 255);
            if (got != want && wrong++ < 5)
                ADD_FAILURE() << "pixel (" << x << ", " << y << ") is " << std::hex << got
                              << ", want " << want;
        }
    EXPECT_EQ(wrong, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, NinePatchDrawing,
    ::testing::Values(
        // The tab image: left 5 and right 6 picture columns kept, column 6 repeated 139 times;
        // 37 rows is the picture's own height, so rows are copied unchanged.
        NinePatchCase{"TabAt150x37",
                      14,
                      39,
                      {6},
                      {19},
                      150,
                      37,
                      {{5, 1, 1}, {139, 6, 0}, {6, 7, 1}},
                      {{37, 1, 1}}},
        // Taller: row 19 repeated 60 + 1 - 38 + 1 = 24 times.
        NinePatchCase{"TabAt150x60",
                      14,
                      39,
                      {6},
                      {19},
                      150,
                      60,
                      {{5, 1, 1}, {139, 6, 0}, {6, 7, 1}},
                      {{18, 1, 1}, {24, 19, 0}, {18, 20, 1}}},
        // Two stretch columns, each repeated (40 + 1 - 19 + 2) / 2 = 12 times; no stretch row.
        NinePatchCase{"TwoColumnsAt40x8",
                      20,
                      10,
                      {5, 12},
                      {},
                      40,
                      8,
                      {{4, 1, 1}, {12, 5, 0}, {6, 6, 1}, {12, 12, 0}, {6, 13, 1}},
                      {{8, 1, 1}}},
        // Two stretch rows likewise: (20 + 1 - 9 + 2) / 2 = 7 each.
        NinePatchCase{"TwoRowsAt6x20",
                      8,
                      10,
                      {},
                      {3, 6},
                      6,
                      20,
                      {{6, 1, 1}},
                      {{2, 1, 1}, {7, 3, 0}, {2, 4, 1}, {7, 6, 0}, {2, 7, 1}}},
        // Narrower than the picture: the stretch column is not drawn at all.
        NinePatchCase{"NarrowerThanThePicture",
                      14,
                      39,
                      {6},
                      {19},
                      10,
                      37,
                      {{5, 1, 1}, {5, 7, 1}},
                      {{37, 1, 1}}}),
    [](const ::testing::TestParamInfo<NinePatchCase> &info) { return info.param.name; });

TEST(NinePatch, MoreThanTwoStretchMarkersLeaveThatPassUndrawn)
{
    for (const bool columns : {true, false}) {
        const std::vector<int> three = {3, 5, 7};
        const QImage img =
            columns ? CodedNinePatch(12, 12, three, {4}) : CodedNinePatch(12, 12, {4}, three);
        SkinCanvas canvas(30, 30);
        canvas.image.fill(Qt::red);
        DrawNinePatchImage(canvas, img);
        SkinCanvas empty(30, 30);
        EXPECT_EQ(canvas.image, empty.image) << (columns ? "columns" : "rows");
    }
}

TEST(NinePatch, WithoutStretchMarkersThePictureIsCopiedUnscaled)
{
    const QImage img = CodedNinePatch(10, 8, {}, {});
    SkinCanvas canvas(20, 12);
    DrawNinePatchImage(canvas, img);
    for (int y = 0; y < 12; ++y)
        for (int x = 0; x < 20; ++x) {
            // Picture pixels at their place, the picture's frame lines (white, transparent)
            // become transparent black, beyond that nothing.
            QRgb want = 0;
            if (x < 8 && y < 6)
                want = qRgba(x + 1, y + 1, 200, 255);
            ASSERT_EQ(canvas.image.pixel(x, y), want) << x << "," << y;
        }
}

struct ContentCase {
    int id, canvasW, canvasH;
    QRect content;
};

void PrintTo(const ContentCase &c, std::ostream *os)
{
    *os << "image " << c.id << " at " << c.canvasW << "x" << c.canvasH;
}

class NinePatchContent : public ::testing::TestWithParam<ContentCase>
{};

TEST_P(NinePatchContent, ContentRectangleAddsTheRepeatedSizes)
{
    const ContentCase &c = GetParam();
    SkinCanvas canvas(c.canvasW, c.canvasH);
    QRect content;
    DrawNinePatch(canvas, c.id, &content);
    EXPECT_EQ(content, c.content);
}

INSTANTIATE_TEST_SUITE_P(
    Images, NinePatchContent,
    ::testing::Values(
        // Push button at 100 x 29: (7, 3, 96, 29) as left, top, right, bottom.
        ContentCase{161, 100, 29, QRect(7, 3, 89, 26)},
        // Taller: the stretch row at y = 15 is repeated 40 + 1 - 30 + 1 = 12 times.
        ContentCase{161, 100, 40, QRect(7, 3, 89, 37)},
        // Tab at 150 x 37: content columns 1 ... 10 hold the stretch column (139 repeats).
        ContentCase{143, 150, 37, QRect(1, 1, 149, 36)}));

// The compiled-in images: every number with its size, and the marker frame of the nine-patches.
struct ImageCase {
    int first, last, w, h;
    bool ninePatch;
};

const ImageCase kImages[] = {
    {143, 154, 14, 39, true},   {155, 160, 29, 26, false}, {161, 163, 15, 31, true},
    {164, 164, 29, 148, true},  {165, 167, 30, 26, false}, {168, 168, 197, 94, false},
    {171, 171, 197, 94, false}, {169, 170, 48, 30, false}, {172, 174, 231, 16, false},
    {175, 179, 5, 17, true},    {501, 501, 29, 101, true},
};

TEST(SkinImages, EveryImageIsThereWithItsSize)
{
    for (const ImageCase &c : kImages)
        for (int id = c.first; id <= c.last; ++id) {
            const QImage img = LoadPngResource(id);
            ASSERT_FALSE(img.isNull()) << id;
            EXPECT_EQ(img.size(), QSize(c.w, c.h)) << id;
        }
}

TEST(SkinImages, NinePatchFramesHoldOnlyMarkersAndTransparentWhite)
{
    for (const ImageCase &c : kImages) {
        if (!c.ninePatch)
            continue;
        for (int id = c.first; id <= c.last; ++id) {
            const QImage img = LoadPngResource(id);
            ASSERT_FALSE(img.isNull()) << id;
            const int w = img.width(), h = img.height();
            int top = 0, left = 0, right = 0, bottom = 0;
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x) {
                    if (x != 0 && y != 0 && x != w - 1 && y != h - 1)
                        continue;
                    const QRgb p = img.pixel(x, y);
                    ASSERT_TRUE(p == kMarker || p == kNoMarker) << id << " at " << x << "," << y;
                    if (p != kMarker)
                        continue;
                    top += y == 0;
                    left += x == 0;
                    right += x == w - 1;
                    bottom += y == h - 1;
                }
            EXPECT_TRUE(top >= 1 && top <= 2) << id;
            EXPECT_TRUE(left >= 1 && left <= 2) << id;
            EXPECT_GE(right, 1) << id;
            EXPECT_GE(bottom, 1) << id;
        }
    }
}

std::vector<int> Markers(const QImage &img, bool row, int index)
{
    std::vector<int> v;
    const int n = row ? img.width() : img.height();
    for (int i = 0; i < n; ++i)
        if ((row ? img.pixel(i, index) : img.pixel(index, i)) == kMarker)
            v.push_back(i);
    return v;
}

TEST(SkinImages, TabAndPushButtonMarkersSitWhereTheLayoutNeedsThem)
{
    const QImage tab = LoadPngResource(143);
    EXPECT_EQ(Markers(tab, true, 0), std::vector<int>{6});
    EXPECT_EQ(Markers(tab, false, 0), std::vector<int>{19});
    const QImage button = LoadPngResource(161);
    EXPECT_EQ(Markers(button, true, 0), std::vector<int>{7});
    EXPECT_EQ(Markers(button, false, 0), std::vector<int>{15});
    EXPECT_EQ(Markers(button, true, 30), std::vector<int>{7});
    std::vector<int> rows;
    for (int y = 3; y <= 27; ++y)
        rows.push_back(y);
    EXPECT_EQ(Markers(button, false, 14), rows);
}

TEST(SkinImages, MotionCellsArePlainOpaqueColours)
{
    const std::pair<int, QRgb> cells[] = {{169, qRgb(0xE3, 0xE3, 0xE3)},
                                          {170, qRgb(0x58, 0xBA, 0xFF)}};
    for (const auto &[id, colour] : cells) {
        const QImage img = LoadPngResource(id);
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x)
                ASSERT_EQ(img.pixel(x, y), colour) << id;
    }
}

TEST(SkinImages, CameraPicturesAreTransparentOutsideTheScene)
{
    for (int id : {168, 171}) {
        const QImage img = LoadPngResource(id);
        ASSERT_EQ(img.size(), QSize(197, 94));
        EXPECT_EQ(qAlpha(img.pixel(20, 10)), 0) << id;   // sky
        EXPECT_EQ(qAlpha(img.pixel(20, 80)), 255) << id; // ground
        EXPECT_EQ(qAlpha(img.pixel(49, 10)), 255) << id; // grid line between cells
    }
}

TEST(SkinImages, TabPassIsPixelExactWithTheRealImage)
{
    const QImage src = LoadPngResource(143).convertToFormat(QImage::Format_ARGB32_Premultiplied);
    SkinCanvas canvas(150, 37);
    DrawNinePatch(canvas, 143);
    for (int y = 0; y < 37; ++y)
        for (int x = 0; x < 150; ++x) {
            const int sx = x < 5 ? x + 1 : x < 144 ? 6 : x - 144 + 7;
            ASSERT_EQ(canvas.image.pixel(x, y), src.pixel(sx, y + 1)) << x << "," << y;
        }
}

TEST(SkinImages, MissingImageLeavesTheCanvasAsItWas)
{
    EXPECT_TRUE(LoadPngResource(999).isNull());
    SkinCanvas canvas(20, 20);
    canvas.image.fill(Qt::green);
    const QImage before = canvas.image.copy();
    QRect content(1, 2, 3, 4);
    DrawNinePatch(canvas, 999, &content);
    DrawPng(canvas, 999);
    EXPECT_EQ(canvas.image, before);
    EXPECT_EQ(content, QRect(1, 2, 3, 4));
}

TEST(DrawPng, BlendsTheImageUnscaledAtTheOrigin)
{
    SkinCanvas canvas(250, 120);
    canvas.image.fill(qRgb(10, 20, 30));
    DrawPng(canvas, 168);
    const QImage src = LoadPngResource(168).convertToFormat(QImage::Format_ARGB32_Premultiplied);
    EXPECT_EQ(canvas.image.pixel(20, 10), qRgb(10, 20, 30));  // transparent sky: canvas shows
    EXPECT_EQ(canvas.image.pixel(20, 80), src.pixel(20, 80)); // opaque ground: the image
    EXPECT_EQ(canvas.image.pixel(49, 10), src.pixel(49, 10));
    EXPECT_EQ(canvas.image.pixel(220, 110), qRgb(10, 20, 30)); // beyond the image
}

TEST(CreateTextBitmap, ColourIsPremultipliedWithCoverageAsAlpha)
{
    const QFont font = CreateSkinFont(14, 700);
    const COLORREF colour = 0x3080F0; // red 0xF0, green 0x80, blue 0x30
    const QImage bmp = CreateTextBitmap(font, "Hello", colour);
    ASSERT_FALSE(bmp.isNull());
    EXPECT_EQ(bmp.format(), QImage::Format_ARGB32_Premultiplied);
    int full = 0, partial = 0;
    for (int y = 0; y < bmp.height(); ++y)
        for (int x = 0; x < bmp.width(); ++x) {
            const QRgb p = bmp.pixel(x, y); // pixel() hands back the stored premultiplied values
            const unsigned v = qAlpha(p);
            ASSERT_EQ(static_cast<unsigned>(qRed(p)), v * 0xF0 / 256);
            ASSERT_EQ(static_cast<unsigned>(qGreen(p)), v * 0x80 / 256);
            ASSERT_EQ(static_cast<unsigned>(qBlue(p)), v * 0x30 / 256);
            full += v == 255;
            partial += v > 0 && v < 255;
        }
    EXPECT_GT(full, 10);    // solid stems
    EXPECT_GT(partial, 10); // antialiased edges
}

TEST(CreateTextBitmap, SizeFollowsTheTextAndEmptyTextGivesNone)
{
    const QFont font = CreateSkinFont(14, 700);
    EXPECT_TRUE(CreateTextBitmap(font, "", 0xFFFFFF).isNull());
    const QImage one = CreateTextBitmap(font, "Line", 0xFFFFFF);
    const QImage two = CreateTextBitmap(font, "Line\r\nLine", 0xFFFFFF);
    const QImage longer = CreateTextBitmap(font, "Line Line", 0xFFFFFF);
    EXPECT_EQ(two.width(), one.width());
    EXPECT_EQ(two.height(), 2 * one.height());
    EXPECT_GT(longer.width(), one.width());
    EXPECT_EQ(longer.height(), one.height());
}

TEST(CreateSkinFont, CharacterCellIsTheGivenHeight)
{
    for (int h : {12, 14, 20}) {
        const QFont f = CreateSkinFont(h, 700);
        EXPECT_EQ(f.family(), "Tahoma");
        EXPECT_EQ(f.weight(), QFont::Bold);
        EXPECT_LE(QFontMetrics(f).height(), h);
        EXPECT_GE(QFontMetrics(f).height(), h - 2);
    }
}

} // namespace
