// CCommonDlg: the Common tab. Camera language, front brightness, voice recording, voice
// guidance and its volume, the safe-driving voice, time zone, daylight saving, speed unit.
#pragma once

#include "dialogs/tab_dlg.h"
#include "locale/time_zones.h"

class QComboBox;

class CCommonDlg : public CTabDlg
{
    Q_OBJECT
public:
    CCommonDlg(QWidget *parent, CameraSettings &settings, const DialogProfile &profile);

    void RefreshControls() override;

    const CTimeZoneInfoManager &TimeZones() const { return m_zones; }
    int ZoneIndex() const { return m_zoneIndex; }

protected:
    void OnCommand(int id) override;
    void OnTrackBar(QSlider *slider, int position) override;
    void PaintContent(QPainter &p) override;

private:
    void Layout();
    void ZoneSelected(int index);

    CTimeZoneInfoManager m_zones;
    int m_zoneIndex = -1;
    QSlider *m_brightness;
    QSlider *m_volume;
    QComboBox *m_zoneList;
};
