// CMotionDlg: where motion counts in parking mode, on a 4 x 3 grid over each camera's picture.
// The owner fills the two cell arrays, runs the dialog modally and reads them back after
// Confirm (result 1); Cancel and the close button (result 2) restore what was there before.
#pragma once

#include "builds/dialog_profile.h"
#include "skin/skin_image.h"

#include <QDialog>
#include <QRect>

#include <cstdint>

class CRButton;

// text broken at blanks into lines no wider than width pixels in font.
QString WrapToWidth(const QFont &font, const QString &text, int width);

class CMotionDlg : public QDialog
{
    Q_OBJECT
public:
    static constexpr int kCells = 12;
    enum { kResultConfirm = 1, kResultCancel = 2 };
    enum { kIdTitle = 2002, kIdInstruction = 2003, kIdFrontLabel = 2004, kIdRearLabel = 2005 };
    enum { kIdClose = 2400, kIdCancel = 2401, kIdConfirm = 2402 };

    CMotionDlg(const DialogProfile &profile, QWidget *parent = nullptr);

    int front[kCells];
    int rear[kCells];

    // The cell rectangles, left and top inclusive, right and bottom exclusive (QRect's own
    // right() and bottom() are the last pixels inside). Index: row * 4 + column.
    static QRect FrontCell(int index);
    static QRect RearCell(int index);

    // A 12-bit area mask: row r in the nibble at bits 8 - 4r, column c in bit c.
    static void Unpack(int32_t mask, int cells[kCells]);
    static int32_t Pack(const int cells[kCells]);

    int exec() override;
    // What the window shows now (valid while the dialog runs).
    QImage Picture() const { return m_paint.image; }

protected:
    bool event(QEvent *e) override;
    void paintEvent(QPaintEvent *e) override;
    void mousePressEvent(QMouseEvent *e) override;
    void keyPressEvent(QKeyEvent *e) override;

private:
    void Build();
    void Release(int result);
    void DrawCell(const QRect &rect, bool selected);

    const DialogProfile &m_profile;
    int m_frontBackup[kCells];
    int m_rearBackup[kCells];
    SkinCanvas m_background;
    SkinCanvas m_selectedCell;
    SkinCanvas m_clearCell;
    SkinCanvas m_paint;
    bool m_readyToPaint = false;
    bool m_rebuild = true;
    QList<QWidget *> m_windows;
};
