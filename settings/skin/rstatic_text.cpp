#include "skin/rstatic_text.h"

#include "skin/control_id.h"

#include <QPainter>

#include <algorithm>

CRStaticText::CRStaticText(const QRect &rect, QWidget *parent, int id) : QWidget(parent)
{
    SetControlId(this, id);
    setGeometry(rect);
    // The parent gets the label's mouse events (in its own coordinates), e.g. to drag the window.
    setAttribute(Qt::WA_TransparentForMouseEvents);
    show();
}

void CRStaticText::SetText(const SkinTextStyle *style, const QFont &font,
                           const SkinCanvas *background)
{
    if (background && background->IsValid()) {
        CopyBackground(*background, geometry(), m_bgCanvas);
        m_bBgFilled = true;
    }
    if (style) {
        m_strText = style->text;
        m_color = style->normalColor;
        m_nAlignment = style->alignment;
    }
    m_font = font;
    m_bRedraw = true;
    update();
}

QPoint CRStaticText::TextOrigin(const QSize &textSize) const
{
    const int freeW = width() - textSize.width();
    const int freeH = height() - textSize.height();
    const int x = m_nAlignment == 1 ? std::max(0, (freeW + 1) / 2) : 0;
    const int y = freeH < 0 ? 0 : freeH / 2;
    return QPoint(x, y);
}

void CRStaticText::resizeEvent(QResizeEvent *)
{
    m_bRedraw = true;
}

void CRStaticText::paintEvent(QPaintEvent *)
{
    if (m_bRedraw || m_cached.isNull()) {
        SkinCanvas canvas(width(), height());
        QPainter c(&canvas.image);
        if (m_bBgFilled)
            c.drawImage(0, 0, m_bgCanvas.image);
        const QImage text = CreateTextBitmap(m_font, m_strText, m_color);
        if (!text.isNull())
            c.drawImage(TextOrigin(text.size()), text);
        c.end();
        m_cached = canvas.image;
        m_bRedraw = false;
    }
    QPainter p(this);
    p.drawImage(0, 0, m_cached);
}
