// The message and progress popups as real modal dialogs on the offscreen platform.

#include "skin/control_id.h"
#include "skin/format_progress.h"
#include "skin/msg_popup_dlg.h"
#include "skin/prog_popup_dlg.h"

#include "qt_test_env.h"

#include <QApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <thread>

namespace {

// Runs `dlg` modally while `during` acts on it from inside the modal loop. A popup that does
// not end within 5 s is ended with 99, so a failure cannot hang the test.
int RunModal(QDialog &dlg, const std::function<void()> &during)
{
    QTimer::singleShot(0, &dlg, [&] {
        EXPECT_EQ(QApplication::activeModalWidget(), &dlg);
        during();
    });
    QTimer::singleShot(5000, &dlg, [&] { dlg.done(99); });
    return dlg.exec();
}

struct LayoutCase {
    std::string name;
    const char *text;
    int msgHeight, progHeight;
};

class PopupLayout : public ::testing::TestWithParam<LayoutCase>
{};

TEST_P(PopupLayout, TextHeightFollowsTheLineBreaks)
{
    const LayoutCase &c = GetParam();
    CMsgPopupDlg msg;
    msg.SetPopup("Parking", c.text, 330, 150);
    EXPECT_EQ(msg.size(), QSize(330, 150));
    EXPECT_EQ(msg.windowTitle(), "Parking");
    QWidget *text = FindControl(&msg, CMsgPopupDlg::kIdText);
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->geometry(), QRect(0, 28, 330, c.msgHeight));
    EXPECT_EQ(static_cast<QLabel *>(text)->text(), QString(c.text).replace("\r\n", "\n"));

    CProgPopupDlg prog;
    prog.SetPopup("Memory card format", c.text, 400, 150);
    EXPECT_EQ(prog.size(), QSize(400, 150));
    QWidget *ptext = FindControl(&prog, CProgPopupDlg::kIdText);
    ASSERT_NE(ptext, nullptr);
    EXPECT_EQ(ptext->geometry(), QRect(0, 28, 400, c.progHeight));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PopupLayout,
    ::testing::Values(LayoutCase{"OneLine", "Are you sure?", 20, 40},
                      LayoutCase{"OneLineWithBreak", "Are you sure?\r\n", 20, 40},
                      LayoutCase{"TwoLines", "If parking is off,\r\nit stops.\r\n", 50, 50},
                      LayoutCase{"ThreeLines", "a\r\nb\r\nc\r\n", 20, 40},
                      LayoutCase{"BareLineFeeds", "a\nb\n", 20, 40}),
    [](const ::testing::TestParamInfo<LayoutCase> &info) { return info.param.name; });

TEST(CMsgPopupDlg, ButtonsSitUnderTheText)
{
    CMsgPopupDlg msg;
    msg.SetPopup("Caption", "Text", 330, 150);
    auto *yes = qobject_cast<QPushButton *>(FindControl(&msg, CMsgPopupDlg::kIdYes));
    auto *no = qobject_cast<QPushButton *>(FindControl(&msg, CMsgPopupDlg::kIdNo));
    ASSERT_TRUE(yes && no);
    EXPECT_EQ(yes->text(), "Yes(Y)");
    EXPECT_EQ(no->text(), "No(N)");
    EXPECT_TRUE(yes->isDefault());
    EXPECT_EQ(yes->geometry(), QRect(330 / 2 - 95, 90, 85, 25));
    EXPECT_EQ(no->geometry(), QRect(330 / 2 + 10, 90, 85, 25));
}

struct KeyCase {
    std::string name;
    int key;
    int focusId; // control that has the focus when the key comes; 0: the dialog itself
    int result;
};

class MsgPopupKeys : public ::testing::TestWithParam<KeyCase>
{};

TEST_P(MsgPopupKeys, KeyEndsTheDialogWithItsAnswer)
{
    const KeyCase &c = GetParam();
    CMsgPopupDlg msg;
    msg.SetPopup("Caption", "Question\r\n", 330, 150);
    const int result = RunModal(msg, [&] {
        QWidget *target = c.focusId ? FindControl(&msg, c.focusId) : &msg;
        target->setFocus();
        QTest::keyClick(target, static_cast<Qt::Key>(c.key));
    });
    EXPECT_EQ(result, c.result);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MsgPopupKeys,
    ::testing::Values(KeyCase{"N", Qt::Key_N, 0, 2}, KeyCase{"Y", Qt::Key_Y, 0, 1},
                      KeyCase{"NOnYes", Qt::Key_N, CMsgPopupDlg::kIdYes, 2},
                      KeyCase{"YOnNo", Qt::Key_Y, CMsgPopupDlg::kIdNo, 1},
                      KeyCase{"EnterIsYes", Qt::Key_Return, CMsgPopupDlg::kIdYes, 1},
                      KeyCase{"KeypadEnterIsYes", Qt::Key_Enter, 0, 1}),
    [](const ::testing::TestParamInfo<KeyCase> &info) { return info.param.name; });

TEST(CMsgPopupDlg, EscapeChangesNothingAndClosingIsNo)
{
    CMsgPopupDlg msg;
    msg.SetPopup("Caption", "Question", 330, 150);
    bool visibleAfterEscape = false;
    const int result = RunModal(msg, [&] {
        QTest::keyClick(&msg, Qt::Key_Escape);
        QTest::keyClick(FindControl(&msg, CMsgPopupDlg::kIdYes), Qt::Key_Escape);
        visibleAfterEscape = msg.isVisible();
        msg.close();
    });
    EXPECT_TRUE(visibleAfterEscape);
    EXPECT_EQ(result, 2);
}

TEST(CMsgPopupDlg, ClickingTheButtonsAnswers)
{
    for (const int id : {CMsgPopupDlg::kIdYes, CMsgPopupDlg::kIdNo}) {
        CMsgPopupDlg msg;
        msg.SetPopup("Caption", "Question", 330, 150);
        const int result =
            RunModal(msg, [&] { QTest::mouseClick(FindControl(&msg, id), Qt::LeftButton); });
        EXPECT_EQ(result, id);
    }
}

TEST(CProgPopupDlg, BarStartsEmptyWithRangeToHundred)
{
    CProgPopupDlg prog;
    prog.SetPopup("Memory card format", "Formatting memory card.\r\nPlease wait.\r\n", 400, 150);
    auto *bar = qobject_cast<QProgressBar *>(FindControl(&prog, CProgPopupDlg::kIdProgress));
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(bar->geometry(), QRect(40, 80, 320, 30));
    EXPECT_EQ(bar->minimum(), 0);
    EXPECT_EQ(bar->maximum(), 100);
    EXPECT_EQ(bar->value(), 0);
    EXPECT_EQ(prog.Pos(), 0);
}

TEST(CProgPopupDlg, ProgressFromTheWorkerThreadIsClampedAndItsCloseEndsThePopup)
{
    CProgPopupDlg prog;
    prog.SetPopup("Memory card format", "Formatting memory card.\r\nPlease wait.\r\n", 400, 150);
    auto *bar = qobject_cast<QProgressBar *>(FindControl(&prog, CProgPopupDlg::kIdProgress));
    ASSERT_NE(bar, nullptr);
    std::thread worker;
    int seen30 = -1;
    const int result = RunModal(prog, [&] {
        worker = std::thread([&] {
            PostFormatProgress(&prog, 30);
            QMetaObject::invokeMethod(
                &prog, [&] { seen30 = bar->value(); }, Qt::QueuedConnection);
            PostFormatProgress(&prog, 250);
            prog.CloseFromWorker();
        });
    });
    worker.join();
    EXPECT_EQ(result, 2);
    EXPECT_EQ(seen30, 30);
    EXPECT_EQ(prog.Pos(), 100);
    EXPECT_EQ(bar->value(), 100);
    EXPECT_FALSE(prog.isVisible());
}

TEST(CProgPopupDlg, NegativeProgressIsTakenAsZero)
{
    CProgPopupDlg prog;
    prog.SetPopup("Caption", "Text", 400, 150);
    prog.SetPos(50);
    CFormatProgressEvent e(-5);
    QCoreApplication::sendEvent(&prog, &e);
    EXPECT_EQ(prog.Pos(), 0);
}

TEST(CProgPopupDlg, UserCannotEndItOnlyTheWorkerCan)
{
    CProgPopupDlg prog;
    prog.SetPopup("Memory card format", "Formatting memory card.\r\n", 400, 150);
    std::thread worker;
    bool visibleAfterKeys = false;
    int posAfterKeys = -1;
    const int result = RunModal(prog, [&] {
        PostFormatProgress(&prog, 40);
        QCoreApplication::sendPostedEvents(&prog);
        for (Qt::Key k : {Qt::Key_Escape, Qt::Key_Return, Qt::Key_Enter})
            QTest::keyClick(&prog, k);
        prog.close();  // the window manager's close, Alt+F4
        prog.reject(); // any default-button or cancel path
        visibleAfterKeys = prog.isVisible();
        posAfterKeys = prog.Pos();
        worker = std::thread([&] { prog.CloseFromWorker(); });
    });
    worker.join();
    EXPECT_TRUE(visibleAfterKeys);
    EXPECT_EQ(posAfterKeys, 40);
    EXPECT_EQ(result, 2);
}

} // namespace
