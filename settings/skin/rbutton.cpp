#include "skin/rbutton.h"

#include "skin/control_id.h"

#include <QCoreApplication>
#include <QMouseEvent>
#include <QPainter>

QEvent::Type CCommandEvent::EventType()
{
    static const QEvent::Type type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

CRButton::CRButton(const QRect &rect, QWidget *parent, int id) : QWidget(parent), m_nId(id)
{
    SetControlId(this, id);
    setGeometry(rect);
    setMouseTracking(true);
    show();
}

void CRButton::TakeBackground(const SkinCanvas *background)
{
    if (!background || !background->IsValid())
        return;
    CopyBackground(*background, geometry(), m_bgCanvas);
    m_bBgFilled = true;
}

void CRButton::SetStyle(const SkinTextStyle *style)
{
    if (!style)
        return;
    m_strText = ToQtLineBreaks(style->text);
    m_normalColor = style->normalColor;
    m_hoverColor = style->hoverColor;
    m_pressedColor = style->pressedColor;
    m_nFontHeight = style->fontHeight;
    m_nAlignment = style->alignment;
    m_font = CreateSkinFont(m_nFontHeight, 700);
    m_bHasText = true;
}

void CRButton::SetNinePatchImages(const SkinTextStyle *style, int normalId, int hoverId,
                                  int pressedId, const SkinCanvas *background)
{
    TakeBackground(background);
    SetStyle(style);
    m_normal = SkinCanvas(width(), height());
    m_hover = SkinCanvas(width(), height());
    m_pressed = SkinCanvas(width(), height());
    DrawNinePatch(m_normal, normalId, m_bHasText ? &m_rcContent : nullptr);
    DrawNinePatch(m_hover, hoverId);
    DrawNinePatch(m_pressed, pressedId);
    m_bRedraw = true;
    update();
}

void CRButton::SetImages(int normalId, int hoverId, int pressedId, const SkinCanvas *background)
{
    TakeBackground(background);
    m_normal = SkinCanvas(width(), height());
    m_hover = SkinCanvas(width(), height());
    m_pressed = SkinCanvas(width(), height());
    DrawPng(m_normal, normalId);
    DrawPng(m_hover, hoverId);
    DrawPng(m_pressed, pressedId);
    m_bRedraw = true;
    update();
}

void CRButton::SetSelectedImage(int id)
{
    m_selected = SkinCanvas(width(), height());
    DrawNinePatch(m_selected, id);
    m_bHasSelected = true;
    m_bRedraw = true;
    update();
}

void CRButton::SetState(int state)
{
    ChangeState(state);
}

void CRButton::SetSticky(bool sticky)
{
    m_bSticky = sticky;
    m_bRedraw = true;
    update();
}

void CRButton::ChangeState(int state)
{
    m_nState = state;
    m_bRedraw = true;
    // Shown at once, not at the next paint the system gets round to.
    if (isVisible())
        repaint();
}

const SkinCanvas &CRButton::StateCanvas() const
{
    switch (m_nState) {
    case kHover:
        return m_hover;
    case kPressed:
        return m_pressed;
    case kSelected:
        return m_selected;
    default:
        return m_normal;
    }
}

QRect CRButton::TextRect() const
{
    QRect r = m_rcContent;
    if (m_nAlignment == 1)
        r.setTop(r.top() + (r.y() + r.height() - m_nFontHeight - r.top()) / 2);
    return r;
}

void CRButton::paintEvent(QPaintEvent *)
{
    if (m_bRedraw) {
        m_composite = QImage();
        m_bRedraw = false;
    }
    if (m_composite.isNull()) {
        m_composite = QImage(size(), QImage::Format_ARGB32_Premultiplied);
        m_composite.fill(Qt::transparent);
        QPainter c(&m_composite);
        if (m_bBgFilled)
            c.drawImage(0, 0, m_bgCanvas.image);
        const SkinCanvas &state = StateCanvas();
        if (state.IsValid())
            c.drawImage(0, 0, state.image);
    }
    QPainter p(this);
    p.drawImage(0, 0, m_composite);
    if (!m_bHasText)
        return;
    COLORREF color = m_normalColor;
    if (m_nState == kHover)
        color = m_hoverColor;
    else if (m_nState == kPressed || m_nState == kSelected)
        color = m_pressedColor;
    p.setPen(ColorFromRef(color));
    p.setFont(m_font);
    const int flags =
        m_nAlignment == 1 ? (Qt::AlignHCenter | Qt::AlignTop) : (Qt::AlignLeft | Qt::AlignTop);
    p.drawText(TextRect(), flags, m_strText);
}

void CRButton::mouseMoveEvent(QMouseEvent *e)
{
    // Qt reports leaving without being asked to track it, so a selected button has nothing
    // to do here; hover and pressed stay as they are.
    if (m_nState == kNormal)
        ChangeState(kHover);
    e->accept();
}

void CRButton::leaveEvent(QEvent *)
{
    if (!m_bSticky)
        ChangeState(kNormal);
}

void CRButton::mousePressEvent(QMouseEvent *e)
{
    if (e->button() != Qt::LeftButton) {
        e->ignore();
        return;
    }
    ChangeState(kPressed);
}

void CRButton::mouseReleaseEvent(QMouseEvent *e)
{
    if (e->button() != Qt::LeftButton) {
        e->ignore();
        return;
    }
    // Released away from the button is no click (the button only sees a release over it);
    // the pending leave then returns it to normal.
    if (!rect().contains(e->position().toPoint())) {
        if (!m_bSticky)
            ChangeState(kNormal);
        return;
    }
    if (parentWidget())
        QCoreApplication::postEvent(parentWidget(), new CCommandEvent(m_nId));
    if (!m_bHasSelected || !m_bSticky)
        ChangeState(kHover);
}
