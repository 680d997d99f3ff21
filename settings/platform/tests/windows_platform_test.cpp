// The Windows side of the platform layer, on the system's own calls (under Wine in the build's
// prefix): the debug output as a debugger receives it, the viewer's registry value and window,
// the registry's time zones and the current zone, the program's files and copies, and the
// relocation with a real start of the copy.
#include "builds/model_profile.h"
#include "dialogs/relocation.h"
#include "file/debug_log.h"
#include "locale/time_zones.h"
#include "platform/platform.h"
#include "platform/tests/support/platform_test_support.h"
#include "platform/windows/program_runtime.h"
#include "platform/windows/registry_viewer.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QTemporaryDir>
#include <QThread>

#include <windows.h>

#include <gtest/gtest.h>

namespace {

TEST(DebugOutput, ADebuggerReceivesEveryMessageAsLogged)
{
    const ProgramRun run = RunProgramReadingLog(QStringLiteral(DEBUG_LOG_CHILD), {});
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(run.exitCode, 0);
    ASSERT_EQ(run.log.size(), 4) << run.log.join('|').toStdString();
    EXPECT_EQ(run.log[0], "\n\nRoadlog Setting loading...\n");
    EXPECT_EQ(run.log[1], "Setting Dialog Init Start");
    EXPECT_EQ(run.log[2], "TimeZone [Korea Standard Time] Bias[540]\n");
    // A debugger that asks for ANSI strings (as Wine's hands them) gets the code page's form.
    const QString korean = QStringLiteral("MBR 있음\n");
    EXPECT_TRUE(run.log[3] == korean || run.log[3] == QString::fromLocal8Bit(korean.toLocal8Bit()))
        << run.log[3].toStdString();
}

// The viewer's LANGUAGE value, written where a viewer writes it.
class ViewerRegistry : public ::testing::Test
{
protected:
    void TearDown() override { Clear(); }
    static void Clear()
    {
        for (const REGSAM view : {REGSAM(KEY_WOW64_64KEY), REGSAM(KEY_WOW64_32KEY)})
            RegDeleteKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\KESTRAVON", view, 0);
    }
    static void Write(REGSAM view, const wchar_t *name, DWORD type, const QByteArray &data)
    {
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\KESTRAVON", 0, nullptr, 0,
                                  KEY_WRITE | view, nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        EXPECT_EQ(RegSetValueExW(key, name, 0, type,
                                 reinterpret_cast<const BYTE *>(data.constData()),
                                 DWORD(data.size())),
                  ERROR_SUCCESS);
        RegCloseKey(key);
    }
    static QByteArray Text(const QString &s)
    {
        return QByteArray(reinterpret_cast<const char *>(s.utf16()), (s.size() + 1) * 2);
    }
};

TEST_F(ViewerRegistry, LanguageFromTheRegistry)
{
    const QString longest(129, 'f');
    const struct {
        const char *name;
        REGSAM view;
        const wchar_t *value;
        DWORD type;
        QByteArray data;
        QString expected;
    } cases[] = {
        {"plain", KEY_WOW64_64KEY, L"LANGUAGE", REG_SZ, Text("FRENCH"), "FRENCH"},
        {"caseOfName", KEY_WOW64_64KEY, L"language", REG_SZ, Text("russian"), "russian"},
        {"32-bit view", KEY_WOW64_32KEY, L"LANGUAGE", REG_SZ, Text("french"), "french"},
        {"noValue", KEY_WOW64_64KEY, L"Other", REG_SZ, Text("x"), ""},
        {"dword", KEY_WOW64_64KEY, L"LANGUAGE", REG_DWORD, QByteArray(4, 1), ""},
        {"tooLong", KEY_WOW64_64KEY, L"LANGUAGE", REG_SZ, Text(QString(130, 'f')), ""},
        {"longest", KEY_WOW64_64KEY, L"LANGUAGE", REG_SZ, Text(longest), longest},
        {"withoutNul", KEY_WOW64_64KEY, L"LANGUAGE", REG_SZ, Text("french").chopped(2), "french"},
    };
    EXPECT_EQ(RegistryViewerProbe().languageValue(), "") << "no key";
    for (const auto &c : cases) {
        Clear();
        Write(c.view, c.value, c.type, c.data);
        EXPECT_EQ(RegistryViewerProbe().languageValue(), c.expected) << c.name;
    }
    // The 64-bit view is asked first.
    Clear();
    Write(KEY_WOW64_32KEY, L"LANGUAGE", REG_SZ, Text("english"));
    Write(KEY_WOW64_64KEY, L"LANGUAGE", REG_SZ, Text("french"));
    EXPECT_EQ(platform::Viewer().languageValue(), "french");
}

HWND TitledWindow(const wchar_t *title)
{
    return CreateWindowExW(0, L"STATIC", title, WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr,
                           nullptr, nullptr, nullptr);
}

TEST(ViewerWindow, FoundByItsTitle)
{
    const RegistryViewerProbe viewer;
    EXPECT_FALSE(viewer.isRunning());
    const HWND longer = TitledWindow(L"KESTRAVON DASHCAM PC VIEWER - setup");
    ASSERT_NE(longer, nullptr) << "windows need a display (the test run's X server)";
    EXPECT_FALSE(viewer.isRunning());
    const HWND w = TitledWindow(L"KESTRAVON DASHCAM PC VIEWER");
    EXPECT_TRUE(viewer.isRunning());
    DestroyWindow(w);
    EXPECT_FALSE(viewer.isRunning());
    // FindWindowW compares titles without regard to case.
    const HWND lower = TitledWindow(L"kestravon dashcam pc viewer");
    EXPECT_TRUE(viewer.isRunning());
    DestroyWindow(lower);
    DestroyWindow(longer);
}

// The time zones of the PC: Wine's registry holds the Windows database.
class RegistryZones : public ::testing::Test
{
protected:
    DebugLogCapture log;
};

TEST_F(RegistryZones, TheDatabaseIsTheRegistrys)
{
    const QList<RegistryKey> db = platform::TimeZoneDatabase();
    ASSERT_GE(db.size(), 130);
    const QString prefix = QLatin1String(kTimeZonesKey) + '\\';
    for (const RegistryKey &key : db) {
        ASSERT_TRUE(key.path.startsWith(prefix)) << key.path.toStdString();
        const RegistryValue *tzi = key.value("TZI");
        ASSERT_NE(tzi, nullptr) << key.path.toStdString();
        EXPECT_EQ(tzi->type, RegistryValue::Binary);
        EXPECT_EQ(tzi->data.size(), kTziSize) << key.path.toStdString();
        const RegistryValue *display = key.value("Display");
        ASSERT_NE(display, nullptr) << key.path.toStdString();
        EXPECT_EQ(display->type, RegistryValue::String);
        EXPECT_FALSE(display->text.isEmpty());
        EXPECT_FALSE(display->text.endsWith(QChar(0)));
    }
    const RegistryKey *pacific = FindRegistryKey(db, prefix + "Pacific Standard Time");
    ASSERT_NE(pacific, nullptr);
    EXPECT_EQ(DecodeTzi(pacific->value("TZI")->data).bias, 480);
    EXPECT_EQ(pacific->value("Std")->text, "Pacific Standard Time");
}

TEST_F(RegistryZones, TheCatalogueDropsTheListAndSortsTheRest)
{
    const QList<RegistryKey> db = platform::TimeZoneDatabase();
    const CTimeZoneInfoManager m(db, K420_Setting, CurrentTimeZone());
    ASSERT_GT(m.count(), 100);
    int excluded = 0;
    for (const RegistryKey &key : db) {
        const QString name = key.path.section('\\', -1);
        for (const char *p : kExcludedZonePrefixes)
            if (name.startsWith(QLatin1String(p), Qt::CaseInsensitive)) {
                ++excluded;
                break;
            }
    }
    EXPECT_GT(excluded, 0);
    EXPECT_EQ(m.count(), db.size() - excluded);
    for (int i = 1; i < m.count(); ++i) {
        const CRegTimeZoneInfo &p = m.zone(i - 1), &z = m.zone(i);
        EXPECT_TRUE(p.bias > z.bias || (p.bias == z.bias && p.standardName <= z.standardName))
            << p.keyName.toStdString() << " before " << z.keyName.toStdString();
    }
    const int pacific = m.FindZone("Pacific Standard Time", -480);
    ASSERT_GE(pacific, 0);
    EXPECT_EQ(m.zone(pacific).keyName, "Pacific Standard Time");
    EXPECT_EQ(m.FindZone("", -300), m.FindZone("Atlantis Standard Time", -300));
}

TEST_F(RegistryZones, AgreeWithTheShippedTableOnTheOffsets)
{
    // Two independent copies of the Windows database: Wine's and the Linux side's. Wine 8's is
    // of 2022; the shipped one describes 2026, after these zones changed their standard time.
    const QMap<QString, const char *> changedSince = {
        {"Central Asia Standard Time", "Kazakhstan went over to +05 in March 2024"},
        {"Paraguay Standard Time", "Paraguay stays on -03 all year since October 2024"},
        {"Mountain Standard Time (Mexico)", "Chihuahua left for -06 in 2022; -07 is Mazatlan's"},
    };
    const CTimeZoneInfoManager pc(platform::TimeZoneDatabase(), K420_Setting, CurrentTimeZone());
    const CTimeZoneInfoManager shipped(ShippedTimeZoneDatabase(), K420_Setting, CurrentTimeZone());
    int common = 0;
    for (int i = 0; i < pc.count(); ++i) {
        const CRegTimeZoneInfo &z = pc.zone(i);
        for (int j = 0; j < shipped.count(); ++j) {
            if (shipped.zone(j).keyName != z.keyName)
                continue;
            ++common;
            EXPECT_TRUE(shipped.zone(j).bias == z.bias || changedSince.contains(z.keyName))
                << z.keyName.toStdString() << ": shipped " << shipped.zone(j).bias << ", Wine "
                << z.bias;
        }
    }
    EXPECT_GE(common, 100);
}

TEST_F(RegistryZones, TheCurrentZoneIsThePcs)
{
    // CTest runs this with TZ=Asia/Seoul; Wine gives the Windows zone of the system's.
    const CurrentTimeZone now = platform::CurrentZone({});
    EXPECT_EQ(now.bias, -540);
    EXPECT_EQ(now.standardBias, 0);
    EXPECT_EQ(now.standardName, "Korea Standard Time");
    const CTimeZoneInfoManager m(K420_Setting);
    ASSERT_GT(m.count(), 0);
    EXPECT_EQ(m.zone(m.FindCurrentZone()).keyName, "Korea Standard Time");
}

TEST(ProgramFiles, TheRunningProgramAndItsSet)
{
    const QString self = platform::ProgramFilePath();
    EXPECT_TRUE(self.endsWith("/settings_platform_test.exe")) << self.toStdString();
    EXPECT_FALSE(self.contains('\\'));
    EXPECT_TRUE(QFileInfo(self).isFile());
    const QStringList set = platform::ProgramFileSet(self);
    ASSERT_EQ(set.size(), qsizetype(kProgramRuntimeFileCount) + 1);
    EXPECT_EQ(set[0], "settings_platform_test.exe");
    EXPECT_TRUE(set.contains("Qt6Core.dll"));
    EXPECT_TRUE(set.contains("platforms/qwindows.dll"));
    EXPECT_TRUE(set.contains("libstdc++-6.dll"));
}

TEST(ProgramFiles, DriveRootsAndNativePaths)
{
    EXPECT_EQ(platform::DriveRoot("C:/users/me/AppData/Local/Orbilux/K420_Setting.exe"), "C:/");
    EXPECT_EQ(platform::DriveRoot("E:\\SETTING\\"), "E:/");
    EXPECT_EQ(platform::DriveRoot("E:"), "E:/");
    EXPECT_EQ(platform::NativePath("E:/SETTING/"), "E:\\SETTING\\");
}

TEST(ProgramFiles, FoldersAndCopies)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString base = dir.path();
    EXPECT_TRUE(platform::CreateFolder(base + "/new"));
    EXPECT_TRUE(QFileInfo(base + "/new").isDir());
    EXPECT_TRUE(platform::CreateFolder(base + "/new")) << "an existing folder is fine";
    EXPECT_TRUE(platform::CreateFolder(base + "/missing/deeper"));
    EXPECT_TRUE(QFileInfo(base + "/missing/deeper").isDir());

    QFile a(base + "/a");
    ASSERT_TRUE(a.open(QIODevice::WriteOnly));
    a.write("first");
    a.close();
    EXPECT_FALSE(platform::CreateFolder(base + "/a")) << "a file in the way";
    EXPECT_FALSE(platform::CreateFolder(base + "/a/below"));
    EXPECT_TRUE(platform::CopyOver(base + "/a", base + "/new/b"));
    QFile b(base + "/new/b");
    ASSERT_TRUE(b.open(QIODevice::ReadOnly));
    EXPECT_EQ(b.readAll(), "first");
    b.close();
    ASSERT_TRUE(a.open(QIODevice::WriteOnly | QIODevice::Truncate));
    a.write("second, longer");
    a.close();
    EXPECT_TRUE(platform::CopyOver(base + "/a", base + "/new/b")) << "overwriting allowed";
    ASSERT_TRUE(b.open(QIODevice::ReadOnly));
    EXPECT_EQ(b.readAll(), "second, longer");
    b.close();
    EXPECT_FALSE(platform::CopyOver(base + "/none", base + "/new/b"));
    ASSERT_TRUE(b.open(QIODevice::ReadOnly));
    EXPECT_EQ(b.readAll(), "second, longer") << "a missing source leaves the copy alone";
    b.close();
    // Onto itself, by another name (Windows names are not case-sensitive): nothing happens.
    EXPECT_TRUE(platform::CopyOver(base + "/new/b", base + "/NEW/B"));
    ASSERT_TRUE(b.open(QIODevice::ReadOnly));
    EXPECT_EQ(b.readAll(), "second, longer");
    b.close();
    EXPECT_EQ(QDir(base + "/new").entryList(QDir::Files), QStringList{"b"}) << "no copy left over";
}

QString ReadUtf16(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QString();
    const QByteArray bytes = f.readAll();
    return QString(reinterpret_cast<const QChar *>(bytes.constData()), bytes.size() / 2);
}

void WriteFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << path.toStdString();
    f.write(bytes);
}

// The program on a card folder whose path has a blank, moved into the prefix's local
// application-data folder and started there.
TEST(Relocation, TheCopyRunsFromTheLocalApplicationDataFolderWithTheCardFolder)
{
    const QString local = platform::LocalAppDataFolder();
    ASSERT_FALSE(local.isEmpty());
    EXPECT_TRUE(QFileInfo(local).isDir()) << local.toStdString();
    EXPECT_TRUE(local.startsWith("C:/")) << local.toStdString();
    const QString target = local + "/Orbilux";
    QDir(target).removeRecursively();

    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    const QString card = root.path() + "/my card/SETTING/";
    ASSERT_TRUE(QDir().mkpath(card + "platforms") && QDir().mkpath(card + "styles"));
    const QString program = card + "relocation_probe.exe";
    ASSERT_TRUE(QFile::copy(QStringLiteral(RELOCATION_PROBE), program));
    for (std::size_t i = 0; i < kProgramRuntimeFileCount; ++i)
        WriteFile(card + kProgramRuntimeFiles[i],
                  QByteArray("bytes of ") + kProgramRuntimeFiles[i]);

    DebugLogCapture log;
    const QString copy = RelocateProgram(program, card, local, StartDetached);
    ASSERT_EQ(copy, target + "/relocation_probe.exe");
    for (const QString &file : platform::ProgramFileSet(program)) {
        QFile original(card + file), copied(target + "/" + file);
        ASSERT_TRUE(original.open(QIODevice::ReadOnly) && copied.open(QIODevice::ReadOnly))
            << file.toStdString();
        EXPECT_EQ(copied.readAll(), original.readAll()) << file.toStdString();
    }
    const QString nativeCard = QDir::toNativeSeparators(card);
    EXPECT_EQ(log.messages(), (QStringList{QDir::toNativeSeparators(copy), nativeCard, "C:\\"}));

    // The copy started: one argument, blanks and the trailing backslash kept, on its drive's
    // root.
    const QString started = target + "/started.txt";
    QDeadlineTimer deadline(20000);
    while (!QFile::exists(started) && !deadline.hasExpired())
        QThread::msleep(50);
    EXPECT_EQ(ReadUtf16(started), "argument " + nativeCard + "\nfolder C:\\\n");
    QDir(target).removeRecursively();
}

TEST(Relocation, AMissingFileOfTheSetStartsNothing)
{
    QTemporaryDir root, local;
    ASSERT_TRUE(root.isValid() && local.isValid());
    const QString card = root.path() + "/";
    WriteFile(card + "K420_Setting.exe", "program");
    bool started = false;
    const QString copy = RelocateProgram(
        card + "K420_Setting.exe", card, local.path(),
        [&](const QString &, const QStringList &, const QString &) { return started = true; });
    EXPECT_EQ(copy, "");
    EXPECT_FALSE(started);
}

} // namespace
