// CEtcDlg: the Additional tab. Which recordings may be overwritten, the security LED pattern,
// the memory partition type with its diagram, and the button that formats the card.
#pragma once

#include "dialogs/tab_dlg.h"
#include "formatter/card_format.h"
#include "skin/skin_image.h"

class CEtcDlg : public CTabDlg
{
    Q_OBJECT
public:
    CEtcDlg(QWidget *parent, CameraSettings &settings, const DialogProfile &profile);

    void RefreshControls() override;

    // What the format button formats: the card folder, the program file put back on the card,
    // the build's format profile and the system it runs on. The main dialog fills it in.
    FormatJob &Job() { return m_job; }

    // The diagram of the current memory partition type: bar widths and labels.
    struct Bar {
        int width;
        QString label;
    };
    Bar PartitionBar(int kind) const;
    // Where bar `kind` is drawn on the content widget.
    QRect BarRect(int kind) const;
    // P: left edge of the percentage labels.
    int PercentLeft() const;

protected:
    void OnCommand(int id) override;
    void PaintContent(QPainter &p) override;

private:
    void Layout();
    void ConfirmFormat();
    void RepaintDiagram();

    FormatJob m_job;
    SkinCanvas m_leds[3];
    SkinCanvas m_bars[5];
};
