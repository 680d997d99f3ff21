#include "dialogs/normal_dlg.h"

#include <QLabel>
#include <QPainter>
#include <QSlider>

namespace
{
enum { kFrontResolution, kRearResolution, kFrames, kRearFrames, kFrontQuality, kRearQuality };
} // namespace

CNormalDlg::CNormalDlg(QWidget *parent, CameraSettings &settings, const DialogProfile &profile)
    : CTabDlg(parent, settings, profile, 1260, 0, 0)
{
    for (int id : {1201, 1204, 1207, 1210})
        AddLabel(id, m_headingFont);
    for (int id : {1202, 1203, 1205, 1206, 1208, 1209, 1211, 1212})
        AddLabel(id, m_textFont);
    for (int id : {1231, 1232, 1233})
        AddRadio(id, kFrontResolution);
    for (int id : {1234, 1235})
        AddRadio(id, kRearResolution);
    for (int id : {1236, 1237, 1238})
        AddRadio(id, kFrames);
    for (int id : {1239, 1240, 1241})
        AddRadio(id, kRearFrames);
    for (int id : {1243, 1244, 1245})
        AddRadio(id, kFrontQuality);
    for (int id : {1246, 1247, 1248})
        AddRadio(id, kRearQuality);
    m_impact = NewTrackBar(1250);
    // The rear frame row is never shown: the rear frame rate follows the front one.
    for (int id : {1205, 1206, 1239, 1240, 1241})
        Control(id)->hide();
    if (profile.layoutOnce) Layout();
}

void CNormalDlg::Layout()
{
    auto heading = [this](int id, int number, int y) {
        const QString t = Text(number);
        Place(id, t, 15, y, TextWidth(t, 6, 10), 14);
    };
    auto label = [this](int id, int number, int x, int y) {
        const QString t = Text(number);
        Place(id, t, x, y, TextWidth(t, 6, 10), 13);
    };
    auto radio = [this](int id, int number, int x, int y, int width) {
        Place(id, Text(number), x, y, width, 25);
    };
    heading(1201, 120, 20);
    label(1202, 110, 25, 50);
    radio(1231, 129, 80, 43, 110);
    radio(1232, 130, 210, 43, 110);
    radio(1233, 131, 340, 43, 130);
    label(1203, 111, 25, 80);
    radio(1234, 180, 80, 73, 110);
    radio(1235, 130, 210, 73, 130);
    heading(1204, 121, 131);
    label(1205, 110, 25, 161);
    radio(1236, 132, 25, 154, 110);
    radio(1237, 133, 175, 154, 110);
    radio(1238, 134, 325, 154, 130);
    label(1206, 111, 25, 191);
    radio(1239, 132, 80, 184, 110);
    radio(1240, 133, 210, 184, 110);
    radio(1241, 134, 340, 184, 130);
    heading(1207, 122, 212);
    label(1208, 110, 25, 240);
    radio(1243, 123, 80, 235, 110);
    radio(1244, 124, 210, 235, 110);
    radio(1245, 125, 340, 235, 130);
    label(1209, 111, 25, 272);
    radio(1246, 123, 80, 265, 110);
    radio(1247, 124, 210, 265, 110);
    radio(1248, 125, 340, 265, 130);
    heading(1210, 126, 323);
    label(1211, 127, 45, 358);
    const QRect left = Control(1211)->geometry();
    PlaceAt(1250, left.left() + left.width(), 343, 300, 42);
    label(1212, 128, left.left() + left.width() + 300, 358);
    SetTrackRange(m_impact, 1, 10, 7);
}

void CNormalDlg::RefreshControls()
{
    if (!m_profile.layoutOnce) {
        Layout();
        update();
    }
    const CameraSettings &s = m_settings;
    CheckByValue({1231, 1232, 1233}, {1, 2, 3}, s.normalFrontResolution, 1233);
    CheckByValue({1234, 1235}, {1, 2}, s.normalRearResolution, 1235);
    CheckByValue({1236, 1237, 1238}, {1, 2, 3}, s.normalFrontFrameRate, 1238);
    CheckByValue({1239, 1240, 1241}, {1, 2, 3}, s.normalRearFrameRate, 1241);
    CheckByValue({1243, 1244, 1245}, {1, 2, 3}, s.normalFrontQuality, 1245);
    CheckByValue({1246, 1247, 1248}, {1, 2, 3}, s.normalRearQuality, 1248);
    SetTrackPos(m_impact, s.normalImpactSensitivity);
}

void CNormalDlg::OnCommand(int id)
{
    CameraSettings &s = m_settings;
    if (id >= 1231 && id <= 1233) s.normalFrontResolution = id - 1230;
    if (id >= 1234 && id <= 1235) s.normalRearResolution = id - 1233;
    if (id >= 1236 && id <= 1238) s.normalFrontFrameRate = s.normalRearFrameRate = id - 1235;
    if (id >= 1243 && id <= 1245) s.normalFrontQuality = id - 1242;
    if (id >= 1246 && id <= 1248) s.normalRearQuality = id - 1245;
}

void CNormalDlg::OnTrackBar(QSlider *slider, int position)
{
    if (slider == m_impact) m_settings.normalImpactSensitivity = position;
}

void CNormalDlg::PaintContent(QPainter &p)
{
    for (int id : {1201, 1204, 1207, 1210})
        DrawHeadingLine(p, id, 12);
    const int f = (m_impact->width() - 30) / 9;
    DrawTrackLabel(p, m_impact, 10, QStringLiteral("1"));
    DrawTrackLabel(p, m_impact, 10 + 4 * f, QStringLiteral("5"));
    DrawTrackLabel(p, m_impact, 10 + 9 * f, QStringLiteral("10"));
}
