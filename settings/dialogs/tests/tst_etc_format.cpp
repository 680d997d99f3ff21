// Formatting a card from the Additional tab, as a user does it: the format button, Yes, the
// progress popup while the worker runs, the final message; the card judged by fsck.fat, sfdisk
// and blkid. The card is a fake removable disk over image files (and loop devices as root).

#include "dialog_test_env.h"

#include "dialogs/control_ids.h"
#include "dialogs/etc_dlg.h"
#include "fake_system.h"
#include "formatter/fat32_builder.h"
#include "peer_tools.h"
#include "skin/prog_popup_dlg.h"
#include "skin/rbutton.h"
#include "test_files.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <unistd.h>

namespace {
// The windows the format shows, in order, each answered as a user answers it.
struct Seen {
    QStringList windows;
    bool sawProgress = false;
};

void PressFormat(CEtcDlg &etc, Seen &seen)
{
    QTimer poll;
    QWidget *last = nullptr;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal || modal == last || !modal->isVisible())
            return;
        last = modal;
        if (auto *box = qobject_cast<QMessageBox *>(modal)) {
            seen.windows << box->windowTitle() + "|" + box->text();
            QAbstractButton *b = box->button(QMessageBox::Yes);
            if (!b)
                b = box->button(QMessageBox::Ok);
            ASSERT_NE(b, nullptr);
            QTimer::singleShot(0, b, &QAbstractButton::click);
        } else if (qobject_cast<CProgPopupDlg *>(modal)) {
            seen.sawProgress = true;
            seen.windows << "progress|" + modal->windowTitle();
        }
    });
    poll.start(5);
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [] {
        if (auto *d = qobject_cast<QDialog *>(QApplication::activeModalWidget())) {
            ADD_FAILURE() << "the format did not end";
            d->done(99);
        }
    });
    guard.start(60000);
    auto *button = etc.ControlAs<QPushButton>(IDC_ETC_FORMAT);
    Reveal(etc, button);
    QTest::mouseClick(button, Qt::LeftButton);
    poll.stop();
}

class FormatFromTheTab : public ::testing::TestWithParam<BuildCase>
{
protected:
    const DialogProfile &Profile() const { return *GetParam().profile; }

    void SetUp() override
    {
        root = sys.root + "/card";
        folder = root + "/SETTING/";
        QDir().mkpath(folder);
        QDir().mkpath(sys.root + "/prog");
        program = sys.root + "/prog/" + Profile().model.programName;
        WriteFile(program, "the settings tool");
        record = CardRecord(Profile());
        WriteFile(folder + "setup.cfg", Bytes(record));
        WriteFile(root + "/MLO", "first stage");
        WriteFile(root + "/boot.scr", "boot script");
        sys.AddDisk("sdz", true);
        sys.AddPartition("sdz", "sdz1", 65, 145);
        sys.AddMount(65, 145, root, "vfat", "/dev/sdz1");
    }

    // Opens the program's window on the card folder with its format job on the fake system.
    std::unique_ptr<CQ7SettingDlg> Open()
    {
        auto dlg = std::make_unique<CQ7SettingDlg>(folder, Profile());
        dlg->SetRelocation(nullptr, QString(), nullptr);
        dlg->SetViewerProbe(&viewer);
        dlg->SetProgramPath(program);
        EXPECT_TRUE(dlg->Init());
        dlg->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(dlg.get()));
        auto &etc = static_cast<CEtcDlg &>(*dlg->Tab(3));
        etc.Job().host = sys.host;
        ClickButton(dlg->Button(CQ7SettingDlg::kIdTabEtc));
        return dlg;
    }

    void ExpectFilesBack()
    {
        EXPECT_EQ(ReadAll(folder + "setup.cfg"), Bytes(record));
        EXPECT_EQ(ReadAll(folder + Profile().model.programName), "the settings tool");
        EXPECT_EQ(ReadAll(root + "/MLO"), "first stage");
        EXPECT_EQ(ReadAll(root + "/boot.scr"), "boot script");
    }

    QString Text(int n) const { return ModelText(Profile().model, n); }

    FakeSystem sys;
    NoViewer viewer;
    QString root, folder, program;
    CameraSettings record;
};

TEST_P(FormatFromTheTab, AFat16CardFailsWithTheMessageAndTheFilesComeBack)
{
    const QString vol = sys.root + "/vol.img";
    ASSERT_TRUE(MakeSparseImage(vol, 64 * 2048));
    ASSERT_EQ(RunTool("mkfs.fat", {"-F", "16", vol}), 0);
    ASSERT_TRUE(MakeSparseImage(sys.root + "/disk.img", 600000));
    sys.AddNode("sdz1", vol);
    sys.AddNode("sdz", sys.root + "/disk.img");
    auto dlg = Open();
    Seen seen;
    // The worker of the KZ7100 build also shows MakeMBR's failure in a box of its own.
    PressFormat(static_cast<CEtcDlg &>(*dlg->Tab(3)), seen);
    ASSERT_GE(seen.windows.size(), 3) << seen.windows.join('\n').toStdString();
    EXPECT_TRUE(seen.windows.first().startsWith(Text(162) + "|Caution"));
    EXPECT_TRUE(seen.sawProgress);
    const QString failure =
        ToQtLineBreaks(Profile().selectsLanguage ? Text(181) + "\r\n" + Text(1810) + "\r\n"
                                                 : Text(181))
            .trimmed();
    EXPECT_EQ(seen.windows.last(), Text(162) + "|" + failure);
    ExpectFilesBack();
    QString label;
    RunTool("fatlabel", {vol}, &label);
    EXPECT_EQ(label.trimmed(), Profile().selectsLanguage ? "K420" : "KZ7100");
    EXPECT_TRUE(dlg->isVisible()) << "the window stays after the format";
    EXPECT_EQ(Bytes(*dlg->Settings()), Bytes(record));
}

TEST_P(FormatFromTheTab, ACardFormattedElsewhereIsRebuilt)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "loop devices need root";
    constexpr uint64_t kSectors = 600000;
    const QString image = sys.root + "/card.img";
    ASSERT_TRUE(MakeSparseImage(image, kSectors));
    FormatLayout layout{};
    ASSERT_TRUE(ComputeLayout(kSectors, layout));
    ASSERT_EQ(RunTool("sfdisk", {"-q", image}, nullptr, "2048,,c\n"), 0);
    QStringList loops;
    auto attach = [&](uint64_t offset, uint64_t size) {
        QStringList args = {"-f", "--show"};
        if (offset)
            args << "-o" << QString::number(offset * 512);
        if (size)
            args << "--sizelimit" << QString::number(size * 512);
        QString out;
        if (RunTool("losetup", args << image, &out) != 0)
            return QString();
        loops << out.trimmed();
        return out.trimmed();
    };
    struct Detach {
        QStringList &loops;
        ~Detach()
        {
            for (const QString &d : loops)
                RunTool("losetup", {"-d", d});
        }
    } detach{loops};
    const QString disk = attach(0, 0);
    if (disk.isEmpty())
        GTEST_SKIP() << "losetup refused";
    const QString part = attach(2048, 0);
    ASSERT_EQ(RunTool("mkfs.fat", {"-F", "32", part}), 0);
    sys.AddNode("sdz", disk);
    sys.AddNode("sdz1", part);
    bool repointed = false;
    sys.host.mount = [&](const QString &dev, const QString &mp) {
        sys.calls.push_back("mount " + dev + " " + mp);
        // After the rebuild the kernel would find the new partition at 8192.
        if (!repointed) {
            repointed = true;
            QFile::remove(sys.root + "/dev/sdz1");
            sys.AddNode("sdz1", attach(8192, layout.volumeSectors));
        }
        return true;
    };
    auto dlg = Open();
    Seen seen;
    PressFormat(static_cast<CEtcDlg &>(*dlg->Tab(3)), seen);
    ASSERT_EQ(seen.windows.size(), 3) << seen.windows.join('\n').toStdString();
    EXPECT_TRUE(seen.sawProgress);
    EXPECT_EQ(seen.windows.last(), Text(162) + "|" + Text(179));
    ExpectFilesBack();
    QString out;
    RunTool("sfdisk", {"-d", image}, &out);
    EXPECT_TRUE(out.contains(
        QStringLiteral("start=        8192, size=%1, type=c").arg(layout.volumeSectors, 12)))
        << out.toStdString();
    RunTool("blkid", {"-p", "-o", "export", "-O", "4194304", image}, &out);
    EXPECT_TRUE(out.contains(Profile().selectsLanguage ? "LABEL=K420" : "LABEL=KZ7100"))
        << out.toStdString();
    const QStringList findings = FsckFindings(image, layout.volumeSectors, sys.root);
    ASSERT_EQ(findings.size(), 1) << findings.join('\n').toStdString();
    EXPECT_TRUE(findings[0].startsWith(kFreeCountFinding));
}

INSTANTIATE_TEST_SUITE_P(Builds, FormatFromTheTab,
                         ::testing::Values(BuildCase{"K420", &K420_Dialogs},
                                           BuildCase{"KZ7100", &KZ7100_Dialogs}),
                         [](const ::testing::TestParamInfo<BuildCase> &info) {
                             return info.param.name;
                         });
} // namespace
