// CParkingDlg: the Parking tab. Parking mode (switching it off asks first), parking recording
// settings, motion detection and its sensitivity, the stop timer and the battery cut-offs.
#pragma once

#include "dialogs/motion_dlg.h"
#include "dialogs/tab_dlg.h"

class CSubSlider;

class CParkingDlg : public CTabDlg
{
    Q_OBJECT
public:
    CParkingDlg(QWidget *parent, CameraSettings &settings, const DialogProfile &profile);

    void RefreshControls() override;

    // The motion area dialog; its button (IDC_PARKING_MOTION_AREA) is hidden in both builds, so
    // only code reaches it.
    CMotionDlg &MotionDlg() { return m_motion; }
    void RunMotionArea();

    // Stored value of a position, and the position that shows a stored value.
    static int StopTimerHours(int position);
    static int StopTimerPosition(int hours);
    int MotionSensitivityValue(int position) const;
    int MotionSensitivityPosition(int value) const;

protected:
    void OnCommand(int id) override;
    void OnTrackBar(QSlider *slider, int position) override;
    void PaintContent(QPainter &p) override;

private:
    void Layout();
    void ConfirmParkingOff();

    CMotionDlg m_motion;
    QSlider *m_impact;
    CSubSlider *m_sensitivity;
    CSubSlider *m_timer;
    CSubSlider *m_cutoff12;
    CSubSlider *m_cutoff24;
};
