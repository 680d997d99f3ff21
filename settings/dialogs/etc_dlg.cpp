#include "dialogs/etc_dlg.h"

#include "formatter/qt_format_ui.h"

#include <QAbstractButton>
#include <QLabel>
#include <QPainter>
#include <QPushButton>

namespace
{
enum { kLed, kPartition };

const int kChecks[5] = {1320, 1321, 1322, 1323, 1324};
const int kLegend[5] = {1306, 1307, 1308, 1309, 1310};
} // namespace

CEtcDlg::CEtcDlg(QWidget *parent, CameraSettings &settings, const DialogProfile &profile)
    : CTabDlg(parent, settings, profile, 1342, 240, 80)
{
    m_job.profile = &FormatProfileFor(profile.model);
    for (int id : {1300, 1301, 1305, 1340})
        AddLabel(id, m_headingFont);
    for (int id : {1302, 1303, 1304, 1306, 1307, 1308, 1309, 1310, 1312, 1313, 1314, 1315, 1316})
        AddLabel(id, m_textFont);
    AddCheck(1325);
    for (int id : kChecks)
        AddCheck(id);
    for (int id : {1330, 1331, 1332, 1333})
        AddRadio(id, kLed);
    for (int id : {1334, 1335, 1336})
        AddRadio(id, kPartition);
    AddPushButton(1341);
    Control(1324)->hide();
    for (int i = 0; i < 3; ++i) {
        m_leds[i] = SkinCanvas(231, 16);
        DrawPng(m_leds[i], 172 + i);
    }
}

void CEtcDlg::Layout()
{
    auto place = [this](int id, int number, int x, int y, int perChar, int extra, int height) {
        const QString t = Text(number);
        Place(id, t, x, y, TextWidth(t, perChar, extra), height);
    };
    place(1300, 145, 15, 20, 7, 10, 14);
    place(1325, 166, 25, 43, 6, 20, 25);
    place(1320, 147, 25, 68, 6, 20, 25);
    place(1321, 148, 25, 93, 6, 20, 25);
    place(1322, 149, 25, 118, 6, 20, 25);
    place(1323, 150, 25, 143, 6, 20, 25);
    place(1324, 146, 25, 168, 6, 20, 25);
    place(1301, 155, 15, 201, 6, 20, 14);
    place(1330, 151, 25, 224, 6, 20, 25);
    place(1302, 168, 355, 231, 6, 20, 14);
    place(1331, 152, 25, 249, 6, 20, 25);
    place(1303, 169, 355, 256, 6, 20, 14);
    place(1332, 153, 25, 274, 6, 20, 25);
    place(1304, 170, 110, 282, 6, 20, 14);
    place(1333, 154, 25, 299, 6, 20, 25);
    place(1305, 156, 15, 357, 6, 15, 14);
    place(1334, 157, 25, 380, 7, 0, 25);
    const bool narrow = m_profile.narrowPartitionRadios;
    // A radio made wider than its template width for its text pushes the next one right.
    auto after = [this](int id, int x) {
        const QRect r = Control(id)->geometry();
        return std::max(x, r.left() + r.width() + 6);
    };
    place(1335, 158, after(1334, 177), 380, narrow ? 6 : 7, narrow ? 20 : 10, 25);
    place(1336, 159, after(1335, 309), 380, narrow ? 6 : 7, narrow ? 20 : 10, 25);
    place(1306, 171, 25, 418, 6, 8, 14);
    place(1307, 172, 25, 448, 6, 8, 14);
    place(1308, 173, 25, 478, 6, 8, 14);
    place(1309, 174, 25, 508, 6, 0, 14);
    place(1310, 175, 25, 538, 6, 0, 14);
    const int left = PercentLeft();
    for (int k = 0; k < 5; ++k)
        PlaceAt(1312 + k, left, 418 + 30 * k, 3 * 6 + 20, 14);
    place(1340, 160, 15, 588, 7, 20, 14);
    place(1341, 161, 25, 611, 6, 20, 25);
}

int CEtcDlg::PercentLeft() const
{
    // From the tab's left edge, not from the legend's own x.
    int widest = 0;
    for (int id : kLegend)
        widest = std::max(widest, TextWidth(Text(id - 1306 + 171), 6, 8));
    return 20 + widest;
}

CEtcDlg::Bar CEtcDlg::PartitionBar(int kind) const
{
    const int type = m_settings.memoryPartition;
    const PartitionShares &shares = m_profile.partitions[type >= 1 && type <= 3 ? type - 1 : 0];
    if (kind == 4 && m_profile.fixedManualShare) return {8, QStringLiteral("2.9%")};
    const float share = shares.share[kind];
    // The product in double precision, truncated: 0.03f gives 8, not 9.
    return {int(double(share) * 300.0), QString::asprintf("%3.1f%%", double(share) * 100.0)};
}

QRect CEtcDlg::BarRect(int kind) const
{
    const QRect label = Control(1312)->geometry();
    const QRect typeA = Control(1334)->geometry();
    return QRect(label.left() + label.width() + 10, typeA.top() + typeA.height() + 10 + 30 * kind,
                 PartitionBar(kind).width, 15);
}

void CEtcDlg::RefreshControls()
{
    ScrollTo(0);
    Layout();
    SetChecked(1325, true);
    Control(1325)->setEnabled(false);
    const int32_t values[5] = {m_settings.overwriteNormalEvent, m_settings.overwriteParkingMotion,
                               m_settings.overwriteParkingEvent, m_settings.overwriteManual,
                               m_settings.overwriteCapture};
    for (int i = 0; i < 5; ++i)
        SetChecked(kChecks[i], values[i] != 0);
    // Exactly one LED radio for 0 to 3; any other value checks none.
    CheckByValue({1330, 1331, 1332, 1333}, {1, 2, 3, 0}, m_settings.securityLed, -1);
    const int type = m_settings.memoryPartition;
    CheckRadio(type == 2 ? 1335 : type == 3 ? 1336 : 1334);
    RepaintDiagram();
}

void CEtcDlg::RepaintDiagram()
{
    for (int k = 0; k < 5; ++k) {
        const Bar bar = PartitionBar(k);
        if (auto *label = ControlAs<QLabel>(1312 + k)) label->setText(bar.label);
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
        if (id == kChecks[i]) *fields[i] = IsChecked(id) ? 1 : 0;
    if (id == 1325) SetChecked(1325, true);
    if (id >= 1330 && id <= 1333) s.securityLed = id == 1333 ? 0 : id - 1329;
    if (id >= 1334 && id <= 1336) {
        s.memoryPartition = id - 1333;
        RepaintDiagram();
    }
    if (id == 1341) ConfirmFormat();
}

void CEtcDlg::ConfirmFormat()
{
    // The popup and the message boxes belong to this tab while the format runs.
    CQtFormatUi ui(this);
    FormatJob job = m_job;
    job.ui = &ui;
    if (ConfirmCardFormat(ui, *job.profile)) SDCardFormat(job);
}

void CEtcDlg::PaintContent(QPainter &p)
{
    for (int id : {1300, 1301, 1305, 1340})
        DrawHeadingLine(p, id, 12);
    // Picture 174 belongs to mode 3, which depends on the recording mode and has none.
    for (int i = 0; i < 2; ++i) {
        const QRect r = Control(1330 + i)->geometry();
        p.drawImage(r.left() + r.width() + 15, r.top() + 5, m_leds[i].image);
    }
    for (int k = 0; k < 5; ++k)
        if (m_bars[k].IsValid() && PartitionBar(k).width > 0)
            p.drawImage(BarRect(k).topLeft(), m_bars[k].image);
}
