#pragma once

// CRButton: an image button with normal, hover, pressed and selected states. Each state is a
// canvas prepared at set-up; the composite of the background and the current state is cached,
// so hovering and clicking only blend two prepared images.

#include "skin/skin_image.h"

#include <QEvent>
#include <QFont>
#include <QImage>
#include <QRect>
#include <QWidget>

// What a button posts to its parent on button-up, as WM_COMMAND did: the control id and the
// notification code (0). The parent receives it in its event() after the click has finished.
class CCommandEvent : public QEvent
{
public:
    static QEvent::Type EventType();
    CCommandEvent(int id, int code = 0) : QEvent(EventType()), m_id(id), m_code(code) {}
    int Id() const { return m_id; }
    int Code() const { return m_code; }

private:
    int m_id;
    int m_code;
};

class CRButton : public QWidget
{
    Q_OBJECT
public:
    enum State { kNormal = 0, kHover = 1, kPressed = 2, kSelected = 3 };

    // A visible child of `parent` at `rect` (parent coordinates) with control id `id`.
    CRButton(const QRect &rect, QWidget *parent, int id);

    void SetNinePatchImages(const SkinTextStyle *style, int normalId, int hoverId, int pressedId,
                            const SkinCanvas *background);
    void SetImages(int normalId, int hoverId, int pressedId, const SkinCanvas *background);
    void SetSelectedImage(int id);

    // Set by the owner (tab buttons: the current tab is selected and sticky); each repaints.
    void SetState(int state);
    void SetSticky(bool sticky);
    int State() const { return m_nState; }
    bool IsSticky() const { return m_bSticky; }

    int Id() const { return m_nId; }
    // Where the text is drawn: the content rectangle, for centred text moved down so that a
    // cell of the font height sits in its middle.
    QRect TextRect() const;
    QRect ContentRect() const { return m_rcContent; }

protected:
    void paintEvent(QPaintEvent *e) override;
    void mouseMoveEvent(QMouseEvent *e) override;
    void leaveEvent(QEvent *e) override;
    void mousePressEvent(QMouseEvent *e) override;
    void mouseReleaseEvent(QMouseEvent *e) override;

private:
    void TakeBackground(const SkinCanvas *background);
    void SetStyle(const SkinTextStyle *style);
    void ChangeState(int state);
    const SkinCanvas &StateCanvas() const;

    int m_nId;
    SkinCanvas m_bgCanvas;
    bool m_bBgFilled = false;
    SkinCanvas m_normal, m_hover, m_pressed, m_selected;
    bool m_bHasSelected = false;
    QImage m_composite;
    bool m_bRedraw = true;
    int m_nState = kNormal;
    bool m_bSticky = false;

    bool m_bHasText = false;
    QString m_strText;
    COLORREF m_normalColor = 0, m_hoverColor = 0, m_pressedColor = 0;
    int m_nFontHeight = 0;
    int m_nAlignment = 0;
    QFont m_font;
    QRect m_rcContent;
};
