#include "dialog_test_env.h"

#include "dialogs/motion_dlg.h"
#include "locale/resources.h"
#include "platform/tests/support/platform_test_support.h"
#include "skin/rbutton.h"
#include "skin/skin_image.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QFile>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <cstring>

namespace {
class QtEnvironment : public ::testing::Environment
{
public:
    void SetUp() override
    {
        m_app = new QApplication(TestProgramArgc(), TestProgramArgv());
        InitSettingsResources();
        LoadSkinFonts();
    }
    void TearDown() override
    {
        delete m_app;
        m_app = nullptr;
    }

private:
    QApplication *m_app = nullptr;
};

const ::testing::Environment *const kEnv = ::testing::AddGlobalTestEnvironment(new QtEnvironment);
const NoViewer kNoViewer;
} // namespace

std::string BuildName(const DialogProfile &profile)
{
    return profile.model.programName;
}

CameraSettings CardRecord(const DialogProfile &profile)
{
    CameraSettings s;
    ClearSettings(s);
    ResetSettings(s, profile.model);
    s.checksum = kConfigSize15;
    s.configVersion = 1 << 16 | 5;
    std::memset(s.timeZoneName, 0, sizeof s.timeZoneName);
    std::strcpy(s.timeZoneName, "Korea Standard Time");
    s.timeZoneBias = 540;
    s.motionAreaFront = 0xFFF;
    s.motionAreaRear = 0xFFF;
    return s;
}

QByteArray Bytes(const CameraSettings &s)
{
    return QByteArray(reinterpret_cast<const char *>(s.bytes()), int(kCameraSettingsSize));
}

CameraSettings FromBytes(const QByteArray &bytes)
{
    CameraSettings s;
    ClearSettings(s);
    std::memcpy(s.bytes(), bytes.constData(),
                std::min<std::size_t>(size_t(bytes.size()), kCameraSettingsSize));
    return s;
}

Card::Card(const CameraSettings *record)
{
    if (!record)
        return;
    QFile f(File());
    if (f.open(QIODevice::WriteOnly))
        f.write(Bytes(*record));
}

QByteArray Card::Read() const
{
    QFile f(File());
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool Card::Exists() const
{
    return QFile::exists(File());
}

OpenDialog::OpenDialog(const DialogProfile &p, const CameraSettings *record)
    : profile(p), card(record)
{
    dlg = std::make_unique<CQ7SettingDlg>(card.Folder(), profile);
    dlg->SetRelocation(nullptr, QString(), nullptr);
    dlg->SetViewerProbe(&kNoViewer);
    initialised = dlg->Init();
    if (!initialised)
        return;
    dlg->show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(dlg.get()));
    QApplication::setActiveWindow(dlg.get());
}

OpenDialog::~OpenDialog() = default;

void Settle()
{
    QCoreApplication::sendPostedEvents();
    if (QGuiApplication::platformName() == QLatin1String("offscreen"))
        RunPendingEvents();
    else
        QTest::qWait(150);
    QCoreApplication::sendPostedEvents();
}

void ClickButton(QWidget *button)
{
    ASSERT_NE(button, nullptr);
    QTest::mouseMove(button, button->rect().center());
    QTest::mouseClick(button, Qt::LeftButton, {}, button->rect().center());
    Settle();
}

void ClickRadio(QAbstractButton *button)
{
    ASSERT_NE(button, nullptr);
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(8, button->height() / 2));
    Settle();
}

void SelectTab(OpenDialog &d, int index)
{
    ClickButton(d.dlg->Button(CQ7SettingDlg::kIdTabCommon + index));
}

void Reveal(CTabDlg &tab, QWidget *control)
{
    const int top = control->y() - tab.ScrollPosition();
    if (top < 0 || top + control->height() > CTabDlg::kHeight)
        tab.ScrollTo(control->y() - 150);
    Settle();
}

void WithModal(const std::function<void()> &action,
               const std::function<void(QWidget *modal)> &answer)
{
    // The modal dialog the action opens: the first one that is not the one already running.
    QWidget *const outer = QApplication::activeModalWidget();
    bool answered = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        QWidget *modal = QApplication::activeModalWidget();
        if (answered || !modal || modal == outer || !modal->isVisible())
            return;
        answered = true;
        poll.stop();
        answer(modal);
    });
    poll.start(5);
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [outer] {
        auto *modal = qobject_cast<QDialog *>(QApplication::activeModalWidget());
        if (modal && modal != outer) {
            ADD_FAILURE() << "a modal dialog stayed open";
            modal->done(99);
        }
    });
    guard.start(5000);
    action();
    poll.stop();
    if (!answered)
        answer(nullptr);
}

QImage Shot(QWidget &w)
{
    return w.grab().toImage().convertToFormat(QImage::Format_RGB32);
}
