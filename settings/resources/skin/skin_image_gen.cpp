// Draws every skin image of the settings tool as a PNG named by its resource number, the
// program's icon (resource 128) at each of its sizes, and the Qt resource file that compiles them
// in under "/PNG/<number>" and "/ICON/128/<size>"; the icon also as icon128.ico for the Windows
// programs' own resources. All colours and shapes of the skin are here, so the look is changed
// in this one place.
//
//   q7_skin_image_gen OUTPUT_DIR
//
// Nine-patch images carry a one-pixel marker frame: opaque black in the top row marks stretch
// columns, in the left column stretch rows, in the right column and bottom row the content
// area; every other frame pixel is transparent white.

#include <QColor>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

// The palette: a dark blue-grey title area over a light body, one blue accent.
const QColor kHeaderTop(0x2A, 0x2F, 0x37);
const QColor kHeader(0x32, 0x39, 0x43);
const QColor kHeaderLine(0x46, 0x4F, 0x5C);
const QColor kBody(0xE6, 0xEA, 0xEE);
const QColor kBorder(0x1C, 0x20, 0x26);
const QColor kGlyph(0xB0, 0xBB, 0xC8);
const QColor kAccent(0x2F, 0x6D, 0xA3);
const QColor kAccentLight(0x44, 0x86, 0xC2);
const QColor kCloseHover(0xC4, 0x45, 0x36);

// Raised controls (tabs and push buttons): top and bottom colour of the fill per state.
struct Shade {
    QColor top, bottom, edge;
};
const Shade kNormal{QColor(0x3E, 0x46, 0x52), QColor(0x33, 0x3A, 0x44), QColor(0x24, 0x29, 0x30)};
const Shade kHover{QColor(0x4C, 0x57, 0x66), QColor(0x3F, 0x48, 0x55), QColor(0x24, 0x29, 0x30)};
const Shade kPressed{QColor(0x23, 0x28, 0x2F), QColor(0x2A, 0x30, 0x38), QColor(0x18, 0x1B, 0x20)};
const Shade kSelected{kAccentLight, kAccent, QColor(0x1F, 0x4C, 0x74)};

const QRgb kMarker = qRgba(0, 0, 0, 255);
const QRgb kNoMarker = qRgba(255, 255, 255, 0);

struct Image {
    int id;
    QImage image;
};

// Inclusive ranges in image coordinates (the frame included).
struct Frame {
    std::vector<int> stretchX, stretchY;
    int contentX0, contentX1, contentY0, contentY1;
};

QImage Blank(int w, int h)
{
    QImage img(w, h, QImage::Format_ARGB32);
    img.fill(Qt::transparent);
    return img;
}

// Writes the marker frame over the outermost pixels (non-premultiplied, so unmarked pixels
// stay white in red, green and blue).
void PutFrame(QImage &img, const Frame &f)
{
    const int w = img.width(), h = img.height();
    for (int x = 0; x < w; ++x) {
        img.setPixel(x, 0, kNoMarker);
        img.setPixel(x, h - 1, kNoMarker);
    }
    for (int y = 0; y < h; ++y) {
        img.setPixel(0, y, kNoMarker);
        img.setPixel(w - 1, y, kNoMarker);
    }
    for (int x : f.stretchX)
        img.setPixel(x, 0, kMarker);
    for (int y : f.stretchY)
        img.setPixel(0, y, kMarker);
    for (int x = f.contentX0; x <= f.contentX1; ++x)
        img.setPixel(x, h - 1, kMarker);
    for (int y = f.contentY0; y <= f.contentY1; ++y)
        img.setPixel(w - 1, y, kMarker);
}

// The drawable inside of a nine-patch image: everything but the frame.
QRectF Inside(const QImage &img)
{
    return QRectF(1, 1, img.width() - 2, img.height() - 2);
}

QLinearGradient Vertical(const QRectF &r, const QColor &top, const QColor &bottom)
{
    QLinearGradient g(r.topLeft(), r.bottomLeft());
    g.setColorAt(0, top);
    g.setColorAt(1, bottom);
    return g;
}

// Tab buttons form one strip: the first is rounded at the top left, the last at the top
// right, and each but the last ends in a separator line.
enum TabPlace { kFirst, kMiddle, kLast };

QImage Tab(TabPlace place, const Shade &s)
{
    QImage img = Blank(14, 39);
    {
        QPainter p(&img);
        const QRectF in = Inside(img); // 12 x 37
        p.setRenderHint(QPainter::Antialiasing, true);
        QPainterPath path;
        const qreal r = 4;
        const qreal l = in.left(), t = in.top(), rt = in.right(), b = in.bottom();
        path.moveTo(l, b);
        if (place == kFirst) {
            path.lineTo(l, t + r);
            path.quadTo(l, t, l + r, t);
        } else {
            path.lineTo(l, t);
        }
        if (place == kLast) {
            path.lineTo(rt - r, t);
            path.quadTo(rt, t, rt, t + r);
        } else {
            path.lineTo(rt, t);
        }
        path.lineTo(rt, b);
        path.closeSubpath();
        p.fillPath(path, Vertical(in, s.top, s.bottom));
        p.setRenderHint(QPainter::Antialiasing, false);
        // A light line along the top edge, and a separator at the right.
        p.setPen(s.top.lighter(118));
        p.drawLine(QPointF(l + (place == kFirst ? r : 0), t),
                   QPointF(rt - 1 - (place == kLast ? r : 0), t));
        if (place != kLast) {
            p.setPen(s.edge);
            p.drawLine(QPointF(rt - 1, t + 1), QPointF(rt - 1, b - 1));
        }
    }
    // Stretch column x = 6, stretch row y = 19; text anywhere inside.
    PutFrame(img, Frame{{6}, {19}, 1, 10, 1, 35});
    return img;
}

// Text push buttons: a rounded, bordered bar.
QImage PushButton(const Shade &s)
{
    QImage img = Blank(15, 31);
    {
        QPainter p(&img);
        p.setRenderHint(QPainter::Antialiasing, true);
        const QRectF in = Inside(img).adjusted(0.5, 0.5, -0.5, -0.5);
        p.setPen(QPen(s.edge, 1));
        p.setBrush(Vertical(in, s.top, s.bottom));
        p.drawRoundedRect(in, 3, 3);
    }
    // Stretch column x = 7, stretch row y = 15; content x = 7, y = 3 ... 27.
    PutFrame(img, Frame{{7}, {15}, 7, 7, 3, 27});
    return img;
}

// Window backgrounds: a dark header of `headerRows` picture rows over the light body, framed
// by a one-pixel border; `titleRows` rows at the top form the title bar.
QImage Background(int w, int h, int titleRows, int headerRows, int stretchY)
{
    QImage img = Blank(w, h);
    {
        QPainter p(&img);
        const QRectF in = Inside(img);
        p.fillRect(in, kBody);
        const QRectF title(in.left(), in.top(), in.width(), titleRows);
        p.fillRect(title, Vertical(title, kHeaderTop, kHeader));
        p.fillRect(QRectF(in.left(), in.top() + titleRows, in.width(), headerRows - titleRows),
                   kHeader);
        p.fillRect(QRectF(in.left(), in.top() + titleRows, in.width(), 1), kHeaderLine);
        p.fillRect(QRectF(in.left(), in.top() + headerRows - 1, in.width(), 1), kBorder);
        p.setPen(kBorder);
        p.drawRect(in.adjusted(0, 0, -1, -1));
    }
    PutFrame(img, Frame{{w / 2}, {stretchY}, 1, w - 2, 1, h - 2});
    return img;
}

// Title bar buttons: a glyph on a transparent ground that lights up under the mouse.
enum Glyph { kMinimise, kClose };

QImage TitleButton(int w, int h, Glyph glyph, int state)
{
    QImage img = Blank(w, h);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing, true);
    if (state == 1)
        p.fillRect(img.rect(), glyph == kClose ? kCloseHover : kHover.top);
    else if (state == 2)
        p.fillRect(img.rect(), glyph == kClose ? kCloseHover.darker(130) : kAccent);
    p.setPen(QPen(state == 0 ? kGlyph : QColor(Qt::white), 1.6, Qt::SolidLine, Qt::RoundCap));
    const QPointF c(w / 2.0, h / 2.0);
    if (glyph == kMinimise) {
        p.drawLine(QPointF(c.x() - 5, c.y() + 4), QPointF(c.x() + 5, c.y() + 4));
    } else {
        p.drawLine(QPointF(c.x() - 4.5, c.y() - 4.5), QPointF(c.x() + 4.5, c.y() + 4.5));
        p.drawLine(QPointF(c.x() - 4.5, c.y() + 4.5), QPointF(c.x() + 4.5, c.y() - 4.5));
    }
    return img;
}

// Camera pictures behind the motion grid (4 x 3 cells of 48 x 30 with one-pixel lines): a
// road running to the horizon; the sky is left transparent so the white ground shows.
QImage CameraPicture(bool rear)
{
    const int w = 197, h = 94;
    QImage img = Blank(w, h);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing, true);
    const qreal horizon = 40;
    p.fillRect(QRectF(0, horizon, w, h - horizon), QColor(0x9C, 0xA8, 0x8E));
    QPolygonF road;
    road << QPointF(w / 2.0 - 6, horizon) << QPointF(w / 2.0 + 6, horizon) << QPointF(w - 10, h)
         << QPointF(10, h);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x6B, 0x70, 0x78));
    p.drawPolygon(road);
    p.setPen(QPen(QColor(0xF2, 0xF2, 0xF2), 1.5, Qt::DashLine));
    p.drawLine(QPointF(w / 2.0, horizon + 2), QPointF(w / 2.0, h));
    // A car ahead on the road; seen from the rear camera it is a following car with lights.
    const QRectF car(w / 2.0 - 16, horizon + 8, 32, 16);
    p.setPen(Qt::NoPen);
    p.setBrush(rear ? QColor(0x3C, 0x4C, 0x66) : QColor(0xA0, 0x3A, 0x32));
    p.drawRoundedRect(car, 4, 4);
    p.setBrush(rear ? QColor(0xFF, 0xF2, 0xB0) : QColor(0xFF, 0x5A, 0x40));
    p.drawEllipse(QRectF(car.left() + 3, car.top() + 9, 5, 4));
    p.drawEllipse(QRectF(car.right() - 8, car.top() + 9, 5, 4));
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(QColor(0x8A, 0x93, 0x9E));
    p.setBrush(Qt::NoBrush);
    for (int x = 0; x < w; x += 49)
        p.drawLine(x, 0, x, h - 1);
    for (int y = 0; y < h; y += 31)
        p.drawLine(0, y, w - 1, y);
    return img;
}

QImage Plain(int w, int h, const QColor &c)
{
    QImage img(w, h, QImage::Format_ARGB32);
    img.fill(c);
    return img;
}

// Security LED patterns: a row of seven LEDs; mode 0 lights the outer two, mode 1 every
// second one (blinking), mode 2 colours them by recording mode.
QImage LedPattern(int mode)
{
    QImage img = Blank(231, 16);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing, true);
    const QColor off(0xB8, 0xC0, 0xC8);
    const QColor colours[3] = {QColor(0x3C, 0xB3, 0x71), QColor(0xE0, 0x4B, 0x3A), kAccentLight};
    for (int i = 0; i < 7; ++i) {
        QColor c = off;
        if (mode == 0 && (i == 0 || i == 6))
            c = kAccentLight;
        else if (mode == 1 && i % 2 == 0)
            c = kAccentLight;
        else if (mode == 2)
            c = colours[i % 3];
        const QRectF led(6 + i * 33.0, 2, 12, 12);
        p.setPen(QPen(c.darker(140), 1));
        p.setBrush(c);
        p.drawEllipse(led);
    }
    return img;
}

// Bars of the memory partition diagram: three columns (edge, stretched fill, edge).
QImage Bar(const QColor &c)
{
    QImage img = Blank(5, 17);
    {
        QPainter p(&img);
        p.fillRect(QRect(1, 1, 3, 15), c);
        p.fillRect(QRect(1, 1, 3, 1), c.lighter(125));
        p.fillRect(QRect(1, 1, 1, 15), c.darker(125));
        p.fillRect(QRect(3, 1, 1, 15), c.darker(125));
    }
    PutFrame(img, Frame{{2}, {8}, 1, 3, 1, 15});
    return img;
}

// The program's icon (resource 128) at one size, made of the skin: the camera picture of the
// motion area dialog in a frame of the title bar's colours, with the recording light of the
// security LED pictures.
QImage Icon(int size)
{
    QImage img = Blank(size, size);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setRenderHint(QPainter::SmoothPixmapTransform, true);
    const qreal edge = size / 16.0;
    const QRectF frame(edge / 2, edge / 2, size - edge, size - edge);
    const qreal radius = size / 6.0;
    p.setPen(QPen(kBorder, edge));
    p.setBrush(Vertical(frame, kHeaderTop, kHeader));
    p.drawRoundedRect(frame, radius, radius);
    // The picture fills the lower part of the frame, clipped to its rounded corners.
    const QRectF picture(edge * 1.5, size * 0.34, size - edge * 3, size * 0.66 - edge * 1.5);
    QPainterPath clip;
    clip.addRoundedRect(picture, radius / 2, radius / 2);
    p.save();
    p.setClipPath(clip);
    p.fillRect(picture, kBody);
    const QImage camera = CameraPicture(false);
    const QRectF source(0, 22, camera.width(), camera.height() - 22);
    p.drawImage(picture, camera, source);
    p.restore();
    const qreal dot = std::max<qreal>(size * 0.2, 3);
    const QRectF light(size - edge * 2 - dot, edge * 2, dot, dot);
    p.setPen(QPen(QColor(0xE0, 0x4B, 0x3A).darker(140), std::max<qreal>(edge / 2, 0.5)));
    p.setBrush(QColor(0xE0, 0x4B, 0x3A));
    p.drawEllipse(light);
    return img;
}

// The icon's sizes: the window manager's and the taskbar's, and the large one of a Windows icon.
const int kIconSizes[] = {16, 24, 32, 48, 64, 128, 256};

std::vector<Image> AllImages()
{
    std::vector<Image> v;
    const Shade *tabShades[4] = {&kNormal, &kHover, &kPressed, &kSelected};
    const TabPlace places[3] = {kFirst, kMiddle, kLast};
    for (int t = 0; t < 3; ++t)
        for (int s = 0; s < 4; ++s)
            v.push_back({143 + t * 4 + s, Tab(places[t], *tabShades[s])});
    for (int s = 0; s < 3; ++s) {
        v.push_back({155 + s, TitleButton(29, 26, kMinimise, s)});
        v.push_back({158 + s, TitleButton(29, 26, kClose, s)});
        v.push_back({165 + s, TitleButton(30, 26, kClose, s)});
    }
    v.push_back({161, PushButton(kNormal)});
    v.push_back({162, PushButton(kHover)});
    v.push_back({163, PushButton(kSelected)});
    v.push_back({164, Background(29, 148, 33, 90, 120)});
    v.push_back({168, CameraPicture(false)});
    v.push_back({171, CameraPicture(true)});
    v.push_back({169, Plain(48, 30, QColor(0xE3, 0xE3, 0xE3))});
    v.push_back({170, Plain(48, 30, QColor(0x58, 0xBA, 0xFF))});
    for (int m = 0; m < 3; ++m)
        v.push_back({172 + m, LedPattern(m)});
    const QColor bars[5] = {QColor(0x4C, 0xAF, 0x50), QColor(0xF2, 0xC9, 0x4C),
                            QColor(0xF2, 0x99, 0x4A), QColor(0xEB, 0x57, 0x57),
                            QColor(0x2F, 0x80, 0xED)};
    for (int b = 0; b < 5; ++b)
        v.push_back({175 + b, Bar(bars[b])});
    // The main dialog: title bar over the tab strip (the header ends where the tab area
    // starts, 85 rows down), the body stretched below it.
    v.push_back({501, Background(29, 101, 40, 85, 87)});
    return v;
}

// An .ico file of PNG images (as Windows reads them since Vista): the directory, one 16-byte
// entry per image (width and height 0 for 256), then the images.
QByteArray IconFile(const std::vector<QByteArray> &pngs, const int *sizes)
{
    QByteArray out;
    auto u16 = [&out](uint32_t v) { out.append(char(v & 0xFF)).append(char(v >> 8 & 0xFF)); };
    auto u32 = [&](uint32_t v) {
        u16(v & 0xFFFF);
        u16(v >> 16);
    };
    u16(0);
    u16(1); // icon
    u16(uint32_t(pngs.size()));
    uint32_t offset = 6 + 16 * uint32_t(pngs.size());
    for (size_t i = 0; i < pngs.size(); ++i) {
        out.append(char(sizes[i] >= 256 ? 0 : sizes[i]));
        out.append(char(sizes[i] >= 256 ? 0 : sizes[i]));
        out.append(char(0)); // no palette
        out.append(char(0));
        u16(1);  // planes
        u16(32); // bits per pixel
        u32(uint32_t(pngs[i].size()));
        u32(offset);
        offset += uint32_t(pngs[i].size());
    }
    for (const QByteArray &png : pngs)
        out.append(png);
    return out;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_DIR\n", argv[0]);
        return 2;
    }
    const QString dir = QString::fromLocal8Bit(argv[1]);
    if (!QDir().mkpath(dir)) {
        std::fprintf(stderr, "cannot create %s\n", argv[1]);
        return 1;
    }
    QString qrc = "<RCC>\n  <qresource prefix=\"/PNG\">\n";
    for (const Image &img : AllImages()) {
        const QString name = QString::number(img.id) + ".png";
        if (!img.image.save(dir + "/" + name, "PNG")) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(name));
            return 1;
        }
        qrc += QString("    <file alias=\"%1\">%2</file>\n").arg(img.id).arg(name);
    }
    qrc += "  </qresource>\n  <qresource prefix=\"/ICON\">\n";
    std::vector<QByteArray> icons;
    for (int size : kIconSizes) {
        const QString name = QString("icon128_%1.png").arg(size);
        if (!Icon(size).save(dir + "/" + name, "PNG")) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(name));
            return 1;
        }
        QFile png(dir + "/" + name);
        if (!png.open(QIODevice::ReadOnly))
            return 1;
        icons.push_back(png.readAll());
        qrc += QString("    <file alias=\"128/%1\">%2</file>\n").arg(size).arg(name);
    }
    // The same sizes as the Windows icon file of resource 128, which the Windows build compiles
    // into its programs.
    QFile ico(dir + "/icon128.ico");
    if (!ico.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        ico.write(IconFile(icons, kIconSizes)) < 0) {
        std::fprintf(stderr, "cannot write icon128.ico\n");
        return 1;
    }
    qrc += "  </qresource>\n</RCC>\n";
    QFile f(dir + "/skin_images.qrc");
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(qrc.toUtf8()) < 0) {
        std::fprintf(stderr, "cannot write skin_images.qrc\n");
        return 1;
    }
    return 0;
}
