#pragma once

// The skin's image machinery: PNG resources by number, off-screen canvases, plain and
// nine-patch drawing, and coloured text with per-pixel alpha.

#include <QColor>
#include <QFont>
#include <QIcon>
#include <QImage>
#include <QRect>
#include <QString>

#include <cstdint>

// Windows colour value 0x00BBGGRR, as the callers write their text colours.
typedef std::uint32_t COLORREF;

inline QColor ColorFromRef(COLORREF c)
{
    return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
}

// An off-screen image of a control's size (premultiplied ARGB, transparent black when made).
struct SkinCanvas {
    QImage image;

    SkinCanvas() = default;
    SkinCanvas(int width, int height);
    bool IsValid() const { return !image.isNull(); }
    int Width() const { return image.width(); }
    int Height() const { return image.height(); }
};

// Text and colours handed to a skinned control.
struct SkinTextStyle {
    QString text;
    COLORREF normalColor = 0;
    COLORREF hoverColor = 0;
    COLORREF pressedColor = 0;
    int fontHeight = 0; // character cell height in pixels
    int alignment = 0;  // 0: left and top; 1: centred
};

// Loads PNG resource `id`; a null image (and a log line) when it is missing or undecodable.
// Pixels come as stored (non-premultiplied ARGB), so marker frames can be read.
QImage LoadPngResource(int id);

// Icon resource `id` with every size it is drawn in; an empty icon when it is missing.
QIcon LoadIconResource(int id);

// Draws image `id` unscaled at the canvas origin, blended over what is there.
void DrawPng(SkinCanvas &canvas, int id);

// Draws nine-patch image `id` scaled to the canvas, replacing its pixels. When `content` is
// given it receives the content rectangle in canvas coordinates. A missing image leaves the
// canvas and `content` untouched.
void DrawNinePatch(SkinCanvas &canvas, int id, QRect *content = nullptr);
void DrawNinePatchImage(SkinCanvas &canvas, const QImage &image, QRect *content = nullptr);

// The text in `color` with its glyph coverage as alpha (premultiplied), sized to the text;
// a null image for an empty text.
QImage CreateTextBitmap(const QFont &font, const QString &text, COLORREF color);

// The font the skin draws with: `face` whose character cell is `height` pixels high.
QFont CreateSkinFont(int height, int weight, const QString &face = QStringLiteral("Tahoma"));

// Makes the Tahoma faces known to Qt where the system does not have them (Linux: Wine's
// Tahoma-compatible fonts). Call once after the application object exists.
void LoadSkinFonts();

// The texts carry Windows line breaks; Qt breaks lines at "\n" alone.
QString ToQtLineBreaks(const QString &text);

// Copies the part of the parent's background canvas under `rect` (parent coordinates) into
// `out`, which is made the size of `rect`.
void CopyBackground(const SkinCanvas &parentBackground, const QRect &rect, SkinCanvas &out);
