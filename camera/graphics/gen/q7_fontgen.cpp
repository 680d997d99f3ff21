// Makes the bitmap tables of the graphics plane from fonts of Debian's packages:
//   - the 8x16 single-byte font from the X misc-fixed 8x16 font (xfonts-base), Latin-1 order;
//   - the 16x16 Hangul jamo sets from NanumGothic (fonts-nanum): every jamo is drawn into the
//     part of the cell that its set gives it, so that OR-ing one initial, medial and final
//     composes a syllable;
//   - the KS X 1001 -> Johab table from glibc's iconv (EUC-KR and JOHAB);
//   - the maker's logo, 148 x 26 pixels, from DejaVu Sans Bold (fonts-dejavu-core).
//
//   q7_fontgen FONT_TABLES.cpp LOGO.cpp
//
// The outputs are committed; CMake's target q7_fonts regenerates them and a test checks that
// they are what this program makes.
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H

#include <iconv.h>
#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

const char *const kLatinFont = "/usr/share/fonts/X11/misc/8x16.pcf.gz";
const char *const kHangulFont = "/usr/share/fonts/truetype/nanum/NanumGothicBold.ttf";
const char *const kLogoFont = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf";

FT_Library gLib;

FT_Face openFace(const char *path)
{
    FT_Face face;
    if (FT_New_Face(gLib, path, 0, &face) != 0) {
        fprintf(stderr, "q7_fontgen: cannot open font %s\n", path);
        exit(1);
    }
    return face;
}

// ---- 8x16 single-byte font ------------------------------------------------------------------

std::vector<uint8_t> latinGlyphs()
{
    FT_Face face = openFace(kLatinFont);
    if (face->num_fixed_sizes < 1 || FT_Select_Size(face, 0) != 0) {
        fprintf(stderr, "q7_fontgen: %s has no bitmap strike\n", kLatinFont);
        exit(1);
    }
    const int ascent = (int)(face->size->metrics.ascender >> 6);
    std::vector<uint8_t> out(256 * 16, 0);
    for (int code = 0; code < 256; code++) {
        FT_UInt index = FT_Get_Char_Index(face, (FT_ULong)code);
        if (index == 0 || FT_Load_Glyph(face, index, FT_LOAD_RENDER | FT_LOAD_TARGET_MONO) != 0)
            continue;
        const FT_Bitmap &bm = face->glyph->bitmap;
        const int top = ascent - face->glyph->bitmap_top;
        const int left = face->glyph->bitmap_left;
        for (unsigned r = 0; r < bm.rows; r++) {
            int y = top + (int)r;
            if (y < 0 || y >= 16)
                continue;
            for (unsigned c = 0; c < bm.width; c++) {
                int x = left + (int)c;
                bool on = bm.pixel_mode == FT_PIXEL_MODE_MONO
                              ? (bm.buffer[r * bm.pitch + c / 8] >> (7 - c % 8)) & 1
                              : bm.buffer[r * bm.pitch + c] >= 128;
                if (on && x >= 0 && x < 8)
                    out[code * 16 + y] |= (uint8_t)(0x80 >> x);
            }
        }
    }
    FT_Done_Face(face);
    return out;
}

// ---- 16x16 Hangul jamo sets -----------------------------------------------------------------

struct Box {
    int x0, y0, x1, y1; // inclusive pixel bounds in the 16x16 cell, y from the top
};

typedef uint16_t Cell[16]; // one row per entry, most significant bit leftmost

// Draws the outline of `ch` scaled into `box`: the glyph keeps its proportions within a
// stretch of 1.5 on either axis and is centred in the box.
void drawInto(FT_Face face, uint32_t ch, Box box, Cell cell)
{
    if (FT_Load_Char(face, ch, FT_LOAD_NO_BITMAP | FT_LOAD_NO_HINTING) != 0 ||
        face->glyph->format != FT_GLYPH_FORMAT_OUTLINE) {
        fprintf(stderr, "q7_fontgen: no outline for U+%04X\n", ch);
        exit(1);
    }
    FT_Outline *outline = &face->glyph->outline;
    FT_BBox cb;
    FT_Outline_Get_CBox(outline, &cb);
    const double gw = (double)(cb.xMax - cb.xMin), gh = (double)(cb.yMax - cb.yMin);
    // Box edges in 26.6 units of the bitmap, whose origin is its lower left corner.
    const double bw = (box.x1 - box.x0 + 1) * 64.0, bh = (box.y1 - box.y0 + 1) * 64.0;
    double sx = bw / gw, sy = bh / gh;
    const double s = std::min(sx, sy);
    sx = std::min(sx, s * 1.5);
    sy = std::min(sy, s * 1.5);
    const double left = box.x0 * 64.0 + (bw - gw * sx) / 2;
    const double bottom = (16 - 1 - box.y1) * 64.0 + (bh - gh * sy) / 2;
    for (int i = 0; i < outline->n_points; i++) {
        FT_Vector &p = outline->points[i];
        p.x = (FT_Pos)((p.x - cb.xMin) * sx + left);
        p.y = (FT_Pos)((p.y - cb.yMin) * sy + bottom);
    }
    uint8_t pixels[16 * 2] = {};
    FT_Bitmap bm;
    memset(&bm, 0, sizeof(bm));
    bm.rows = 16;
    bm.width = 16;
    bm.pitch = 2;
    bm.buffer = pixels;
    bm.pixel_mode = FT_PIXEL_MODE_MONO;
    bm.num_grays = 2;
    if (FT_Outline_Get_Bitmap(gLib, outline, &bm) != 0) {
        fprintf(stderr, "q7_fontgen: cannot render U+%04X\n", ch);
        exit(1);
    }
    for (int r = 0; r < 16; r++)
        cell[r] |= (uint16_t)(pixels[r * 2] << 8 | pixels[r * 2 + 1]);
}

// Compatibility jamo of the 19 initials, 21 medials and 27 finals in Johab's order.
const uint32_t kInitials[19] = {0x3131, 0x3132, 0x3134, 0x3137, 0x3138, 0x3139, 0x3141,
                                0x3142, 0x3143, 0x3145, 0x3146, 0x3147, 0x3148, 0x3149,
                                0x314A, 0x314B, 0x314C, 0x314D, 0x314E};
const uint32_t kFinals[27] = {0x3131, 0x3132, 0x3133, 0x3134, 0x3135, 0x3136, 0x3137,
                              0x3139, 0x313A, 0x313B, 0x313C, 0x313D, 0x313E, 0x313F,
                              0x3140, 0x3141, 0x3142, 0x3144, 0x3145, 0x3146, 0x3147,
                              0x3148, 0x314A, 0x314B, 0x314C, 0x314D, 0x314E};
uint32_t medialChar(int m)
{
    return 0x314F + (uint32_t)(m - 1);
}

// Where the initial sits, by set: 0 beside a vertical vowel, 1 above ㅗ ㅛ ㅡ, 2 above ㅜ ㅠ,
// 3 in the corner of ㅘ ㅙ ㅚ ㅢ, 4 of ㅝ ㅞ ㅟ; 5 to 7 the same three shapes with a final.
const Box kInitialBox[8] = {{0, 1, 9, 14}, {2, 1, 13, 8}, {2, 1, 13, 6}, {0, 1, 9, 8},
                            {0, 1, 9, 6},  {0, 0, 9, 8},  {2, 0, 13, 4}, {0, 0, 9, 5}};

enum Shape { kVertical, kHorizontalLow, kHorizontalHigh, kCompound };

Shape medialShape(int m)
{
    switch (m) {
    case 9:  // ㅗ
    case 13: // ㅛ
    case 19: // ㅡ
        return kHorizontalLow;
    case 14: // ㅜ
    case 18: // ㅠ
        return kHorizontalHigh;
    case 10:
    case 11:
    case 12:
    case 15:
    case 16:
    case 17:
    case 20:
        return kCompound;
    default:
        return kVertical;
    }
}

// Medial sets: 0 after ㄱ ㅋ, 1 after other initials, 2 and 3 the same with a final.
Box medialBox(int set, int m)
{
    const bool withFinal = set >= 2;
    switch (medialShape(m)) {
    case kHorizontalLow:
        return withFinal ? Box{0, 5, 15, 9} : Box{0, 9, 15, 14};
    case kHorizontalHigh:
        return withFinal ? Box{0, 5, 15, 10} : Box{0, 7, 15, 15};
    case kCompound:
        return withFinal ? Box{0, 1, 15, 10} : Box{0, 1, 15, 15};
    default:
        // After ㄱ and ㅋ the vowel stands a little further right of the initial's stroke.
        return withFinal ? Box{set == 2 ? 11 : 10, 0, 15, 10} : Box{set == 0 ? 11 : 10, 0, 15, 15};
    }
}

// Final sets: 0 under ㅏ ㅑ ㅘ, 1 under ㅓ ㅕ ㅣ and their kin, 2 under the double strokes ㅐ ㅔ,
// 3 under the horizontal vowels.
const Box kFinalBox[4] = {{1, 11, 12, 15}, {1, 11, 12, 15}, {1, 11, 11, 15}, {2, 11, 13, 15}};

void emitCells(FILE *f, const char *name, const std::vector<Cell> &cells, const char *what)
{
    fprintf(f, "\n// %s\nconst unsigned char %s[%zu][32] = {\n", what, name, cells.size());
    for (const Cell &c : cells) {
        fprintf(f, "    {");
        for (int r = 0; r < 16; r++)
            fprintf(f, "0x%02X, 0x%02X%s", c[r] >> 8, c[r] & 0xFF, r == 15 ? "" : ", ");
        fprintf(f, "},\n");
    }
    fprintf(f, "};\n");
}

// ---- KS X 1001 -> Johab ----------------------------------------------------------------------

std::vector<uint32_t> ksToJohab()
{
    iconv_t cd = iconv_open("JOHAB", "EUC-KR");
    if (cd == (iconv_t)-1) {
        perror("q7_fontgen: iconv_open");
        exit(1);
    }
    std::vector<uint32_t> table;
    for (int lead = 0xB0; lead <= 0xC8; lead++) {
        for (int trail = 0xA1; trail <= 0xFE; trail++) {
            char in[2] = {(char)lead, (char)trail};
            unsigned char out[4] = {};
            char *ip = in, *op = (char *)out;
            size_t il = 2, ol = sizeof(out);
            if (iconv(cd, &ip, &il, &op, &ol) == (size_t)-1 || ol != 2) {
                fprintf(stderr, "q7_fontgen: iconv cannot convert %02X %02X\n", lead, trail);
                exit(1);
            }
            table.push_back((uint32_t)out[0] << 8 | out[1]);
        }
    }
    iconv_close(cd);
    return table;
}

// ---- Logo -------------------------------------------------------------------------------------

uint32_t blend(uint32_t a, uint32_t b, int alpha)
{
    uint32_t out = 0;
    for (int shift = 0; shift < 24; shift += 8) {
        int ca = (a >> shift) & 0xFF, cb = (b >> shift) & 0xFF;
        out |= (uint32_t)((ca * (255 - alpha) + cb * alpha + 127) / 255) << shift;
    }
    return out;
}

// White letters on a dark blue plate with cut corners; the corners are the key colour, so that
// the video shows there.
std::vector<uint32_t> logo(int w, int h)
{
    const uint32_t key = 0x00FF00FF, plate = 0x00143C8C, rim = 0x00F0B400, ink = 0x00FFFFFF;
    std::vector<uint32_t> img((size_t)(w * h), plate);
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) {
            int dx = std::min(x, w - 1 - x), dy = std::min(y, h - 1 - y);
            if (dx + dy < 3)
                img[(size_t)(y * w + x)] = key;
            else if (dx == 0 || dy == 0 || dx + dy == 3)
                img[(size_t)(y * w + x)] = rim;
        }
    FT_Face face = openFace(kLogoFont);
    FT_Set_Pixel_Sizes(face, 0, 17);
    const char *text = "KESTRAVON";
    int width = 0;
    for (const char *p = text; *p; p++) {
        FT_Load_Char(face, (FT_ULong)*p, FT_LOAD_DEFAULT);
        width += (int)(face->glyph->advance.x >> 6);
    }
    int penX = (w - width) / 2;
    const int baseline = h / 2 + 6;
    for (const char *p = text; *p; p++) {
        FT_Load_Char(face, (FT_ULong)*p, FT_LOAD_RENDER);
        const FT_Bitmap &bm = face->glyph->bitmap;
        for (unsigned r = 0; r < bm.rows; r++)
            for (unsigned c = 0; c < bm.width; c++) {
                int x = penX + face->glyph->bitmap_left + (int)c;
                int y = baseline - face->glyph->bitmap_top + (int)r;
                int alpha = bm.buffer[r * bm.pitch + c];
                if (x > 1 && x < w - 2 && y > 1 && y < h - 2 && alpha > 0) {
                    uint32_t &px = img[(size_t)(y * w + x)];
                    px = blend(px, ink, alpha);
                    if (px == key) // never let a letter pixel turn transparent
                        px ^= 1;
                }
            }
        penX += (int)(face->glyph->advance.x >> 6);
    }
    FT_Done_Face(face);
    return img;
}

FILE *openOut(const char *path)
{
    FILE *f = fopen(path, "w");
    if (f == nullptr) {
        perror(path);
        exit(1);
    }
    return f;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 3) {
        fprintf(stderr, "usage: q7_fontgen FONT_TABLES.cpp LOGO.cpp\n");
        return 2;
    }
    if (FT_Init_FreeType(&gLib) != 0)
        return 1;

    FILE *f = openOut(argv[1]);
    fprintf(f, "// Generated by camera/graphics/gen/q7_fontgen from xfonts-base's 8x16 font,\n"
               "// NanumGothic Bold and glibc's iconv; do not edit.\n"
               "#include \"graphics/draw_font.h\"\n");

    std::vector<uint8_t> latin = latinGlyphs();
    fprintf(f, "\n// 256 glyphs of 8x16 pixels, Latin-1 order.\nconst unsigned char "
               "EngFontBuff[4096] = {\n");
    for (int g = 0; g < 256; g++) {
        fprintf(f, "    ");
        for (int r = 0; r < 16; r++)
            fprintf(f, "0x%02X,%s", latin[g * 16 + r], r == 15 ? "" : " ");
        fprintf(f, " // 0x%02X\n", g);
    }
    fprintf(f, "};\n");

    std::vector<uint32_t> ks = ksToJohab();
    fprintf(f, "\n// Johab code of each KS X 1001 syllable, (lead - 0xB0) * 94 + (trail - 0xA1).\n"
               "const unsigned int KStbl[2350] = {\n");
    for (size_t i = 0; i < ks.size(); i++)
        fprintf(f, "%s0x%04X,%s", i % 10 == 0 ? "    " : "", ks[i], i % 10 == 9 ? "\n" : " ");
    fprintf(f, "\n};\n");

    FT_Face han = openFace(kHangulFont);
    std::vector<Cell> initials(8 * 19), medials(4 * 21), finals(4 * 27);
    for (auto &c : initials)
        memset(c, 0, sizeof(c));
    for (auto &c : medials)
        memset(c, 0, sizeof(c));
    for (auto &c : finals)
        memset(c, 0, sizeof(c));
    for (int set = 0; set < 8; set++)
        for (int i = 1; i <= 19; i++)
            drawInto(han, kInitials[i - 1], kInitialBox[set], initials[(size_t)(19 * set + i - 1)]);
    for (int set = 0; set < 4; set++)
        for (int m = 1; m <= 21; m++)
            drawInto(han, medialChar(m), medialBox(set, m), medials[(size_t)(21 * set + m - 1)]);
    for (int set = 0; set < 4; set++)
        for (int fi = 1; fi <= 27; fi++)
            drawInto(han, kFinals[fi - 1], kFinalBox[set], finals[(size_t)(27 * set + fi - 1)]);
    FT_Done_Face(han);
    emitCells(f, "HanFontBuff_1", initials,
              "Initials: 8 sets of 19, glyph (set, i) at 19 * set + i - 1.");
    emitCells(f, "HanFontBuff_2", medials,
              "Medials: 4 sets of 21, glyph (set, m) at 21 * set + m - 1.");
    emitCells(f, "HanFontBuff_3", finals,
              "Finals: 4 sets of 27, glyph (set, f) at 27 * set + f - 1.");
    fclose(f);

    const int w = 148, h = 26;
    std::vector<uint32_t> img = logo(w, h);
    FILE *l = openOut(argv[2]);
    fprintf(l,
            "// Generated by camera/graphics/gen/q7_fontgen (DejaVu Sans Bold); do not edit.\n"
            "#include \"app/q7_logo.h\"\n\n"
            "const unsigned int q7_logo_img[%d * %d] = {\n",
            w, h);
    for (size_t i = 0; i < img.size(); i++)
        fprintf(l, "%s0x%06X,%s", i % 8 == 0 ? "    " : "", img[i], i % 8 == 7 ? "\n" : " ");
    fprintf(l, "};\n");
    fclose(l);
    FT_Done_FreeType(gLib);
    return 0;
}
