#include "skin/skin_image.h"

#include "file/debug_log.h"
#include "platform/platform.h"

#include <QDir>
#include <QFile>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QImageReader>
#include <QPainter>

#include <algorithm>
#include <cstring>
#include <vector>

// The images are compiled into this static library; their initialiser must be called by name
// or the linker leaves it out.
static void InitSkinResources()
{
    static const bool done = [] {
        Q_INIT_RESOURCE(skin_images);
        return true;
    }();
    (void)done;
}

namespace {

bool IsMarker(QRgb p)
{
    return qRed(p) == 0 && qGreen(p) == 0 && qBlue(p) == 0;
}

bool IsWhite(QRgb p)
{
    return qRed(p) == 255 && qGreen(p) == 255 && qBlue(p) == 255;
}

// For one direction of a nine-patch pass: which source line each of `outLen` output lines
// copies. Before, between and after the stretch lines the source is copied in order; each
// stretch line is repeated (one marker: outLen - srcLen + 1 times; two: (outLen - srcLen + 2)
// / 2 times each). `repeats` gets each marker's count in order. More than two markers: no map at all.
bool StretchMap(int srcLen, int outLen, const std::vector<int> &stretch, std::vector<int> &map,
                std::vector<int> &repeats)
{
    map.clear();
    repeats.clear();
    if (stretch.size() > 2)
        return false;
    int repeat = 0;
    if (stretch.size() == 1)
        repeat = outLen - srcLen + 1;
    else if (stretch.size() == 2)
        repeat = (outLen - srcLen + 2) / 2;
    repeat = std::max(repeat, 0);
    repeats.assign(stretch.size(), 0);
    for (int s = 0; s < srcLen; ++s) {
        const auto it = std::find(stretch.begin(), stretch.end(), s);
        if (it != stretch.end()) {
            map.insert(map.end(), repeat, s);
            repeats[it - stretch.begin()] = repeat;
        } else {
            map.push_back(s);
        }
    }
    if (static_cast<int>(map.size()) > outLen)
        map.resize(outLen);
    return true;
}

// The extent of the marker run that starts at the first marker of `line` (first marker up to
// the pixel before the next pure white one), as inclusive indices; false without a marker.
bool ContentRun(const std::vector<QRgb> &line, int &first, int &last)
{
    const int n = static_cast<int>(line.size());
    first = 0;
    while (first < n && !IsMarker(line[first]))
        ++first;
    if (first == n)
        return false;
    last = first;
    while (last + 1 < n && !IsWhite(line[last + 1]))
        ++last;
    return true;
}

int ContentSize(int first, int last, const std::vector<int> &stretch,
                const std::vector<int> &repeats)
{
    int size = last - first + 1;
    for (size_t i = 0; i < repeats.size(); ++i) {
        // Stretch lines are counted without the frame; the content run with it.
        const int imagePos = stretch[i] + 1;
        if (imagePos >= first && imagePos <= last)
            size += repeats[i];
    }
    return size;
}

} // namespace

SkinCanvas::SkinCanvas(int width, int height)
    : image(std::max(width, 0), std::max(height, 0), QImage::Format_ARGB32_Premultiplied)
{
    image.fill(Qt::transparent);
}

QImage LoadPngResource(int id)
{
    InitSkinResources();
    const QString path = QStringLiteral(":/PNG/%1").arg(id);
    if (!QFile::exists(path)) {
        DebugLogF("PNG resource %d not found", id);
        return QImage();
    }
    QImageReader reader(path, "png");
    QImage img = reader.read();
    if (img.isNull()) {
        DebugLogF("PNG resource %d cannot be decoded: %s", id, qPrintable(reader.errorString()));
        return QImage();
    }
    return img.convertToFormat(QImage::Format_ARGB32);
}

QIcon LoadIconResource(int id)
{
    InitSkinResources();
    QIcon icon;
    const QString folder = QStringLiteral(":/ICON/%1").arg(id);
    for (const QString &size : QDir(folder).entryList(QDir::Files))
        icon.addFile(folder + QLatin1Char('/') + size);
    if (icon.isNull())
        DebugLogF("icon resource %d not found", id);
    return icon;
}

void DrawPng(SkinCanvas &canvas, int id)
{
    const QImage img = LoadPngResource(id);
    if (img.isNull() || !canvas.IsValid())
        return;
    QPainter p(&canvas.image);
    p.drawImage(0, 0, img);
}

void DrawNinePatch(SkinCanvas &canvas, int id, QRect *content)
{
    const QImage img = LoadPngResource(id);
    if (img.isNull())
        return;
    DrawNinePatchImage(canvas, img, content);
}

void DrawNinePatchImage(SkinCanvas &canvas, const QImage &image, QRect *content)
{
    const QImage src = image.convertToFormat(QImage::Format_ARGB32);
    const int W = src.width(), H = src.height();
    const int T = canvas.Width(), U = canvas.Height();
    if (W < 2 || H < 2 || T <= 0 || U <= 0)
        return;

    std::vector<int> stretchX, stretchY;
    for (int x = 0; x < W; ++x) {
        if (IsMarker(src.pixel(x, 0)))
            stretchX.push_back(x - 1);
    }
    for (int y = 0; y < H; ++y) {
        if (IsMarker(src.pixel(0, y)))
            stretchY.push_back(y - 1);
    }

    // The picture keeps its right and bottom marker lines; they land beyond T and U.
    const QImage picture =
        src.copy(1, 1, W - 1, H - 1).convertToFormat(QImage::Format_ARGB32_Premultiplied);

    std::vector<int> map, repeatX, repeatY;
    QImage wide(T + 1, H - 1, QImage::Format_ARGB32_Premultiplied);
    wide.fill(Qt::transparent);
    if (StretchMap(W - 1, T + 1, stretchX, map, repeatX)) {
        for (int y = 0; y < H - 1; ++y) {
            const QRgb *in = reinterpret_cast<const QRgb *>(picture.constScanLine(y));
            QRgb *out = reinterpret_cast<QRgb *>(wide.scanLine(y));
            for (size_t x = 0; x < map.size(); ++x)
                out[x] = in[map[x]];
        }
    }

    QImage full(T + 1, U + 1, QImage::Format_ARGB32_Premultiplied);
    full.fill(Qt::transparent);
    if (StretchMap(H - 1, U + 1, stretchY, map, repeatY)) {
        for (size_t y = 0; y < map.size(); ++y)
            std::memcpy(full.scanLine(static_cast<int>(y)), wide.constScanLine(map[y]),
                        (T + 1) * sizeof(QRgb));
    }

    if (canvas.image.format() != QImage::Format_ARGB32_Premultiplied)
        canvas.image = canvas.image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < U; ++y)
        std::memcpy(canvas.image.scanLine(y), full.constScanLine(y), T * sizeof(QRgb));

    if (!content)
        return;
    std::vector<QRgb> column(H), row(W);
    for (int y = 0; y < H; ++y)
        column[y] = src.pixel(W - 1, y);
    for (int x = 0; x < W; ++x)
        row[x] = src.pixel(x, H - 1);
    int top, bottom, left, right;
    if (!ContentRun(column, top, bottom) || !ContentRun(row, left, right)) {
        *content = QRect(0, 0, T, U);
        return;
    }
    *content = QRect(left, top, ContentSize(left, right, stretchX, repeatX),
                     ContentSize(top, bottom, stretchY, repeatY));
}

QImage CreateTextBitmap(const QFont &font, const QString &text, COLORREF color)
{
    const QString t = ToQtLineBreaks(text);
    if (t.isEmpty())
        return QImage();
    QFont f = font;
    // Coverage is read from one channel: glyphs must be grey, not subpixel-coloured.
    f.setStyleStrategy(QFont::StyleStrategy(f.styleStrategy() | QFont::NoSubpixelAntialias));
    // Lines follow each other by the character cell, as DrawText stacks them; Qt would add the
    // font's leading between them (Windows fonts have some).
    const QFontMetrics metrics(f);
    const QStringList lines = t.split(QLatin1Char('\n'));
    const QSize size(metrics.size(0, t).width(), metrics.height() * int(lines.size()));
    if (size.isEmpty())
        return QImage();

    QImage white(size, QImage::Format_RGB32);
    white.fill(Qt::black);
    {
        QPainter p(&white);
        p.setFont(f);
        p.setPen(Qt::white);
        for (int i = 0; i < lines.size(); ++i)
            p.drawText(QRect(0, i * metrics.height(), size.width(), metrics.height()),
                       Qt::AlignLeft | Qt::AlignTop, lines[i]);
    }

    const unsigned cr = color & 0xFF, cg = (color >> 8) & 0xFF, cb = (color >> 16) & 0xFF;
    QImage out(size, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < size.height(); ++y) {
        const QRgb *in = reinterpret_cast<const QRgb *>(white.constScanLine(y));
        QRgb *o = reinterpret_cast<QRgb *>(out.scanLine(y));
        for (int x = 0; x < size.width(); ++x) {
            const unsigned v = qBlue(in[x]);
            o[x] = qRgba(v * cr / 256, v * cg / 256, v * cb / 256, v);
        }
    }
    return out;
}

QFont CreateSkinFont(int height, int weight, const QString &face)
{
    QFont f(face);
    f.setWeight(QFont::Weight(weight));
    // Windows sizes a font with a positive height by its character cell (ascent + descent);
    // Qt's pixel size is the em, so shrink until the cell fits.
    int pixels = std::max(height, 1);
    f.setPixelSize(pixels);
    while (pixels > 1 && QFontMetrics(f).height() > height) {
        --pixels;
        f.setPixelSize(pixels);
    }
    return f;
}

void LoadSkinFonts()
{
    if (QFontDatabase::hasFamily(QStringLiteral("Tahoma")))
        return;
    for (const QString &path : platform::SkinFontFiles()) {
        if (QFontDatabase::addApplicationFont(path) < 0)
            DebugLogF("font %s not loaded", path.toUtf8().constData());
    }
}

QString ToQtLineBreaks(const QString &text)
{
    QString t = text;
    t.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return t;
}

void CopyBackground(const SkinCanvas &parentBackground, const QRect &rect, SkinCanvas &out)
{
    out = SkinCanvas(rect.width(), rect.height());
    QPainter p(&out.image);
    p.setCompositionMode(QPainter::CompositionMode_Source);
    p.drawImage(QPoint(0, 0), parentBackground.image, rect);
}
