// CNormalDlg: the Continuous tab. Resolution, frame rate and quality of continuous recording
// and its impact sensitivity. One frame-rate row serves both cameras.
#pragma once

#include "dialogs/tab_dlg.h"

class CNormalDlg : public CTabDlg
{
    Q_OBJECT
public:
    CNormalDlg(QWidget *parent, CameraSettings &settings, const DialogProfile &profile);

    void RefreshControls() override;

protected:
    void OnCommand(int id) override;
    void OnTrackBar(QSlider *slider, int position) override;
    void PaintContent(QPainter &p) override;

private:
    void Layout();

    QSlider *m_impact;
};
