// CEtcDlg: the Additional tab. Which recordings may be overwritten, the security LED pattern,
// the memory partition type with its diagram, and the button that formats the card.
#pragma once

#include "dialogs/tab_dlg.h"
#include "skin/skin_image.h"

#include <functional>

// What the format button runs after the user said Yes: the card format procedure.
using CardFormatter = std::function<void(QWidget *owner)>;

class CEtcDlg : public CTabDlg
{
    Q_OBJECT
  public:
    CEtcDlg(QWidget *parent, CameraSettings &settings, const DialogProfile &profile);

    void RefreshControls() override;

    void SetCardFormatter(CardFormatter formatter) { m_formatter = std::move(formatter); }

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

    CardFormatter m_formatter;
    SkinCanvas m_leds[3];
    SkinCanvas m_bars[5];
};

// The formatter of this tree is not linked in: says so in a message box and formats nothing.
void FormatterNotAvailable(QWidget *owner);
