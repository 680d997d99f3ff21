#pragma once

// CRStaticText: a label painted over the parent's skinned background with antialiased,
// per-pixel-alpha text. Mouse moves and clicks on it go to the parent, as if it were not there.

#include "skin/skin_image.h"

#include <QFont>
#include <QImage>
#include <QRect>
#include <QWidget>

class CRStaticText : public QWidget
{
    Q_OBJECT
public:
    CRStaticText(const QRect &rect, QWidget *parent, int id);

    // Text, normal colour and alignment come from `style`; the label draws with `font`.
    void SetText(const SkinTextStyle *style, const QFont &font, const SkinCanvas *background);

    QString Text() const { return m_strText; }
    // Where the text bitmap is blended, in label coordinates.
    QPoint TextOrigin(const QSize &textSize) const;

protected:
    void paintEvent(QPaintEvent *e) override;
    void resizeEvent(QResizeEvent *e) override;

private:
    SkinCanvas m_bgCanvas;
    bool m_bBgFilled = false;
    QImage m_cached;
    bool m_bRedraw = true;
    QString m_strText;
    COLORREF m_color = 0;
    int m_nAlignment = 0;
    QFont m_font;
};
