#include "dialogs/motion_dlg.h"

#include "skin/rbutton.h"
#include "skin/rstatic_text.h"

#include <QFontMetrics>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

namespace {
const int kRowTop[3] = {136, 167, 198};
const int kFrontLeft[4] = {26, 75, 124, 173};
const int kRearLeft[4] = {241, 290, 339, 388};
constexpr int kCellWidth = 48;
constexpr int kCellHeight = 30;
constexpr int kCellOpacity = 150;
} // namespace

QString WrapToWidth(const QFont &font, const QString &text, int width)
{
    const QFontMetrics fm(font);
    QStringList lines;
    QString line;
    for (const QString &word : text.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        const QString longer = line.isEmpty() ? word : line + QLatin1Char(' ') + word;
        if (!line.isEmpty() && fm.horizontalAdvance(longer) > width) {
            lines << line;
            line = word;
        } else {
            line = longer;
        }
    }
    if (!line.isEmpty())
        lines << line;
    return lines.join(QLatin1Char('\n'));
}

CMotionDlg::CMotionDlg(const DialogProfile &profile, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint), m_profile(profile)
{
    for (int i = 0; i < kCells; ++i)
        front[i] = rear[i] = 1;
    for (int i = 0; i < kCells; ++i)
        m_frontBackup[i] = m_rearBackup[i] = 1;
    setAttribute(Qt::WA_OpaquePaintEvent);
}

QRect CMotionDlg::FrontCell(int index)
{
    return QRect(kFrontLeft[index % 4], kRowTop[index / 4], kCellWidth, kCellHeight);
}

QRect CMotionDlg::RearCell(int index)
{
    return QRect(kRearLeft[index % 4], kRowTop[index / 4], kCellWidth, kCellHeight);
}

void CMotionDlg::Unpack(int32_t mask, int cells[kCells])
{
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 4; ++c)
            cells[r * 4 + c] = (mask >> ((8 - 4 * r) + c)) & 1;
}

int32_t CMotionDlg::Pack(const int cells[kCells])
{
    int32_t rows[3] = {0, 0, 0};
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 4; ++c)
            if (cells[r * 4 + c])
                rows[r] += 1 << c;
    return rows[0] * 256 + rows[1] * 16 + rows[2];
}

int CMotionDlg::exec()
{
    Build();
    return QDialog::exec();
}

void CMotionDlg::Build()
{
    // Every showing builds its windows and images afresh and releases them at its end.
    const QString title = ModelText(m_profile.model, 164);
    resize(464, 309);
    setFixedSize(464, 309);
    setWindowTitle(title);
    const QRect client = rect();

    const QFont titleFont = CreateSkinFont(14, 700);
    const QFont bodyFont = CreateSkinFont(13, 400);

    m_background = SkinCanvas(client.width(), client.height());
    DrawNinePatch(m_background, 164);
    {
        QPainter p(&m_background.image);
        p.fillRect(QRect(QPoint(10, 95), QPoint(453, 244)), Qt::white);
        p.drawImage(25, 135, LoadPngResource(168));
        p.drawImage(240, 135, LoadPngResource(171));
    }
    m_selectedCell = SkinCanvas(kCellWidth, kCellHeight);
    DrawPng(m_selectedCell, 170);
    m_clearCell = SkinCanvas(kCellWidth, kCellHeight);
    DrawPng(m_clearCell, 169);

    SkinTextStyle label{ModelText(m_profile.model, 164), 0xE9DFD6, 0xFFFFFF, 0xFFFFFF, 14, 0};
    auto addText = [&](int id, const QRect &r, int number, const QFont &font, COLORREF color) {
        auto *t = new CRStaticText(r, this, id);
        SkinTextStyle s = label;
        s.text = ModelText(m_profile.model, number);
        s.normalColor = color;
        t->SetText(&s, font, &m_background);
        m_windows.append(t);
    };
    addText(kIdTitle, QRect(QPoint(11, 7), QPoint(210, 26)), 164, titleFont, 0xE9DFD6);
    {
        // The instruction is one line in the template; where the font makes it longer than the
        // window it is broken at blanks onto the lines below, above the white picture area.
        const QString text = WrapToWidth(bodyFont, ModelText(m_profile.model, 165), 444);
        const int lines = int(text.count(QLatin1Char('\n'))) + 1;
        const int height = lines == 1 ? 12 : lines * QFontMetrics(bodyFont).height();
        auto *t = new CRStaticText(QRect(11, 55, 444, height), this, kIdInstruction);
        SkinTextStyle s = label;
        s.text = text;
        t->SetText(&s, bodyFont, &m_background);
        m_windows.append(t);
    }
    addText(kIdFrontLabel, QRect(QPoint(25, 105), QPoint(124, 124)), 110, bodyFont, 0x423D39);
    addText(kIdRearLabel, QRect(QPoint(240, 105), QPoint(339, 124)), 111, bodyFont, 0x423D39);

    auto *close = new CRButton(QRect(client.right() + 1 - 46, 1, 30, 26), this, kIdClose);
    close->SetImages(165, 166, 167, &m_background);
    SkinTextStyle button{QString(), 0xC8BBB0, 0xFFFFFF, 0xFFFFFF, 14, 1};
    button.text = ModelText(m_profile.model, 107);
    auto *cancel = new CRButton(QRect(252, 268, 100, 29), this, kIdCancel);
    cancel->SetNinePatchImages(&button, 161, 162, 163, &m_background);
    button.text = ModelText(m_profile.model, 167);
    auto *confirm = new CRButton(QRect(356, 268, 100, 29), this, kIdConfirm);
    confirm->SetNinePatchImages(&button, 161, 162, 163, &m_background);
    m_windows << close << cancel << confirm;
    for (QWidget *w : m_windows)
        w->show();

    for (int i = 0; i < kCells; ++i) {
        m_frontBackup[i] = front[i];
        m_rearBackup[i] = rear[i];
    }
    m_rebuild = true;
    m_readyToPaint = true;
}

void CMotionDlg::DrawCell(const QRect &rect, bool selected)
{
    QPainter p(&m_paint.image);
    p.setCompositionMode(QPainter::CompositionMode_Source);
    p.drawImage(rect.topLeft(), m_background.image, rect);
    p.setCompositionMode(QPainter::CompositionMode_SourceOver);
    p.setOpacity(kCellOpacity / 255.0);
    p.drawImage(rect.topLeft(), (selected ? m_selectedCell : m_clearCell).image);
}

void CMotionDlg::paintEvent(QPaintEvent *)
{
    if (!m_readyToPaint)
        return;
    if (m_rebuild || !m_paint.IsValid()) {
        m_paint = SkinCanvas(m_background.Width(), m_background.Height());
        {
            QPainter p(&m_paint.image);
            p.setCompositionMode(QPainter::CompositionMode_Source);
            p.drawImage(0, 0, m_background.image);
        }
        for (int i = 0; i < kCells; ++i) {
            DrawCell(FrontCell(i), front[i] != 0);
            DrawCell(RearCell(i), rear[i] != 0);
        }
        m_rebuild = false;
    }
    QPainter p(this);
    p.drawImage(0, 0, m_paint.image);
}

void CMotionDlg::mousePressEvent(QMouseEvent *e)
{
    if (e->button() == Qt::LeftButton && m_readyToPaint) {
        const QPoint pt = e->position().toPoint();
        for (int i = 0; i < kCells; ++i) {
            if (FrontCell(i).contains(pt)) {
                front[i] = !front[i];
                if (m_paint.IsValid())
                    DrawCell(FrontCell(i), front[i] != 0);
                update(FrontCell(i));
            }
            if (RearCell(i).contains(pt)) {
                rear[i] = !rear[i];
                if (m_paint.IsValid())
                    DrawCell(RearCell(i), rear[i] != 0);
                update(RearCell(i));
            }
        }
    }
    QDialog::mousePressEvent(e);
}

void CMotionDlg::keyPressEvent(QKeyEvent *e)
{
    // Escape ends the dialog as Cancel does, restoring the cells.
    if (e->key() == Qt::Key_Escape) {
        Release(kResultCancel);
        return;
    }
    QDialog::keyPressEvent(e);
}

void CMotionDlg::Release(int result)
{
    if (result != kResultConfirm) {
        for (int i = 0; i < kCells; ++i) {
            front[i] = m_frontBackup[i];
            rear[i] = m_rearBackup[i];
        }
    }
    for (QWidget *w : m_windows)
        w->deleteLater();
    m_windows.clear();
    m_background = SkinCanvas();
    m_selectedCell = SkinCanvas();
    m_clearCell = SkinCanvas();
    m_paint = SkinCanvas();
    m_readyToPaint = false;
    m_rebuild = true;
    done(result);
}

bool CMotionDlg::event(QEvent *e)
{
    if (e->type() == CCommandEvent::EventType()) {
        const int id = static_cast<CCommandEvent *>(e)->Id();
        if (id == kIdClose || id == kIdCancel)
            Release(kResultCancel);
        if (id == kIdConfirm)
            Release(kResultConfirm);
        return true;
    }
    if (e->type() == QEvent::Close && m_readyToPaint) {
        // Closing the window is the close button.
        e->ignore();
        Release(kResultCancel);
        return true;
    }
    return QDialog::event(e);
}
