// Renders the skinned controls and the popups to PNG files so that a person can look at the
// skin: the main dialog with its tabs, every button in every state, the motion area dialog
// and the two popups.
//
//   q7_skin_render OUTPUT_DIR            (QT_QPA_PLATFORM=offscreen: no display needed)
//   q7_skin_render OUTPUT_DIR --screen   also shows the main dialog and the popups as real
//                                        windows and saves what the screen shows (for X11/Xvfb)

#include "file/debug_log.h"
#include "skin/msg_popup_dlg.h"
#include "skin/prog_popup_dlg.h"
#include "skin/rbutton.h"
#include "skin/rstatic_text.h"
#include "skin/skin_image.h"
#include "skin/sub_slider.h"

#include <QApplication>
#include <QDir>
#include <QPainter>
#include <QScreen>
#include <QElapsedTimer>
#include <QThread>
#include <QWindow>
#include <QWidget>

#include <cstdio>
#include <cstring>

namespace {

// A window whose background is a nine-patch canvas, as the skinned dialogs have.
class Panel : public QWidget
{
public:
    Panel(int w, int h, int backgroundId) : m_bg(w, h)
    {
        setFixedSize(w, h);
        DrawNinePatch(m_bg, backgroundId);
    }
    SkinCanvas &Background() { return m_bg; }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        p.drawImage(0, 0, m_bg.image);
    }

private:
    SkinCanvas m_bg;
};

const SkinTextStyle kTitleStyle{"K420 Setting", 0xE9DFD6, 0xFFFFFF, 0xFFFFFF, 14, 0};
const SkinTextStyle kTabStyle{"", 0xB19477, 0xB19477, 0xFFFFFF, 14, 1};
const SkinTextStyle kButtonStyle{"", 0xC8BBB0, 0xFFFFFF, 0xFFFFFF, 14, 1};

SkinTextStyle WithText(SkinTextStyle s, const char *text)
{
    s.text = QString::fromUtf8(text);
    return s;
}

bool Save(QWidget &w, const QString &dir, const char *name)
{
    const QString path = dir + "/" + name;
    if (!w.grab().save(path, "PNG")) {
        DebugLogF("cannot write %s", qPrintable(path));
        return false;
    }
    std::printf("%s\n", qPrintable(path));
    return true;
}

// The main dialog: title, four tabs (the first selected), title bar buttons, a tab page with
// a slider, and the three push buttons.
void BuildMainDialog(Panel &dlg)
{
    dlg.setWindowTitle("K420 Setting");
    SkinCanvas &bg = dlg.Background();
    {
        // What a tab page covers.
        QPainter p(&bg.image);
        p.fillRect(QRect(11, 85, 600, 437), Qt::white);
    }
    auto *title = new CRStaticText(QRect(11, 7, 400, 20), &dlg, 2001);
    title->SetText(&kTitleStyle, CreateSkinFont(14, 700), &bg);
    const char *tabs[4] = {"Common", "Continuous", "Parking", "Additional"};
    const int tabImages[4][4] = {
        {146, 143, 144, 145}, {150, 147, 148, 149}, {150, 147, 148, 149}, {154, 151, 152, 153}};
    for (int i = 0; i < 4; ++i) {
        auto *tab = new CRButton(QRect(11 + 150 * i, 48, 150, 37), &dlg, 2200 + i);
        const SkinTextStyle s = WithText(kTabStyle, tabs[i]);
        tab->SetSelectedImage(tabImages[i][0]);
        tab->SetNinePatchImages(&s, tabImages[i][1], tabImages[i][2], tabImages[i][3], &bg);
        tab->SetState(i == 0 ? CRButton::kSelected : CRButton::kNormal);
        tab->SetSticky(i == 0);
    }
    (new CRButton(QRect(548, 0, 29, 26), &dlg, 2300))->SetImages(155, 156, 157, &bg);
    (new CRButton(QRect(577, 0, 29, 26), &dlg, 2301))->SetImages(158, 159, 160, &bg);
    const char *buttons[3] = {"Initialize", "Cancel", "Save"};
    const QRect rects[3] = {QRect(8, 546, 221, 29), QRect(410, 546, 100, 29),
                            QRect(514, 546, 100, 29)};
    for (int i = 0; i < 3; ++i) {
        const SkinTextStyle s = WithText(kButtonStyle, buttons[i]);
        (new CRButton(rects[i], &dlg, 2302 + i))->SetNinePatchImages(&s, 161, 162, 163, &bg);
    }
    auto *slider = new CSubSlider(&dlg);
    slider->setGeometry(40, 120, 200, 30);
    slider->setRange(0, 7);
    slider->setValue(7);
    slider->SetValueKind(CSubSlider::kStopTimer);
}

// Every button in every state, and the plain pictures, on the main dialog's background.
void BuildStateSheet(Panel &sheet)
{
    SkinCanvas &bg = sheet.Background();
    const int tabImages[3][4] = {{143, 144, 145, 146}, {147, 148, 149, 150}, {151, 152, 153, 154}};
    for (int kind = 0; kind < 3; ++kind) {
        for (int state = 0; state < 4; ++state) {
            auto *b = new CRButton(QRect(10 + 155 * state, 48 + 42 * kind, 150, 37), &sheet, 1);
            const SkinTextStyle s = WithText(kTabStyle, "Tab");
            b->SetSelectedImage(tabImages[kind][3]);
            b->SetNinePatchImages(&s, tabImages[kind][0], tabImages[kind][1], tabImages[kind][2],
                                  &bg);
            b->SetState(state);
        }
    }
    for (int state = 0; state < 3; ++state) {
        auto *b = new CRButton(QRect(10 + 130 * state, 230, 120, 29), &sheet, 1);
        const SkinTextStyle s = WithText(kButtonStyle, "Button");
        b->SetNinePatchImages(&s, 161, 162, 163, &bg);
        b->SetState(state);
        const int plain[3] = {155, 158, 165};
        for (int kind = 0; kind < 3; ++kind) {
            auto *t = new CRButton(QRect(10 + 110 * kind + 34 * state, 2, kind == 2 ? 30 : 29, 26),
                                   &sheet, 1);
            t->SetImages(plain[kind] + 0, plain[kind] + 1, plain[kind] + 2, &bg);
            t->SetState(state);
        }
    }
    QPainter p(&bg.image);
    for (int i = 0; i < 5; ++i) {
        SkinCanvas bar(40 + 30 * i, 15);
        DrawNinePatch(bar, 175 + i);
        p.drawImage(10, 280 + 20 * i, bar.image);
    }
    for (int i = 0; i < 3; ++i) {
        SkinCanvas led(231, 16);
        DrawPng(led, 172 + i);
        p.drawImage(260, 280 + 22 * i, led.image);
    }
    for (int i = 0; i < 2; ++i) {
        SkinCanvas cell(48, 30);
        DrawPng(cell, 169 + i);
        p.drawImage(10 + 58 * i, 390, cell.image);
    }
}

// The motion area dialog: background 164, the two camera pictures under their cell grids
// (every second cell selected), labels and buttons.
void BuildMotionDialog(Panel &dlg)
{
    SkinCanvas &bg = dlg.Background();
    QPainter p(&bg.image);
    p.fillRect(QRect(10, 95, 444, 150), Qt::white);
    SkinCanvas front(197, 94), rear(197, 94), off(48, 30), on(48, 30);
    DrawPng(front, 168);
    DrawPng(rear, 171);
    DrawPng(off, 169);
    DrawPng(on, 170);
    p.drawImage(25, 135, front.image);
    p.drawImage(240, 135, rear.image);
    p.setOpacity(150 / 255.0);
    for (int grid = 0; grid < 2; ++grid)
        for (int row = 0; row < 3; ++row)
            for (int col = 0; col < 4; ++col)
                p.drawImage(26 + 215 * grid + 49 * col, 136 + 31 * row,
                            ((row + col) % 2 ? on : off).image);
    p.end();
    const SkinTextStyle title{"Motion detection area", 0xE9DFD6, 0xFFFFFF, 0xFFFFFF, 14, 0};
    (new CRStaticText(QRect(11, 7, 200, 20), &dlg, 2002))
        ->SetText(&title, CreateSkinFont(14, 700), &bg);
    const SkinTextStyle hint{
        "Select the area for motion detection from the picture. The selected area will be "
        "displayed in blue.",
        0xE9DFD6,
        0xFFFFFF,
        0xFFFFFF,
        14,
        0};
    (new CRStaticText(QRect(11, 55, 444, 12), &dlg, 2003))
        ->SetText(&hint, CreateSkinFont(12, 400), &bg);
    const SkinTextStyle front_{"Front", 0x423D39, 0, 0, 14, 1};
    (new CRStaticText(QRect(25, 105, 197, 20), &dlg, 2004))
        ->SetText(&front_, CreateSkinFont(14, 700), &bg);
    const SkinTextStyle rear_{"Rear", 0x423D39, 0, 0, 14, 1};
    (new CRStaticText(QRect(240, 105, 197, 20), &dlg, 2005))
        ->SetText(&rear_, CreateSkinFont(14, 700), &bg);
    (new CRButton(QRect(dlg.width() - 46, 1, 30, 26), &dlg, 2400))->SetImages(165, 166, 167, &bg);
    const SkinTextStyle cancel = WithText(kButtonStyle, "Cancel");
    (new CRButton(QRect(250, 268, 100, 29), &dlg, 2401))
        ->SetNinePatchImages(&cancel, 161, 162, 163, &bg);
    const SkinTextStyle confirm = WithText(kButtonStyle, "Confirm");
    (new CRButton(QRect(356, 268, 100, 29), &dlg, 2402))
        ->SetNinePatchImages(&confirm, 161, 162, 163, &bg);
}

// Shows `w` as a real window and saves what the screen holds under it.
bool SaveFromScreen(QWidget &w, const QString &dir, const char *name)
{
    w.show();
    QElapsedTimer t;
    t.start();
    // Give the window system time to map and paint the window.
    while (t.elapsed() < 500 || !(w.windowHandle() && w.windowHandle()->isExposed())) {
        if (t.elapsed() > 5000) {
            DebugLogF("window %s was not exposed", name);
            return false;
        }
        QApplication::processEvents();
        QThread::msleep(10);
    }
    const QPixmap shot = w.screen()->grabWindow(w.winId());
    const QString path = dir + "/" + name;
    if (shot.isNull() || !shot.save(path, "PNG")) {
        DebugLogF("cannot grab %s from the screen", name);
        return false;
    }
    std::printf("%s (screen)\n", qPrintable(path));
    w.hide();
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (argc < 2 || (argc == 3 && std::strcmp(argv[2], "--screen") != 0) || argc > 3) {
        std::fprintf(stderr, "usage: %s OUTPUT_DIR [--screen]\n", argv[0]);
        return 2;
    }
    const bool screen = argc == 3;
    const QString dir = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(dir);
    LoadSkinFonts();

    bool ok = true;
    Panel mainDlg(622, 587, 501);
    BuildMainDialog(mainDlg);
    ok &= Save(mainDlg, dir, "main_dialog.png");

    Panel sheet(622, 430, 501);
    BuildStateSheet(sheet);
    ok &= Save(sheet, dir, "button_states.png");

    Panel motion(464, 309, 164);
    BuildMotionDialog(motion);
    ok &= Save(motion, dir, "motion_dialog.png");

    CMsgPopupDlg msg;
    msg.SetPopup(
        "Parking",
        "If Parking Mode is disabled,\r\nthe camera stops recording when the car is off.\r\n", 330,
        150);
    ok &= Save(msg, dir, "msg_popup.png");

    CProgPopupDlg prog;
    prog.SetPopup("Memory card format", "Formatting memory card.\r\nPlease wait.\r\n", 400, 150);
    prog.SetPos(40);
    ok &= Save(prog, dir, "prog_popup.png");

    if (screen) {
        ok &= SaveFromScreen(mainDlg, dir, "screen_main_dialog.png");
        ok &= SaveFromScreen(motion, dir, "screen_motion_dialog.png");
        ok &= SaveFromScreen(msg, dir, "screen_msg_popup.png");
        ok &= SaveFromScreen(prog, dir, "screen_prog_popup.png");
    }
    return ok ? 0 : 1;
}
