#include "dialogs/etc_dlg.h"

#include "dialogs/control_ids.h"

#include "formatter/qt_format_ui.h"

#include <QAbstractButton>
#include <QLabel>
#include <QPainter>
#include <QPushButton>

namespace {
enum { kLed, kPartition };

const int kChecks[5] = {IDC_ETC_OVERWRITE_NORMAL_EVENT, IDC_ETC_OVERWRITE_PARKING_MOTION,
                        IDC_ETC_OVERWRITE_PARKING_EVENT, IDC_ETC_OVERWRITE_MANUAL,
                        IDC_ETC_OVERWRITE_CAPTURE};
const int kLegend[5] = {IDC_ETC_LEGEND_CONTINUOUS, IDC_ETC_LEGEND_NORMAL_EVENT,
                        IDC_ETC_LEGEND_PARKING_MOTION, IDC_ETC_LEGEND_PARKING_EVENT,
                        IDC_ETC_LEGEND_MANUAL};
} // namespace

CEtcDlg::CEtcDlg(QWidget *parent, CameraSettings &settings, const DialogProfile &profile)
    : CTabDlg(parent, settings, profile, IDC_ETC_FOCUS, 240, 80)
{
    m_job.profile = &profile.format;
    for (int id : {IDC_ETC_OVERWRITE_HEADING, IDC_ETC_LED_HEADING, IDC_ETC_PARTITION_HEADING,
                   IDC_ETC_FORMAT_HEADING})
        AddLabel(id, m_headingFont);
    for (int id : {IDC_ETC_LED_MODE_1_LABEL, IDC_ETC_LED_MODE_2_LABEL, IDC_ETC_LED_MODE_3_LABEL,
                   IDC_ETC_LEGEND_CONTINUOUS, IDC_ETC_LEGEND_NORMAL_EVENT,
                   IDC_ETC_LEGEND_PARKING_MOTION, IDC_ETC_LEGEND_PARKING_EVENT,
                   IDC_ETC_LEGEND_MANUAL, IDC_ETC_SHARE_CONTINUOUS, IDC_ETC_SHARE_NORMAL_EVENT,
                   IDC_ETC_SHARE_PARKING_MOTION, IDC_ETC_SHARE_PARKING_EVENT, IDC_ETC_SHARE_MANUAL})
        AddLabel(id, m_textFont);
    AddCheck(IDC_ETC_OVERWRITE_CONTINUOUS);
    for (int id : kChecks)
        AddCheck(id);
    for (int id : {IDC_ETC_LED_MODE_1, IDC_ETC_LED_MODE_2, IDC_ETC_LED_MODE_3, IDC_ETC_LED_OFF})
        AddRadio(id, kLed);
    for (int id : {IDC_ETC_PARTITION_A, IDC_ETC_PARTITION_B, IDC_ETC_PARTITION_C})
        AddRadio(id, kPartition);
    AddPushButton(IDC_ETC_FORMAT);
    Control(IDC_ETC_OVERWRITE_CAPTURE)->hide();
    for (int i = 0; i < 3; ++i) {
        m_leds[i] = SkinCanvas(231, 16);
        DrawPng(m_leds[i], 172 + i);
    }
}

void CEtcDlg::Layout()
{
    PlaceHeading(IDC_ETC_OVERWRITE_HEADING, 145, 20, 7, 10);
    PlaceButton(IDC_ETC_OVERWRITE_CONTINUOUS, 166, 25, 43);
    PlaceButton(IDC_ETC_OVERWRITE_NORMAL_EVENT, 147, 25, 68);
    PlaceButton(IDC_ETC_OVERWRITE_PARKING_MOTION, 148, 25, 93);
    PlaceButton(IDC_ETC_OVERWRITE_PARKING_EVENT, 149, 25, 118);
    PlaceButton(IDC_ETC_OVERWRITE_MANUAL, 150, 25, 143);
    PlaceButton(IDC_ETC_OVERWRITE_CAPTURE, 146, 25, 168);
    PlaceHeading(IDC_ETC_LED_HEADING, 155, 201, 6, 20);
    PlaceButton(IDC_ETC_LED_MODE_1, 151, 25, 224);
    PlaceText(IDC_ETC_LED_MODE_1_LABEL, 168, 355, 231, 6, 20, 14);
    PlaceButton(IDC_ETC_LED_MODE_2, 152, 25, 249);
    PlaceText(IDC_ETC_LED_MODE_2_LABEL, 169, 355, 256, 6, 20, 14);
    PlaceButton(IDC_ETC_LED_MODE_3, 153, 25, 274);
    PlaceText(IDC_ETC_LED_MODE_3_LABEL, 170, 110, 282, 6, 20, 14);
    PlaceButton(IDC_ETC_LED_OFF, 154, 25, 299);
    PlaceHeading(IDC_ETC_PARTITION_HEADING, 156, 357, 6, 15);
    PlaceText(IDC_ETC_PARTITION_A, 157, 25, 380, 7, 0, 25);
    const bool narrow = m_profile.narrowPartitionRadios;
    // A radio made wider than its template width for its text pushes the next one right.
    auto after = [this](int id, int x) { return std::max(x, RightOf(id) + 6); };
    PlaceText(IDC_ETC_PARTITION_B, 158, after(IDC_ETC_PARTITION_A, 177), 380, narrow ? 6 : 7,
              narrow ? 20 : 10, 25);
    PlaceText(IDC_ETC_PARTITION_C, 159, after(IDC_ETC_PARTITION_B, 309), 380, narrow ? 6 : 7,
              narrow ? 20 : 10, 25);
    PlaceText(IDC_ETC_LEGEND_CONTINUOUS, 171, 25, 418, 6, 8, 14);
    PlaceText(IDC_ETC_LEGEND_NORMAL_EVENT, 172, 25, 448, 6, 8, 14);
    PlaceText(IDC_ETC_LEGEND_PARKING_MOTION, 173, 25, 478, 6, 8, 14);
    PlaceText(IDC_ETC_LEGEND_PARKING_EVENT, 174, 25, 508, 6, 0, 14);
    PlaceText(IDC_ETC_LEGEND_MANUAL, 175, 25, 538, 6, 0, 14);
    const int left = PercentLeft();
    for (int k = 0; k < 5; ++k)
        PlaceAt(IDC_ETC_SHARE_CONTINUOUS + k, left, 418 + 30 * k, 3 * 6 + 20, 14);
    PlaceHeading(IDC_ETC_FORMAT_HEADING, 160, 588, 7, 20);
    PlaceButton(IDC_ETC_FORMAT, 161, 25, 611);
}

int CEtcDlg::PercentLeft() const
{
    // From the tab's left edge, not from the legend's own x.
    int widest = 0;
    for (int id : kLegend)
        widest = std::max(widest, TextWidth(Text(id - IDC_ETC_LEGEND_CONTINUOUS + 171), 6, 8));
    return 20 + widest;
}

CEtcDlg::Bar CEtcDlg::PartitionBar(int kind) const
{
    const int type = m_settings.memoryPartition;
    const PartitionShares &shares = m_profile.partitions[type >= 1 && type <= 3 ? type - 1 : 0];
    if (kind == 4 && m_profile.fixedManualShare)
        return {8, QStringLiteral("2.9%")};
    const float share = shares.share[kind];
    // The product in double precision, truncated: 0.03f gives 8, not 9.
    return {int(double(share) * 300.0), QString::asprintf("%3.1f%%", double(share) * 100.0)};
}

QRect CEtcDlg::BarRect(int kind) const
{
    const QRect label = Control(IDC_ETC_SHARE_CONTINUOUS)->geometry();
    const QRect typeA = Control(IDC_ETC_PARTITION_A)->geometry();
    return QRect(label.left() + label.width() + 10, typeA.top() + typeA.height() + 10 + 30 * kind,
                 PartitionBar(kind).width, 15);
}

void CEtcDlg::RefreshControls()
{
    ScrollTo(0);
    Layout();
    SetChecked(IDC_ETC_OVERWRITE_CONTINUOUS, true);
    Control(IDC_ETC_OVERWRITE_CONTINUOUS)->setEnabled(false);
    const int32_t values[5] = {m_settings.overwriteNormalEvent, m_settings.overwriteParkingMotion,
                               m_settings.overwriteParkingEvent, m_settings.overwriteManual,
                               m_settings.overwriteCapture};
    for (int i = 0; i < 5; ++i)
        SetChecked(kChecks[i], values[i] != 0);
    // Exactly one LED radio for 0 to 3; any other value checks none.
    CheckByValue({IDC_ETC_LED_MODE_1, IDC_ETC_LED_MODE_2, IDC_ETC_LED_MODE_3, IDC_ETC_LED_OFF},
                 {1, 2, 3, 0}, m_settings.securityLed, -1);
    const int type = m_settings.memoryPartition;
    CheckRadio(type == 2   ? IDC_ETC_PARTITION_B
               : type == 3 ? IDC_ETC_PARTITION_C
                           : IDC_ETC_PARTITION_A);
    RepaintDiagram();
}

void CEtcDlg::RepaintDiagram()
{
    for (int k = 0; k < 5; ++k) {
        const Bar bar = PartitionBar(k);
        if (auto *label = ControlAs<QLabel>(IDC_ETC_SHARE_CONTINUOUS + k))
            label->setText(bar.label);
        m_bars[k] = SkinCanvas(std::max(bar.width, 1), 15);
        DrawNinePatch(m_bars[k], 175 + k);
    }
    Content()->update(QRect(110, 400, 512, 180));
}

void CEtcDlg::OnCommand(int id)
{
    CameraSettings &s = m_settings;
    int32_t *fields[5] = {&s.overwriteNormalEvent, &s.overwriteParkingMotion,
                          &s.overwriteParkingEvent, &s.overwriteManual, &s.overwriteCapture};
    for (int i = 0; i < 5; ++i)
        if (id == kChecks[i])
            *fields[i] = IsChecked(id) ? 1 : 0;
    if (id == IDC_ETC_OVERWRITE_CONTINUOUS)
        SetChecked(IDC_ETC_OVERWRITE_CONTINUOUS, true);
    if (id >= IDC_ETC_LED_MODE_1 && id <= IDC_ETC_LED_OFF)
        s.securityLed = id == IDC_ETC_LED_OFF ? 0 : id - IDC_ETC_LED_MODE_1 + 1;
    if (id >= IDC_ETC_PARTITION_A && id <= IDC_ETC_PARTITION_C) {
        s.memoryPartition = id - IDC_ETC_PARTITION_A + 1;
        RepaintDiagram();
    }
    if (id == IDC_ETC_FORMAT)
        ConfirmFormat();
}

void CEtcDlg::ConfirmFormat()
{
    // The popup and the message boxes belong to this tab while the format runs.
    CQtFormatUi ui(this);
    FormatJob job = m_job;
    job.ui = &ui;
    if (ConfirmCardFormat(ui, *job.profile))
        SDCardFormat(job);
}

void CEtcDlg::PaintContent(QPainter &p)
{
    for (int id : {IDC_ETC_OVERWRITE_HEADING, IDC_ETC_LED_HEADING, IDC_ETC_PARTITION_HEADING,
                   IDC_ETC_FORMAT_HEADING})
        DrawHeadingLine(p, id, 12);
    // Picture 174 belongs to mode 3, which depends on the recording mode and has none.
    for (int i = 0; i < 2; ++i) {
        const QRect r = Control(IDC_ETC_LED_MODE_1 + i)->geometry();
        p.drawImage(r.left() + r.width() + 15, r.top() + 5, m_leds[i].image);
    }
    for (int k = 0; k < 5; ++k)
        if (m_bars[k].IsValid() && PartitionBar(k).width > 0)
            p.drawImage(BarRect(k).topLeft(), m_bars[k].image);
}
