#include "dialogs/parking_dlg.h"

#include "skin/msg_popup_dlg.h"
#include "skin/sub_slider.h"

#include <QAbstractButton>
#include <QLabel>
#include <QPainter>
#include <QPushButton>

namespace
{
enum {
    kFrontResolution,
    kRearResolution,
    kFrames,
    kRearFrames,
    kFrontQuality,
    kRearQuality,
    kParkingMode,
    kMotion,
    kUnused
};

const int kTimerHours[8] = {1, 2, 4, 6, 12, 24, 36, 48};
const int kSensitivities[3] = {1, 3, 5};
const int kHeadings[] = {1100, 1103, 1106, 1109, 1112, 1113, 1117, 1119};
} // namespace

CParkingDlg::CParkingDlg(QWidget *parent, CameraSettings &settings, const DialogProfile &profile)
    : CTabDlg(parent, settings, profile, 1171, 517, 80), m_motion(profile, this)
{
    for (int id : kHeadings)
        AddLabel(id, m_headingFont);
    for (int id : {1101, 1102, 1104, 1105, 1107, 1108, 1110, 1111, 1114, 1115, 1116, 1118})
        AddLabel(id, m_textFont);
    for (int id : {1120, 1122})
        AddLabel(id, m_labelFont);
    for (int id : {1130, 1131, 1132})
        AddRadio(id, kFrontResolution);
    for (int id : {1133, 1134})
        AddRadio(id, kRearResolution);
    for (int id : {1135, 1136, 1137})
        AddRadio(id, kFrames);
    for (int id : {1138, 1139, 1140})
        AddRadio(id, kRearFrames);
    for (int id : {1141, 1142, 1143})
        AddRadio(id, kFrontQuality);
    for (int id : {1144, 1145, 1146})
        AddRadio(id, kRearQuality);
    for (int id : {1147, 1148})
        AddRadio(id, kParkingMode);
    for (int id : {1149, 1150})
        AddRadio(id, kMotion);
    for (int id : {1151, 1152})
        AddRadio(id, kUnused);
    AddPushButton(1170);
    m_impact = NewTrackBar(1160);
    m_sensitivity =
        static_cast<CSubSlider *>(NewTrackBar(1161, true, CSubSlider::kMotionSensitivity));
    // KZ7100 counts the sensitivity's positions from 1; the tooltip still shows 1, 3, 5.
    if (profile.motionSensitivityFromOne) m_sensitivity->SetFirstPosition(1);
    m_timer = static_cast<CSubSlider *>(NewTrackBar(1162, true, CSubSlider::kStopTimer));
    m_cutoff12 = static_cast<CSubSlider *>(NewTrackBar(1163, true, CSubSlider::kCutoff12V));
    m_cutoff24 = static_cast<CSubSlider *>(NewTrackBar(1164, true, CSubSlider::kCutoff24V));
    for (int id : {1104, 1105, 1138, 1139, 1140, 1116, 1170, 1151, 1152})
        Control(id)->hide();
    if (profile.layoutOnce) Layout();
}

int CParkingDlg::StopTimerHours(int position)
{
    return kTimerHours[std::clamp(position, 0, 7)];
}

int CParkingDlg::StopTimerPosition(int hours)
{
    for (int i = 0; i < 8; ++i)
        if (kTimerHours[i] == hours) return i;
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
        if (kSensitivities[i] == value) index = i;
    return m_profile.motionSensitivityFromOne ? index + 1 : index;
}

void CParkingDlg::Layout()
{
    auto heading = [this](int id, int number, int y) {
        const QString t = Text(number);
        Place(id, t, 15, y, TextWidth(t, 6, 10), 14);
    };
    auto label = [this](int id, int number, int x, int y) {
        const QString t = Text(number);
        Place(id, t, x, y, TextWidth(t, 6, 10), 13);
    };
    auto radio = [this](int id, int number, int x, int y, int width = 0) {
        const QString t = Text(number);
        Place(id, t, x, y, width > 0 ? width : TextWidth(t, 6, 20), 25);
    };
    auto rightOf = [this](int id) {
        const QRect r = Control(id)->geometry();
        return r.left() + r.width();
    };
    heading(1112, 104, 20);
    radio(1147, 135, 25, 43);
    radio(1148, 136, 25, 69);
    heading(1100, 120, 127);
    label(1101, 110, 25, 157);
    radio(1130, 129, 80, 150, 110);
    radio(1131, 130, 210, 150, 110);
    radio(1132, 131, 340, 150, 130);
    label(1102, 111, 25, 187);
    radio(1133, 180, 80, 180, 110);
    radio(1134, 130, 210, 180, 130);
    heading(1103, 121, 238);
    label(1104, 110, 25, 268);
    radio(1135, 132, 25, 261, 110);
    radio(1136, 133, 175, 261, 110);
    radio(1137, 134, 325, 261, 130);
    label(1105, 111, 25, 298);
    radio(1138, 132, 80, 291, 110);
    radio(1139, 133, 210, 291, 110);
    radio(1140, 134, 340, 291, 130);
    heading(1106, 122, 319);
    label(1107, 110, 25, 349);
    radio(1141, 123, 80, 342, 110);
    radio(1142, 124, 210, 342, 110);
    radio(1143, 125, 340, 342, 130);
    label(1108, 111, 25, 379);
    radio(1144, 123, 80, 372, 110);
    radio(1145, 124, 210, 372, 110);
    radio(1146, 125, 340, 372, 130);
    heading(1109, 126, 430);
    label(1110, 127, 45, 465);
    PlaceAt(1160, rightOf(1110), 450, 300, 42);
    label(1111, 128, rightOf(1160), 465);
    heading(1113, 137, 535);
    radio(1149, 115, 25, 558);
    radio(1150, 116, 25, 584);
    label(1114, 127, 123, 572);
    PlaceAt(1161, rightOf(1114), 558, 300, 42);
    label(1115, 128, rightOf(1161), 572);
    label(1116, 138, 25, 620);
    Place(1170, Text(139), 200, 615, 60, 25);
    heading(1117, 140, 666);
    label(1118, 141, 50, 706);
    PlaceAt(1162, rightOf(1118), 692, 400, 42);
    heading(1119, 142, 798);
    label(1120, 143, 30, 842);
    PlaceAt(1163, rightOf(1120), 824, 300, 42);
    label(1122, 144, 30, 897);
    PlaceAt(1164, rightOf(1122), 881, 300, 42);

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
    CheckByValue({1130, 1131, 1132}, {1, 2, 3}, s.parkingFrontResolution, 1132);
    CheckByValue({1133, 1134}, {1, 2}, s.parkingRearResolution, 1134);
    // 15 fps stands for every value but 1 and 3.
    CheckByValue({1135, 1136, 1137}, {1, 2, 3}, s.parkingFrontFrameRate, 1136);
    // The hidden rear row shows radio i for value i only.
    CheckByValue({1138, 1139, 1140}, {1, 2, 3}, s.parkingRearFrameRate, -1);
    CheckByValue({1141, 1142, 1143}, {1, 2, 3}, s.parkingFrontQuality, 1143);
    CheckByValue({1144, 1145, 1146}, {1, 2, 3}, s.parkingRearQuality, 1146);
    SetTrackPos(m_impact, s.parkingImpactSensitivity);
    if (m_profile.exactRadioChecks)
        CheckByValue({1147, 1148}, {1, 0}, s.parkingMode, -1);
    else
        CheckRadio(s.parkingMode == 1 ? 1147 : 1148);
    // Through the handler, which stores 1 or 0 and enables the sensitivity.
    const int motion = m_settings.motionDetection == 1 ? 1149 : 1150;
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
    if (id >= 1130 && id <= 1132) s.parkingFrontResolution = id - 1129;
    if (id >= 1133 && id <= 1134) s.parkingRearResolution = id - 1132;
    if (id >= 1135 && id <= 1137) s.parkingFrontFrameRate = s.parkingRearFrameRate = id - 1134;
    if (id >= 1141 && id <= 1143) s.parkingFrontQuality = id - 1140;
    if (id >= 1144 && id <= 1146) s.parkingRearQuality = id - 1143;
    switch (id) {
    case 1147:
        s.parkingMode = 1;
        break;
    case 1148:
        ConfirmParkingOff();
        break;
    case 1149:
    case 1150:
        s.motionDetection = id == 1149 ? 1 : 0;
        m_sensitivity->setEnabled(id == 1149);
        break;
    case 1170:
        if (m_motion.exec() == CMotionDlg::kResultConfirm) {
            s.motionAreaFront = CMotionDlg::Pack(m_motion.front);
            s.motionAreaRear = CMotionDlg::Pack(m_motion.rear);
        }
        break;
    default:
        break;
    }
}

void CParkingDlg::ConfirmParkingOff()
{
    if (!IsChecked(1148) || m_settings.parkingMode == 0) return;
    CMsgPopupDlg popup(this);
    popup.SetPopup(Text(104), ModelTextWithSecondLine(m_profile, 177), 330, 150);
    if (popup.exec() == CMsgPopupDlg::kIdYes) {
        m_settings.parkingMode = 0;
        return;
    }
    CheckRadio(1147);
    Control(1147)->setFocus(Qt::OtherFocusReason);
    SetChecked(1148, false);
}

void CParkingDlg::OnTrackBar(QSlider *slider, int position)
{
    CameraSettings &s = m_settings;
    if (slider == m_impact) s.parkingImpactSensitivity = position;
    if (slider == m_sensitivity) s.motionSensitivity = MotionSensitivityValue(position);
    if (slider == m_timer) s.stopTimerHours = StopTimerHours(position);
    if (slider == m_cutoff12) s.cutoffVoltage12 = position;
    if (slider == m_cutoff24) s.cutoffVoltage24 = position;
}

void CParkingDlg::PaintContent(QPainter &p)
{
    for (int id : kHeadings)
        DrawHeadingLine(p, id, id == 1113 ? 20 : 12);
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
