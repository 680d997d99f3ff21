#include "dialogs/normal_dlg.h"

#include "dialogs/control_ids.h"

#include <QLabel>
#include <QPainter>
#include <QSlider>

namespace {
const RecordingSectionIds kRecording = {
    IDC_NORMAL_RESOLUTION_HEADING,
    IDC_NORMAL_RESOLUTION_FRONT_LABEL,
    {IDC_NORMAL_FRONT_VGA, IDC_NORMAL_FRONT_HD, IDC_NORMAL_FRONT_FHD},
    IDC_NORMAL_RESOLUTION_REAR_LABEL,
    {IDC_NORMAL_REAR_D1, IDC_NORMAL_REAR_HD},
    IDC_NORMAL_FRAMES_HEADING,
    IDC_NORMAL_FRAMES_FRONT_LABEL,
    {IDC_NORMAL_FRAMES_10, IDC_NORMAL_FRAMES_15, IDC_NORMAL_FRAMES_30},
    IDC_NORMAL_FRAMES_REAR_LABEL,
    {IDC_NORMAL_REAR_FRAMES_10, IDC_NORMAL_REAR_FRAMES_15, IDC_NORMAL_REAR_FRAMES_30},
    IDC_NORMAL_QUALITY_HEADING,
    IDC_NORMAL_QUALITY_FRONT_LABEL,
    {IDC_NORMAL_FRONT_QUALITY_LOW, IDC_NORMAL_FRONT_QUALITY_MID, IDC_NORMAL_FRONT_QUALITY_HIGH},
    IDC_NORMAL_QUALITY_REAR_LABEL,
    {IDC_NORMAL_REAR_QUALITY_LOW, IDC_NORMAL_REAR_QUALITY_MID, IDC_NORMAL_REAR_QUALITY_HIGH},
    IDC_NORMAL_IMPACT_HEADING,
    IDC_NORMAL_IMPACT_LOW_LABEL,
    IDC_NORMAL_IMPACT,
    IDC_NORMAL_IMPACT_HIGH_LABEL};

RecordingFields NormalFields(CameraSettings &s)
{
    return {&s.normalFrontResolution, &s.normalRearResolution, &s.normalFrontFrameRate,
            &s.normalRearFrameRate,   &s.normalFrontQuality,   &s.normalRearQuality};
}
} // namespace

CNormalDlg::CNormalDlg(QWidget *parent, CameraSettings &settings, const DialogProfile &profile)
    : CTabDlg(parent, settings, profile, IDC_NORMAL_FOCUS, 0, 0)
{
    for (int id : {IDC_NORMAL_RESOLUTION_HEADING, IDC_NORMAL_FRAMES_HEADING,
                   IDC_NORMAL_QUALITY_HEADING, IDC_NORMAL_IMPACT_HEADING})
        AddLabel(id, m_headingFont);
    for (int id : {IDC_NORMAL_RESOLUTION_FRONT_LABEL, IDC_NORMAL_RESOLUTION_REAR_LABEL,
                   IDC_NORMAL_FRAMES_FRONT_LABEL, IDC_NORMAL_FRAMES_REAR_LABEL,
                   IDC_NORMAL_QUALITY_FRONT_LABEL, IDC_NORMAL_QUALITY_REAR_LABEL,
                   IDC_NORMAL_IMPACT_LOW_LABEL, IDC_NORMAL_IMPACT_HIGH_LABEL})
        AddLabel(id, m_textFont);
    AddRecordingRadios(kRecording);
    m_impact = NewTrackBar(IDC_NORMAL_IMPACT);
    // The rear frame row is never shown: the rear frame rate follows the front one.
    for (int id : {IDC_NORMAL_FRAMES_FRONT_LABEL, IDC_NORMAL_FRAMES_REAR_LABEL,
                   IDC_NORMAL_REAR_FRAMES_10, IDC_NORMAL_REAR_FRAMES_15, IDC_NORMAL_REAR_FRAMES_30})
        Control(id)->hide();
    if (profile.layoutOnce)
        Layout();
}

void CNormalDlg::Layout()
{
    LayoutRecordingSection(kRecording, 20);
    SetTrackRange(m_impact, 1, 10, 7);
}

void CNormalDlg::RefreshControls()
{
    if (!m_profile.layoutOnce) {
        Layout();
        update();
    }
    CheckRecordingSection(kRecording, NormalFields(m_settings), IDC_NORMAL_FRAMES_30,
                          IDC_NORMAL_REAR_FRAMES_30);
    SetTrackPos(m_impact, m_settings.normalImpactSensitivity);
}

void CNormalDlg::OnCommand(int id)
{
    StoreRecordingChoice(kRecording, NormalFields(m_settings), id);
}

void CNormalDlg::OnTrackBar(QSlider *slider, int position)
{
    if (slider == m_impact)
        m_settings.normalImpactSensitivity = position;
}

void CNormalDlg::PaintContent(QPainter &p)
{
    for (int id : {IDC_NORMAL_RESOLUTION_HEADING, IDC_NORMAL_FRAMES_HEADING,
                   IDC_NORMAL_QUALITY_HEADING, IDC_NORMAL_IMPACT_HEADING})
        DrawHeadingLine(p, id, 12);
    const int f = (m_impact->width() - 30) / 9;
    DrawTrackLabel(p, m_impact, 10, QStringLiteral("1"));
    DrawTrackLabel(p, m_impact, 10 + 4 * f, QStringLiteral("5"));
    DrawTrackLabel(p, m_impact, 10 + 9 * f, QStringLiteral("10"));
}
