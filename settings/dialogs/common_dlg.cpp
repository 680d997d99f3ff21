#include "dialogs/common_dlg.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>
#include <QPainter>
#include <QSignalBlocker>
#include <QSlider>

namespace
{
// Radio groups of the tab.
enum { kLanguage, kVoiceRecording, kVoiceGuidance, kSafetyVoice, kDaylight, kSpeed };

const int kHeadings[] = {1345, 1000, 1007, 1014, 1019, 1343, 1348, 1028};
} // namespace

CCommonDlg::CCommonDlg(QWidget *parent, CameraSettings &settings, const DialogProfile &profile)
    : CTabDlg(parent, settings, profile, 1031, profile.commonExtraHeight, 40),
      m_zones(profile.model)
{
    for (int id : kHeadings)
        AddLabel(id, m_headingFont);
    AddLabel(1001, m_labelFont);
    AddLabel(1003, m_textFont);
    AddLabel(1005, m_textFont);
    AddLabel(1017, m_textFont);
    for (int id : {1346, 1347})
        AddRadio(id, kLanguage);
    for (int id : {1010, 1011})
        AddRadio(id, kVoiceRecording);
    for (int id : {1015, 1016})
        AddRadio(id, kVoiceGuidance);
    for (int id : {1020, 1021})
        AddRadio(id, kSafetyVoice);
    for (int id : {1349, 1350})
        AddRadio(id, kDaylight);
    for (int id : {1029, 1030})
        AddRadio(id, kSpeed);
    m_brightness = NewTrackBar(1008);
    m_volume = NewTrackBar(1018);
    m_zoneList = AddControl(new QComboBox(Content()), 1121);
    m_zoneList->setFont(m_textFont);
    m_zoneList->setFocusPolicy(Qt::NoFocus);
    connect(m_zoneList, &QComboBox::currentIndexChanged, this, &CCommonDlg::ZoneSelected);

    if (!profile.showsSafetyVoice) {
        Control(1019)->hide();
        Control(1020)->hide();
        Control(1021)->hide();
    }
    if (profile.layoutOnce) Layout();
}

void CCommonDlg::Layout()
{
    auto heading = [this](int id, int number, int y, int perChar, int extra) {
        const QString t = Text(number);
        Place(id, t, 15, y, TextWidth(t, perChar, extra), 14);
    };
    auto label = [this](int id, int number, int x, int y) {
        const QString t = Text(number);
        Place(id, t, x, y, TextWidth(t, 6, 10), 13);
    };
    auto radio = [this](int id, int number, int x, int y, int perChar = 6, int height = 27) {
        const QString t = Text(number);
        Place(id, t, x, y, TextWidth(t, perChar, 20), height);
    };
    heading(1345, 193, 20, 7, 10);
    radio(1346, 194, 25, 50);
    radio(1347, 195, 25, 75);
    heading(1000, 109, 120, 6, 10);
    label(1001, 110, 25, 150);
    label(1003, 112, 85, 150);
    const QRect dark = Control(1003)->geometry();
    PlaceAt(1008, dark.left() + dark.width(), 135, 300, 42);
    label(1005, 113, dark.left() + dark.width() + 300, 150);
    heading(1007, 114, 210, 6, 10);
    radio(1010, 115, 25, 230);
    radio(1011, 116, 25, 257);
    heading(1014, 118, 315, 6, 10);
    radio(1015, 115, 25, 335);
    radio(1016, 116, 25, 362);
    label(1017, 117, 125, 349);
    const QRect volume = Control(1017)->geometry();
    PlaceAt(1018, volume.left() + volume.width(), 335, 300, 42);
    if (m_profile.showsSafetyVoice) {
        heading(1019, 119, 407, 14, 0);
        radio(1020, 115, 25, 437, 12, 25);
        radio(1021, 116, 25, 462, 12, 25);
    }
    const int *rows = m_profile.commonLowerRows;
    heading(1343, 185, rows[0], 6, 10);
    PlaceAt(1121, 25, rows[1], 400, 25);
    heading(1348, 196, rows[2], 6, 10);
    radio(1349, 115, 25, rows[3]);
    radio(1350, 116, 25, rows[4]);
    heading(1028, 190, rows[5], 6, 10);
    radio(1029, 191, 25, rows[6]);
    radio(1030, 192, 125, rows[6]);
    SetTrackRange(m_brightness, 0, 2, 0);
    SetTrackRange(m_volume, 1, 6, 5);

    // The list holds the catalogue's display names; the stored zone is selected by the refresh.
    const QSignalBlocker block(m_zoneList);
    m_zoneList->clear();
    for (int i = 0; i < m_zones.count(); ++i)
        m_zoneList->addItem(m_zones.displayName(i));
}

void CCommonDlg::RefreshControls()
{
    if (!m_profile.layoutOnce) {
        ScrollTo(0);
        Layout();
        update();
    }
    m_zoneIndex = m_zones.ChooseStoredZone(m_settings);
    {
        const QSignalBlocker block(m_zoneList);
        m_zoneList->setCurrentIndex(m_zoneIndex);
    }
    CheckRadio(m_settings.speedUnit == 0 ? 1029 : 1030);
    CheckRadio(m_settings.language != 0 ? 1347 : 1346);
    SetTrackPos(m_brightness, m_settings.frontBrightness);
    // These two go through their handlers, which store 1 or 0: any other value becomes 0.
    const int recording = m_settings.voiceRecording == 1 ? 1010 : 1011;
    CheckRadio(recording);
    OnCommand(recording);
    const int guidance = m_settings.voiceGuidance == 1 ? 1015 : 1016;
    CheckRadio(guidance);
    OnCommand(guidance);
    SetTrackPos(m_volume, m_settings.voiceVolume);
    if (m_profile.showsSafetyVoice) CheckRadio(m_settings.safetyVoice == 1 ? 1020 : 1021);
    CheckRadio(m_settings.daylightSaving != 0 ? 1349 : 1350);
}

void CCommonDlg::OnCommand(int id)
{
    switch (id) {
    case 1346:
    case 1347:
        m_settings.language = id - 1346;
        break;
    case 1010:
    case 1011:
        m_settings.voiceRecording = id == 1010 ? 1 : 0;
        break;
    case 1015:
    case 1016: {
        m_settings.voiceGuidance = id == 1015 ? 1 : 0;
        const bool on = id == 1015;
        m_volume->setEnabled(on);
        Control(1020)->setEnabled(on);
        Control(1021)->setEnabled(on);
        break;
    }
    case 1020:
    case 1021:
        m_settings.safetyVoice = id == 1020 ? 1 : 0;
        break;
    case 1349:
    case 1350:
        m_settings.daylightSaving = id == 1349 ? 1 : 0;
        break;
    case 1029:
    case 1030:
        m_settings.speedUnit = id - 1029;
        break;
    default:
        break;
    }
}

void CCommonDlg::OnTrackBar(QSlider *slider, int position)
{
    if (slider == m_brightness) m_settings.frontBrightness = position;
    if (slider == m_volume) m_settings.voiceVolume = position;
}

void CCommonDlg::ZoneSelected(int index)
{
    m_zoneIndex = index;
    m_zones.PickZone(index, m_settings);
}

void CCommonDlg::PaintContent(QPainter &p)
{
    // The daylight-saving heading has no line.
    for (int id : {1345, 1000, 1007, 1014, 1019, 1343, 1028})
        DrawHeadingLine(p, id, 12);
    const int step = (m_volume->width() - 25) / 5;
    for (int i = 0; i < 6; ++i)
        DrawTrackLabel(p, m_volume, 10 + i * step, QString::number(i + 1));
}
