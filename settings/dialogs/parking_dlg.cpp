#include "dialogs/parking_dlg.h"

#include "dialogs/control_ids.h"

#include "skin/msg_popup_dlg.h"
#include "skin/sub_slider.h"

#include <QAbstractButton>
#include <QLabel>
#include <QPainter>
#include <QPushButton>

namespace {
enum { kParkingMode = kRecordingGroupCount, kMotion, kUnused };

const int kTimerHours[8] = {1, 2, 4, 6, 12, 24, 36, 48};
const int kSensitivities[3] = {1, 3, 5};
const RecordingSectionIds kRecording = {
    IDC_PARKING_RESOLUTION_HEADING,
    IDC_PARKING_RESOLUTION_FRONT_LABEL,
    {IDC_PARKING_FRONT_VGA, IDC_PARKING_FRONT_HD, IDC_PARKING_FRONT_FHD},
    IDC_PARKING_RESOLUTION_REAR_LABEL,
    {IDC_PARKING_REAR_D1, IDC_PARKING_REAR_HD},
    IDC_PARKING_FRAMES_HEADING,
    IDC_PARKING_FRAMES_FRONT_LABEL,
    {IDC_PARKING_FRAMES_10, IDC_PARKING_FRAMES_15, IDC_PARKING_FRAMES_30},
    IDC_PARKING_FRAMES_REAR_LABEL,
    {IDC_PARKING_REAR_FRAMES_10, IDC_PARKING_REAR_FRAMES_15, IDC_PARKING_REAR_FRAMES_30},
    IDC_PARKING_QUALITY_HEADING,
    IDC_PARKING_QUALITY_FRONT_LABEL,
    {IDC_PARKING_FRONT_QUALITY_LOW, IDC_PARKING_FRONT_QUALITY_MID, IDC_PARKING_FRONT_QUALITY_HIGH},
    IDC_PARKING_QUALITY_REAR_LABEL,
    {IDC_PARKING_REAR_QUALITY_LOW, IDC_PARKING_REAR_QUALITY_MID, IDC_PARKING_REAR_QUALITY_HIGH},
    IDC_PARKING_IMPACT_HEADING,
    IDC_PARKING_IMPACT_LOW_LABEL,
    IDC_PARKING_IMPACT,
    IDC_PARKING_IMPACT_HIGH_LABEL};

RecordingFields ParkingFields(CameraSettings &s)
{
    return {&s.parkingFrontResolution, &s.parkingRearResolution, &s.parkingFrontFrameRate,
            &s.parkingRearFrameRate,   &s.parkingFrontQuality,   &s.parkingRearQuality};
}
const int kHeadings[] = {IDC_PARKING_RESOLUTION_HEADING, IDC_PARKING_FRAMES_HEADING,
                         IDC_PARKING_QUALITY_HEADING,    IDC_PARKING_IMPACT_HEADING,
                         IDC_PARKING_MODE_HEADING,       IDC_PARKING_MOTION_HEADING,
                         IDC_PARKING_TIMER_HEADING,      IDC_PARKING_CUTOFF_HEADING};
} // namespace

CParkingDlg::CParkingDlg(QWidget *parent, CameraSettings &settings, const DialogProfile &profile)
    : CTabDlg(parent, settings, profile, IDC_PARKING_FOCUS, 517, 80), m_motion(profile, this)
{
    for (int id : kHeadings)
        AddLabel(id, m_headingFont);
    for (int id : {IDC_PARKING_RESOLUTION_FRONT_LABEL, IDC_PARKING_RESOLUTION_REAR_LABEL,
                   IDC_PARKING_FRAMES_FRONT_LABEL, IDC_PARKING_FRAMES_REAR_LABEL,
                   IDC_PARKING_QUALITY_FRONT_LABEL, IDC_PARKING_QUALITY_REAR_LABEL,
                   IDC_PARKING_IMPACT_LOW_LABEL, IDC_PARKING_IMPACT_HIGH_LABEL,
                   IDC_PARKING_SENSITIVITY_LOW_LABEL, IDC_PARKING_SENSITIVITY_HIGH_LABEL,
                   IDC_PARKING_MOTION_AREA_LABEL, IDC_PARKING_TIMER_LABEL})
        AddLabel(id, m_textFont);
    for (int id : {IDC_PARKING_CUTOFF_12V_LABEL, IDC_PARKING_CUTOFF_24V_LABEL})
        AddLabel(id, m_labelFont);
    AddRecordingRadios(kRecording);
    for (int id : {IDC_PARKING_MODE_ON, IDC_PARKING_MODE_OFF})
        AddRadio(id, kParkingMode);
    for (int id : {IDC_PARKING_MOTION_ON, IDC_PARKING_MOTION_OFF})
        AddRadio(id, kMotion);
    for (int id : {IDC_PARKING_UNUSED_1, IDC_PARKING_UNUSED_2})
        AddRadio(id, kUnused);
    AddPushButton(IDC_PARKING_MOTION_AREA);
    m_impact = NewTrackBar(IDC_PARKING_IMPACT);
    m_sensitivity = static_cast<CSubSlider *>(
        NewTrackBar(IDC_PARKING_SENSITIVITY, true, CSubSlider::kMotionSensitivity));
    // KZ7100 counts the sensitivity's positions from 1; the tooltip still shows 1, 3, 5.
    if (profile.motionSensitivityFromOne)
        m_sensitivity->SetFirstPosition(1);
    m_timer =
        static_cast<CSubSlider *>(NewTrackBar(IDC_PARKING_TIMER, true, CSubSlider::kStopTimer));
    m_cutoff12 = static_cast<CSubSlider *>(
        NewTrackBar(IDC_PARKING_CUTOFF_12V, true, CSubSlider::kCutoff12V));
    m_cutoff24 = static_cast<CSubSlider *>(
        NewTrackBar(IDC_PARKING_CUTOFF_24V, true, CSubSlider::kCutoff24V));
    for (int id :
         {IDC_PARKING_FRAMES_FRONT_LABEL, IDC_PARKING_FRAMES_REAR_LABEL, IDC_PARKING_REAR_FRAMES_10,
          IDC_PARKING_REAR_FRAMES_15, IDC_PARKING_REAR_FRAMES_30, IDC_PARKING_MOTION_AREA_LABEL,
          IDC_PARKING_MOTION_AREA, IDC_PARKING_UNUSED_1, IDC_PARKING_UNUSED_2})
        Control(id)->hide();
    if (profile.layoutOnce)
        Layout();
}

int CParkingDlg::StopTimerHours(int position)
{
    return kTimerHours[std::clamp(position, 0, 7)];
}

int CParkingDlg::StopTimerPosition(int hours)
{
    for (int i = 0; i < 8; ++i)
        if (kTimerHours[i] == hours)
            return i;
    return 7;
}

int CParkingDlg::MotionSensitivityValue(int position) const
{
    const int index = m_profile.motionSensitivityFromOne ? position - 1 : position;
    return kSensitivities[std::clamp(index, 0, 2)];
}

int CParkingDlg::MotionSensitivityPosition(int value) const
{
    int index = 0;
    for (int i = 0; i < 3; ++i)
        if (kSensitivities[i] == value)
            index = i;
    return m_profile.motionSensitivityFromOne ? index + 1 : index;
}

void CParkingDlg::Layout()
{
    PlaceHeading(IDC_PARKING_MODE_HEADING, 104, 20);
    PlaceButton(IDC_PARKING_MODE_ON, 135, 25, 43);
    PlaceButton(IDC_PARKING_MODE_OFF, 136, 25, 69);
    LayoutRecordingSection(kRecording, 127);
    PlaceHeading(IDC_PARKING_MOTION_HEADING, 137, 535);
    PlaceButton(IDC_PARKING_MOTION_ON, 115, 25, 558);
    PlaceButton(IDC_PARKING_MOTION_OFF, 116, 25, 584);
    PlaceLabel(IDC_PARKING_SENSITIVITY_LOW_LABEL, 127, 123, 572);
    PlaceAt(IDC_PARKING_SENSITIVITY, RightOf(IDC_PARKING_SENSITIVITY_LOW_LABEL), 558, 300, 42);
    PlaceLabel(IDC_PARKING_SENSITIVITY_HIGH_LABEL, 128, RightOf(IDC_PARKING_SENSITIVITY), 572);
    PlaceLabel(IDC_PARKING_MOTION_AREA_LABEL, 138, 25, 620);
    Place(IDC_PARKING_MOTION_AREA, Text(139), 200, 615, 60, 25);
    PlaceHeading(IDC_PARKING_TIMER_HEADING, 140, 666);
    PlaceLabel(IDC_PARKING_TIMER_LABEL, 141, 50, 706);
    PlaceAt(IDC_PARKING_TIMER, RightOf(IDC_PARKING_TIMER_LABEL), 692, 400, 42);
    PlaceHeading(IDC_PARKING_CUTOFF_HEADING, 142, 798);
    PlaceLabel(IDC_PARKING_CUTOFF_12V_LABEL, 143, 30, 842);
    PlaceAt(IDC_PARKING_CUTOFF_12V, RightOf(IDC_PARKING_CUTOFF_12V_LABEL), 824, 300, 42);
    PlaceLabel(IDC_PARKING_CUTOFF_24V_LABEL, 144, 30, 897);
    PlaceAt(IDC_PARKING_CUTOFF_24V, RightOf(IDC_PARKING_CUTOFF_24V_LABEL), 881, 300, 42);

    SetTrackRange(m_impact, 1, 10, 8);
    if (m_profile.motionSensitivityFromOne)
        SetTrackRange(m_sensitivity, 1, 3, 2);
    else
        SetTrackRange(m_sensitivity, 0, 2, 1);
    SetTrackRange(m_timer, 0, 7, 7);
    SetTrackRange(m_cutoff12, 0, 7, 4);
    SetTrackRange(m_cutoff24, 0, 7, 4);
}

void CParkingDlg::RefreshControls()
{
    if (!m_profile.layoutOnce) {
        ScrollTo(0);
        update();
        Layout();
    }
    const CameraSettings &s = m_settings;
    // 15 fps stands for every value but 1 and 3; the hidden rear row shows radio i for value i
    // only.
    CheckRecordingSection(kRecording, ParkingFields(m_settings), IDC_PARKING_FRAMES_15, -1);
    SetTrackPos(m_impact, s.parkingImpactSensitivity);
    if (m_profile.exactRadioChecks)
        CheckByValue({IDC_PARKING_MODE_ON, IDC_PARKING_MODE_OFF}, {1, 0}, s.parkingMode, -1);
    else
        CheckRadio(s.parkingMode == 1 ? IDC_PARKING_MODE_ON : IDC_PARKING_MODE_OFF);
    // Through the handler, which stores 1 or 0 and enables the sensitivity.
    const int motion =
        m_settings.motionDetection == 1 ? IDC_PARKING_MOTION_ON : IDC_PARKING_MOTION_OFF;
    CheckRadio(motion);
    OnCommand(motion);
    SetTrackPos(m_sensitivity, MotionSensitivityPosition(s.motionSensitivity));
    CMotionDlg::Unpack(s.motionAreaFront, m_motion.front);
    CMotionDlg::Unpack(s.motionAreaRear, m_motion.rear);
    SetTrackPos(m_timer, StopTimerPosition(s.stopTimerHours));
    SetTrackPos(m_cutoff12, s.cutoffVoltage12);
    SetTrackPos(m_cutoff24, s.cutoffVoltage24);
}

void CParkingDlg::OnCommand(int id)
{
    CameraSettings &s = m_settings;
    StoreRecordingChoice(kRecording, ParkingFields(s), id);
    switch (id) {
    case IDC_PARKING_MODE_ON:
        s.parkingMode = 1;
        break;
    case IDC_PARKING_MODE_OFF:
        ConfirmParkingOff();
        break;
    case IDC_PARKING_MOTION_ON:
    case IDC_PARKING_MOTION_OFF:
        s.motionDetection = id == IDC_PARKING_MOTION_ON ? 1 : 0;
        m_sensitivity->setEnabled(id == IDC_PARKING_MOTION_ON);
        break;
    case IDC_PARKING_MOTION_AREA:
        if (m_motion.exec() == CMotionDlg::kResultConfirm) {
            s.motionAreaFront = CMotionDlg::Pack(m_motion.front);
            s.motionAreaRear = CMotionDlg::Pack(m_motion.rear);
        }
        break;
    default:
        break;
    }
}

void CParkingDlg::RunMotionArea()
{
    OnCommand(IDC_PARKING_MOTION_AREA);
}

void CParkingDlg::ConfirmParkingOff()
{
    if (!IsChecked(IDC_PARKING_MODE_OFF) || m_settings.parkingMode == 0)
        return;
    CMsgPopupDlg popup(this);
    popup.SetPopup(Text(104), ModelTextWithSecondLine(m_profile, 177), 330, 150);
    if (popup.exec() == CMsgPopupDlg::kIdYes) {
        m_settings.parkingMode = 0;
        return;
    }
    CheckRadio(IDC_PARKING_MODE_ON);
    Control(IDC_PARKING_MODE_ON)->setFocus(Qt::OtherFocusReason);
    SetChecked(IDC_PARKING_MODE_OFF, false);
}

void CParkingDlg::OnTrackBar(QSlider *slider, int position)
{
    CameraSettings &s = m_settings;
    if (slider == m_impact)
        s.parkingImpactSensitivity = position;
    if (slider == m_sensitivity)
        s.motionSensitivity = MotionSensitivityValue(position);
    if (slider == m_timer)
        s.stopTimerHours = StopTimerHours(position);
    if (slider == m_cutoff12)
        s.cutoffVoltage12 = position;
    if (slider == m_cutoff24)
        s.cutoffVoltage24 = position;
}

void CParkingDlg::PaintContent(QPainter &p)
{
    for (int id : kHeadings)
        DrawHeadingLine(p, id, id == IDC_PARKING_MOTION_HEADING ? 20 : 12);
    const int f = (m_impact->width() - 30) / 9;
    DrawTrackLabel(p, m_impact, 10, QStringLiteral("1"));
    DrawTrackLabel(p, m_impact, 10 + 4 * f, QStringLiteral("5"));
    DrawTrackLabel(p, m_impact, 10 + 9 * f, QStringLiteral("10"));
    const int h = (m_sensitivity->width() - 25) / 2;
    DrawTrackLabel(p, m_sensitivity, 10, Text(127));
    DrawTrackLabel(p, m_sensitivity, 10 + h, Text(124));
    DrawTrackLabel(p, m_sensitivity, 10 + 2 * h, Text(128));
    const int F = (m_timer->width() - 25) / 7;
    for (int i = 0; i < 8; ++i)
        DrawTrackLabel(p, m_timer, 10 + i * F, QString::number(kTimerHours[i]));
    const int G = (m_cutoff12->width() - 10) / 7;
    const char *volts12[] = {"11.6", "12", "12.3"};
    const char *volts24[] = {"23.2", "24", "24.6"};
    const int offsets[] = {0, 4 * G - 2, 7 * G - 10};
    DrawTrackLabel(p, m_cutoff12, -15, QStringLiteral("V"));
    DrawTrackLabel(p, m_cutoff24, -15, QStringLiteral("V"));
    for (int i = 0; i < 3; ++i) {
        DrawTrackLabel(p, m_cutoff12, offsets[i], QString::fromLatin1(volts12[i]));
        DrawTrackLabel(p, m_cutoff24, offsets[i], QString::fromLatin1(volts24[i]));
    }
}
