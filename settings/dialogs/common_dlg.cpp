#include "dialogs/common_dlg.h"

#include "dialogs/control_ids.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>
#include <QPainter>
#include <QSignalBlocker>
#include <QSlider>

namespace {
// Radio groups of the tab.
enum { kLanguage, kVoiceRecording, kVoiceGuidance, kSafetyVoice, kDaylight, kSpeed };

const int kHeadings[] = {IDC_COMMON_LANGUAGE_HEADING,        IDC_COMMON_BRIGHTNESS_HEADING,
                         IDC_COMMON_VOICE_RECORDING_HEADING, IDC_COMMON_VOICE_GUIDANCE_HEADING,
                         IDC_COMMON_SAFETY_VOICE_HEADING,    IDC_COMMON_TIME_ZONE_HEADING,
                         IDC_COMMON_DAYLIGHT_HEADING,        IDC_COMMON_SPEED_UNIT_HEADING};
} // namespace

CCommonDlg::CCommonDlg(QWidget *parent, CameraSettings &settings, const DialogProfile &profile)
    : CTabDlg(parent, settings, profile, IDC_COMMON_FOCUS, profile.commonExtraHeight, 40),
      m_zones(profile.model)
{
    for (int id : kHeadings)
        AddLabel(id, m_headingFont);
    AddLabel(IDC_COMMON_BRIGHTNESS_FRONT_LABEL, m_labelFont);
    AddLabel(IDC_COMMON_BRIGHTNESS_DARK_LABEL, m_textFont);
    AddLabel(IDC_COMMON_BRIGHTNESS_BRIGHT_LABEL, m_textFont);
    AddLabel(IDC_COMMON_VOLUME_LABEL, m_textFont);
    for (int id : {IDC_COMMON_LANGUAGE_ENGLISH, IDC_COMMON_LANGUAGE_FRENCH})
        AddRadio(id, kLanguage);
    for (int id : {IDC_COMMON_VOICE_RECORDING_ON, IDC_COMMON_VOICE_RECORDING_OFF})
        AddRadio(id, kVoiceRecording);
    for (int id : {IDC_COMMON_VOICE_GUIDANCE_ON, IDC_COMMON_VOICE_GUIDANCE_OFF})
        AddRadio(id, kVoiceGuidance);
    for (int id : {IDC_COMMON_SAFETY_VOICE_ON, IDC_COMMON_SAFETY_VOICE_OFF})
        AddRadio(id, kSafetyVoice);
    for (int id : {IDC_COMMON_DAYLIGHT_ON, IDC_COMMON_DAYLIGHT_OFF})
        AddRadio(id, kDaylight);
    for (int id : {IDC_COMMON_SPEED_KMH, IDC_COMMON_SPEED_MPH})
        AddRadio(id, kSpeed);
    m_brightness = NewTrackBar(IDC_COMMON_BRIGHTNESS);
    m_volume = NewTrackBar(IDC_COMMON_VOLUME);
    m_zoneList = AddControl(new QComboBox(Content()), IDC_COMMON_TIME_ZONE);
    m_zoneList->setFont(m_textFont);
    m_zoneList->setFocusPolicy(Qt::NoFocus);
    connect(m_zoneList, &QComboBox::currentIndexChanged, this, &CCommonDlg::ZoneSelected);

    if (!profile.showsSafetyVoice) {
        Control(IDC_COMMON_SAFETY_VOICE_HEADING)->hide();
        Control(IDC_COMMON_SAFETY_VOICE_ON)->hide();
        Control(IDC_COMMON_SAFETY_VOICE_OFF)->hide();
    }
    if (profile.layoutOnce)
        Layout();
}

void CCommonDlg::Layout()
{
    // The radios of this tab are 27 pixels high, those of the safe-driving voice 25.
    PlaceHeading(IDC_COMMON_LANGUAGE_HEADING, 193, 20, 7);
    PlaceButton(IDC_COMMON_LANGUAGE_ENGLISH, 194, 25, 50, 0, 27);
    PlaceButton(IDC_COMMON_LANGUAGE_FRENCH, 195, 25, 75, 0, 27);
    PlaceHeading(IDC_COMMON_BRIGHTNESS_HEADING, 109, 120);
    PlaceLabel(IDC_COMMON_BRIGHTNESS_FRONT_LABEL, 110, 25, 150);
    PlaceLabel(IDC_COMMON_BRIGHTNESS_DARK_LABEL, 112, 85, 150);
    PlaceAt(IDC_COMMON_BRIGHTNESS, RightOf(IDC_COMMON_BRIGHTNESS_DARK_LABEL), 135, 300, 42);
    PlaceLabel(IDC_COMMON_BRIGHTNESS_BRIGHT_LABEL, 113, RightOf(IDC_COMMON_BRIGHTNESS), 150);
    PlaceHeading(IDC_COMMON_VOICE_RECORDING_HEADING, 114, 210);
    PlaceButton(IDC_COMMON_VOICE_RECORDING_ON, 115, 25, 230, 0, 27);
    PlaceButton(IDC_COMMON_VOICE_RECORDING_OFF, 116, 25, 257, 0, 27);
    PlaceHeading(IDC_COMMON_VOICE_GUIDANCE_HEADING, 118, 315);
    PlaceButton(IDC_COMMON_VOICE_GUIDANCE_ON, 115, 25, 335, 0, 27);
    PlaceButton(IDC_COMMON_VOICE_GUIDANCE_OFF, 116, 25, 362, 0, 27);
    PlaceLabel(IDC_COMMON_VOLUME_LABEL, 117, 125, 349);
    PlaceAt(IDC_COMMON_VOLUME, RightOf(IDC_COMMON_VOLUME_LABEL), 335, 300, 42);
    if (m_profile.showsSafetyVoice) {
        PlaceHeading(IDC_COMMON_SAFETY_VOICE_HEADING, 119, 407, 14, 0);
        PlaceText(IDC_COMMON_SAFETY_VOICE_ON, 115, 25, 437, 12, 20, 25);
        PlaceText(IDC_COMMON_SAFETY_VOICE_OFF, 116, 25, 462, 12, 20, 25);
    }
    const int *rows = m_profile.commonLowerRows;
    PlaceHeading(IDC_COMMON_TIME_ZONE_HEADING, 185, rows[0]);
    PlaceAt(IDC_COMMON_TIME_ZONE, 25, rows[1], 400, 25);
    PlaceHeading(IDC_COMMON_DAYLIGHT_HEADING, 196, rows[2]);
    PlaceButton(IDC_COMMON_DAYLIGHT_ON, 115, 25, rows[3], 0, 27);
    PlaceButton(IDC_COMMON_DAYLIGHT_OFF, 116, 25, rows[4], 0, 27);
    PlaceHeading(IDC_COMMON_SPEED_UNIT_HEADING, 190, rows[5]);
    PlaceButton(IDC_COMMON_SPEED_KMH, 191, 25, rows[6], 0, 27);
    PlaceButton(IDC_COMMON_SPEED_MPH, 192, 125, rows[6], 0, 27);
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
    CheckRadio(m_settings.speedUnit == 0 ? IDC_COMMON_SPEED_KMH : IDC_COMMON_SPEED_MPH);
    CheckRadio(m_settings.language != 0 ? IDC_COMMON_LANGUAGE_FRENCH : IDC_COMMON_LANGUAGE_ENGLISH);
    SetTrackPos(m_brightness, m_settings.frontBrightness);
    // These two go through their handlers, which store 1 or 0: any other value becomes 0.
    const int recording = m_settings.voiceRecording == 1 ? IDC_COMMON_VOICE_RECORDING_ON
                                                         : IDC_COMMON_VOICE_RECORDING_OFF;
    CheckRadio(recording);
    OnCommand(recording);
    const int guidance = m_settings.voiceGuidance == 1 ? IDC_COMMON_VOICE_GUIDANCE_ON
                                                       : IDC_COMMON_VOICE_GUIDANCE_OFF;
    CheckRadio(guidance);
    OnCommand(guidance);
    SetTrackPos(m_volume, m_settings.voiceVolume);
    if (m_profile.showsSafetyVoice)
        CheckRadio(m_settings.safetyVoice == 1 ? IDC_COMMON_SAFETY_VOICE_ON
                                               : IDC_COMMON_SAFETY_VOICE_OFF);
    CheckRadio(m_settings.daylightSaving != 0 ? IDC_COMMON_DAYLIGHT_ON : IDC_COMMON_DAYLIGHT_OFF);
}

void CCommonDlg::OnCommand(int id)
{
    switch (id) {
    case IDC_COMMON_LANGUAGE_ENGLISH:
    case IDC_COMMON_LANGUAGE_FRENCH:
        m_settings.language = id - IDC_COMMON_LANGUAGE_ENGLISH;
        break;
    case IDC_COMMON_VOICE_RECORDING_ON:
    case IDC_COMMON_VOICE_RECORDING_OFF:
        m_settings.voiceRecording = id == IDC_COMMON_VOICE_RECORDING_ON ? 1 : 0;
        break;
    case IDC_COMMON_VOICE_GUIDANCE_ON:
    case IDC_COMMON_VOICE_GUIDANCE_OFF: {
        m_settings.voiceGuidance = id == IDC_COMMON_VOICE_GUIDANCE_ON ? 1 : 0;
        const bool on = id == IDC_COMMON_VOICE_GUIDANCE_ON;
        m_volume->setEnabled(on);
        Control(IDC_COMMON_SAFETY_VOICE_ON)->setEnabled(on);
        Control(IDC_COMMON_SAFETY_VOICE_OFF)->setEnabled(on);
        break;
    }
    case IDC_COMMON_SAFETY_VOICE_ON:
    case IDC_COMMON_SAFETY_VOICE_OFF:
        m_settings.safetyVoice = id == IDC_COMMON_SAFETY_VOICE_ON ? 1 : 0;
        break;
    case IDC_COMMON_DAYLIGHT_ON:
    case IDC_COMMON_DAYLIGHT_OFF:
        m_settings.daylightSaving = id == IDC_COMMON_DAYLIGHT_ON ? 1 : 0;
        break;
    case IDC_COMMON_SPEED_KMH:
    case IDC_COMMON_SPEED_MPH:
        m_settings.speedUnit = id - IDC_COMMON_SPEED_KMH;
        break;
    default:
        break;
    }
}

void CCommonDlg::OnTrackBar(QSlider *slider, int position)
{
    if (slider == m_brightness)
        m_settings.frontBrightness = position;
    if (slider == m_volume)
        m_settings.voiceVolume = position;
}

void CCommonDlg::ZoneSelected(int index)
{
    m_zoneIndex = index;
    m_zones.PickZone(index, m_settings);
}

void CCommonDlg::PaintContent(QPainter &p)
{
    // The daylight-saving heading has no line.
    for (int id : {IDC_COMMON_LANGUAGE_HEADING, IDC_COMMON_BRIGHTNESS_HEADING,
                   IDC_COMMON_VOICE_RECORDING_HEADING, IDC_COMMON_VOICE_GUIDANCE_HEADING,
                   IDC_COMMON_SAFETY_VOICE_HEADING, IDC_COMMON_TIME_ZONE_HEADING,
                   IDC_COMMON_SPEED_UNIT_HEADING})
        DrawHeadingLine(p, id, 12);
    const int step = (m_volume->width() - 25) / 5;
    for (int i = 0; i < 6; ++i)
        DrawTrackLabel(p, m_volume, 10 + i * step, QString::number(i + 1));
}
