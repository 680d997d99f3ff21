#include "formatter/card_format.h"
#include "formatter/qt_format_ui.h"
#include "fake_system.h"
#include "peer_tools.h"

#include "locale/texts.h"
#include "skin/prog_popup_dlg.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

QApplication &App()
{
    static int argc = 1;
    static char name[] = "formatter_qt_format_ui_test";
    static char *argv[] = {name, nullptr};
    static QApplication app(argc, argv);
    static bool texts = SelectLanguage("english");
    (void)texts;
    return app;
}

// Answers every message box that comes up with the given button and notes what it said, and
// notes the progress popup's position while it is up.
class Operator
{
public:
    explicit Operator(QMessageBox::StandardButton answer)
    {
        QObject::connect(&m_timer, &QTimer::timeout, [this, answer] {
            QWidget *w = QApplication::activeModalWidget();
            if (auto *box = qobject_cast<QMessageBox *>(w)) {
                boxes << box->windowTitle() + "|" + box->text();
                box->button(answer)->click();
            } else if (auto *popup = qobject_cast<CProgPopupDlg *>(w)) {
                popupSeen = popup->isVisible();
                lastPos = popup->Pos();
            }
        });
        m_timer.start(20);
    }
    QStringList boxes;
    bool popupSeen = false;
    int lastPos = -1;

private:
    QTimer m_timer;
};

class QtFormatUiTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        App();
        const QString root = sys.root + "/card";
        folder = root + "/K420/";
        QDir().mkpath(folder);
        QDir().mkpath(sys.root + "/prog");
        QFile f(folder + "setup.cfg");
        f.open(QIODevice::WriteOnly);
        f.write("settings record");
        f.close();
        sys.AddDisk("sdz", true);
        sys.AddPartition("sdz", "sdz1", 65, 145);
        sys.AddMount(65, 145, root, "vfat", "/dev/sdz1");
        const QString vol = sys.root + "/vol.img";
        MakeSparseImage(vol, 64 * 2048);
        RunTool("mkfs.fat", {"-F", "16", vol});
        MakeSparseImage(sys.root + "/disk.img", 600000);
        sys.AddNode("sdz1", vol);
        sys.AddNode("sdz", sys.root + "/disk.img");
    }
    FormatJob Job(FormatUi &ui, const FormatProfile &p)
    {
        FormatJob job;
        job.cardFolder = folder;
        job.programFile = sys.root + "/prog/K420_Setting";
        job.profile = &p;
        job.host = sys.host;
        job.ui = &ui;
        return job;
    }
    FakeSystem sys;
    QString folder;
};

TEST_F(QtFormatUiTest, ConfirmationAnsweredNo)
{
    QWidget tab;
    CQtFormatUi ui(&tab);
    Operator op(QMessageBox::No);
    EXPECT_FALSE(ConfirmCardFormat(ui, K420_Format));
    ASSERT_EQ(op.boxes.size(), 1);
    EXPECT_EQ(
        op.boxes[0],
        "Formatting memory card|Caution: All data will be deleted, if you format the memory card.\n"
        "Select (Yes) to format or select (No) to cancel.");
}

TEST_F(QtFormatUiTest, ThePopupRunsAndTheFailureIsShown)
{
    QWidget tab;
    CQtFormatUi ui(&tab);
    Operator op(QMessageBox::Ok);
    SDCardFormat(Job(ui, K420_Format));
    EXPECT_TRUE(op.popupSeen);
    EXPECT_EQ(op.lastPos, 0);
    EXPECT_EQ(ui.Popup(), nullptr);
    EXPECT_EQ(op.boxes, QStringList{"Formatting memory card|Cannot format the memory card.\n"
                                    "It is currently being used by Orbilux or another program."});
    EXPECT_EQ(g_nFormatDone, 0);
    EXPECT_TRUE(QFile::exists(folder + "setup.cfg"));
}

TEST_F(QtFormatUiTest, KZ7100WorkerShowsItsFailureFirst)
{
    QWidget tab;
    CQtFormatUi ui(&tab);
    Operator op(QMessageBox::Ok);
    SDCardFormat(Job(ui, KZ7100_Format));
    ASSERT_EQ(op.boxes.size(), 2) << op.boxes.join('\n').toStdString();
    EXPECT_EQ(op.boxes[0], "Memory card format|MBR 생성 실패 (103)");
    EXPECT_EQ(op.boxes[1], "Memory card format|Cannot Format Memory Card\n"
                           "Memory Card is already being used by Orbilux or another program .");
}

} // namespace
