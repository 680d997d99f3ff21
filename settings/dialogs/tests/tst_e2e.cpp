// End to end, per build: the program's own start (its application object over the command
// line) on a card folder with a real 432-byte setup.cfg, one change on each tab clicked as a
// user clicks, Save, and the file compared byte for byte with the expected record.

#include "dialog_test_env.h"

#include "dialogs/control_ids.h"
#include "dialogs/q7_setting_app.h"
#include "skin/control_id.h"
#include "skin/msg_popup_dlg.h"
#include "skin/rbutton.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFile>
#include <QPushButton>
#include <QSlider>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <cstring>

namespace {
class EndToEnd : public ::testing::TestWithParam<BuildCase>
{
protected:
    const DialogProfile &Profile() const { return *GetParam().profile; }
};

CQ7SettingDlg *RunningDialog()
{
    return qobject_cast<CQ7SettingDlg *>(QApplication::activeModalWidget());
}

void ClickControl(CTabDlg &tab, int id)
{
    QWidget *w = tab.Control(id);
    ASSERT_NE(w, nullptr) << id;
    Reveal(tab, w);
    ClickRadio(qobject_cast<QAbstractButton *>(w));
}

TEST_P(EndToEnd, OneChangeOnEachTabIsSavedByteForByte)
{
    // What a camera of this model left on the card: its own product text, a zone, and bytes
    // the tool does not know, which must come back unchanged.
    CameraSettings record = CardRecord(Profile());
    record.configVersion = 1 << 16 | 5;
    std::strcpy(record.product, "CAMERA-FW 2.31");
    for (std::size_t i = 0; i < sizeof record.reserved24; ++i)
        record.reserved24[i] = uint8_t(0xA0 + i);
    record.reserved220[3] = 0x5A;
    record.reserved356[15] = 0x77;
    record.normalFrontQuality = 3;
    record.parkingMode = 1;
    record.stopTimerHours = 48;
    record.securityLed = 0;
    record.voiceRecording = 1;
    record.checksum = 432;
    Card card(&record);
    ASSERT_EQ(card.Read().size(), 432);

    bool ran = false;
    QTimer::singleShot(0, [&] {
        ran = true;
        CQ7SettingDlg *dlg = RunningDialog();
        ASSERT_NE(dlg, nullptr) << "the program opened no window";
        EXPECT_EQ(dlg->CardFolder(), card.Folder());
        auto tab = [&](int i) -> CTabDlg & { return *dlg->Tab(i); };
        auto select = [&](int i) { ClickButton(dlg->Button(CQ7SettingDlg::kIdTabCommon + i)); };

        // Common: voice recording off.
        ClickControl(tab(0), IDC_COMMON_VOICE_RECORDING_OFF);
        // Continuous: front quality Mid.
        select(1);
        ClickControl(tab(1), IDC_NORMAL_FRONT_QUALITY_MID);
        // Parking: parking mode off, answered Yes; the stop timer one step down (48 -> 36 h).
        select(2);
        WithModal(
            [&] { ClickControl(tab(2), IDC_PARKING_MODE_OFF); },
            [&](QWidget *modal) {
                ASSERT_NE(modal, nullptr);
                qobject_cast<QPushButton *>(FindControl(modal, CMsgPopupDlg::kIdYes))->click();
            });
        QWidget *timer = tab(2).Control(IDC_PARKING_TIMER);
        Reveal(tab(2), timer);
        QTest::keyClick(timer, Qt::Key_Left);
        // Additional: security LED mode 2.
        select(3);
        ClickControl(tab(3), IDC_ETC_LED_MODE_2);
        ClickButton(dlg->Button(CQ7SettingDlg::kIdSave));
    });
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [] {
        if (auto *d = qobject_cast<QDialog *>(QApplication::activeModalWidget()))
            d->done(99);
    });
    guard.start(20000);

    CQ7SettingApp app(Profile());
    const QString folder = card.Folder();
    // The folder as a user types it, without its trailing slash.
    EXPECT_EQ(app.Run({Profile().model.programName, folder.left(folder.size() - 1)}), 0);
    EXPECT_TRUE(ran);

    CameraSettings expected = record;
    expected.voiceRecording = 0;
    expected.normalFrontQuality = 2;
    expected.parkingMode = 0;
    expected.stopTimerHours = 36;
    expected.securityLed = 2;
    const QByteArray saved = card.Read();
    ASSERT_EQ(saved.size(), 432);
    EXPECT_EQ(saved, Bytes(expected));
    for (int i = 0; i < 432; ++i)
        if (saved[i] != Bytes(expected)[i])
            ADD_FAILURE() << "byte " << i << " differs";
}

INSTANTIATE_TEST_SUITE_P(Builds, EndToEnd,
                         ::testing::Values(BuildCase{"K420", &K420_Dialogs},
                                           BuildCase{"KZ7100", &KZ7100_Dialogs}),
                         [](const ::testing::TestParamInfo<BuildCase> &info) {
                             return info.param.name;
                         });
} // namespace
