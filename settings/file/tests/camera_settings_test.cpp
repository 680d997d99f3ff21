#include "builds/model_profile.h"
#include "file/camera_settings.h"
#include "file/debug_log.h"
#include "platform/tests/support/platform_test_support.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstring>

namespace {

QByteArray ReadFile(const QString &path)
{
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << path.toStdString();
    return f.readAll();
}

void WriteFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(f.write(bytes), bytes.size());
}

void PutU32(QByteArray &b, int offset, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b[offset + i] = char(v >> (8 * i));
}

uint32_t GetU32(const QByteArray &b, int offset)
{
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i)
        v |= uint32_t(uchar(b[offset + i])) << (8 * i);
    return v;
}

// A setup.cfg image of the given length: every byte set to a pattern (so that reserved bytes and
// fields are all non-trivial), then checksum, version and product.
QByteArray MakeFile(int length, uint32_t checksum, uint32_t version, const char *product = "K420")
{
    QByteArray b(length, 0);
    for (int i = 0; i < length; ++i)
        b[i] = char((i * 37 + 11) & 0xFF);
    if (length >= 8) {
        PutU32(b, 0, checksum);
        PutU32(b, 4, version);
    }
    if (length >= 24) {
        std::memset(b.data() + 8, 0, 16);
        std::memcpy(b.data() + 8, product, std::min<size_t>(16, std::strlen(product)));
    }
    return b;
}

QStringList LoadLog(const QString &product, int major, int minor, long long checksum,
                    long long size)
{
    return {
        "\n\nRoadlog Setting loading...\n",
        "config version : 1.0 , checksum = 356\n",
        "config version : 1.1 , checksum = 372\n",
        "config version : 1.2 , checksum = 412\n",
        "config version : 1.3 , checksum = 420\n",
        QString::asprintf(
            "Read Product:[%s], Config Ver.:[%d.%d], CheckSum:[%lld], Read Size:[%lld]\n",
            product.toUtf8().constData(), major, minor, checksum, size),
    };
}

const QString kHigher = "Warning config version seems to be higher than 1.2 or invalid !\n";
const QString kDiffers = "Warning file length differs  from the checksum !\n";

class SettingsFileTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        path = dir.filePath("setup.cfg");
        ClearSettings(record);
    }
    QTemporaryDir dir;
    QString path;
    CameraSettings record;
    DebugLogCapture log;
};

struct LoadCase {
    const char *name;
    int length;
    uint32_t checksum;
    uint32_t version;
    bool higherWarning;
    bool lengthWarning;
};

class LoadCases : public SettingsFileTest, public ::testing::WithParamInterface<LoadCase>
{};

TEST_P(LoadCases, ReadsAtMost432BytesAndLogsTheWarnings)
{
    const LoadCase &c = GetParam();
    const QByteArray file = MakeFile(c.length, c.checksum, c.version);
    WriteFile(path, file);
    std::memset(record.bytes(), 0x5A, kCameraSettingsSize); // a previous record
    ASSERT_TRUE(LoadSettings(record, path));

    QByteArray expected = file.left(432);
    expected.append(QByteArray(432 - expected.size(), 0));
    EXPECT_EQ(QByteArray(reinterpret_cast<const char *>(record.bytes()), 432), expected);

    QStringList want = LoadLog(c.length >= 24 ? "K420" : "", int(c.version >> 16),
                               int(c.version & 0xFFFF), c.checksum, c.length);
    if (c.higherWarning)
        want << kHigher;
    if (c.lengthWarning)
        want << kDiffers;
    EXPECT_EQ(log.messages(), want);
}

INSTANTIATE_TEST_SUITE_P(Versions, LoadCases,
                         ::testing::Values(LoadCase{"v10", 356, 356, 0x00010000, false, false},
                                           LoadCase{"v11", 372, 372, 0x00010001, false, false},
                                           LoadCase{"v12", 412, 412, 0x00010002, false, false},
                                           LoadCase{"v13", 420, 420, 0x00010003, false, false},
                                           LoadCase{"v15", 432, 432, 0x00010005, false, false},
                                           LoadCase{"longer", 500, 432, 0x00010005, true, true},
                                           LoadCase{"checksum0", 432, 0, 0x00010005, false, true},
                                           LoadCase{"checksumMismatch", 420, 432, 0x00010003, false,
                                                    true}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST_F(SettingsFileTest, EmptyFileGivesZeroRecordWithoutWarnings)
{
    WriteFile(path, QByteArray());
    std::memset(record.bytes(), 0x77, kCameraSettingsSize);
    ASSERT_TRUE(LoadSettings(record, path));
    EXPECT_EQ(QByteArray(reinterpret_cast<const char *>(record.bytes()), 432), QByteArray(432, 0));
    EXPECT_EQ(log.messages(), LoadLog("", 0, 0, 0, 0));
}

TEST_F(SettingsFileTest, AnotherModelsFileIsAcceptedSilently)
{
    WriteFile(path, MakeFile(432, 432, 0x00010005, "KZ7100"));
    ASSERT_TRUE(LoadSettings(record, path));
    EXPECT_EQ(log.messages(), LoadLog("KZ7100", 1, 5, 432, 432));
    EXPECT_STREQ(record.product, "KZ7100");
}

TEST_F(SettingsFileTest, ProductWithoutNulIsLoggedAsSixteenCharacters)
{
    WriteFile(path, MakeFile(432, 432, 0x00010005, "ABCDEFGHIJKLMNOP"));
    ASSERT_TRUE(LoadSettings(record, path));
    ASSERT_GE(log.messages().size(), 6);
    EXPECT_EQ(
        log.messages()[5],
        "Read Product:[ABCDEFGHIJKLMNOP], Config Ver.:[1.5], CheckSum:[432], Read Size:[432]\n");
}

TEST_F(SettingsFileTest, ProductIsConvertedFromWindows1252)
{
    QByteArray file = MakeFile(432, 432, 0x00010005, "K\xe9\x80");
    WriteFile(path, file);
    ASSERT_TRUE(LoadSettings(record, path));
    ASSERT_GE(log.messages().size(), 6);
    EXPECT_EQ(log.messages()[5], QString::fromUtf8("Read Product:[Ké€], Config Ver.:[1.5], "
                                                   "CheckSum:[432], Read Size:[432]\n"));
}

TEST_F(SettingsFileTest, HugeFileIsNotReadButItsLengthIsLogged)
{
    WriteFile(path, MakeFile(432, 432, 0x00010005));
    ASSERT_TRUE(QFile::resize(path, 5000000000LL));
    ASSERT_TRUE(LoadSettings(record, path));
    EXPECT_EQ(record.checksum, 432u);
    QStringList want = LoadLog("K420", 1, 5, 432, 5000000000LL);
    want << kHigher << kDiffers;
    EXPECT_EQ(log.messages(), want);
}

TEST_F(SettingsFileTest, MissingFileKeepsTheRecordAndSaveCreatesNothing)
{
    record.voiceVolume = 4;
    EXPECT_FALSE(LoadSettings(record, path));
    EXPECT_EQ(record.voiceVolume, 4);
    EXPECT_EQ(log.messages(), QStringList{"Warning Roadlog Setting not found !\n"});

    for (const ModelProfile *model : {&K420_Setting, &KZ7100_Setting}) {
        log.clear();
        EXPECT_FALSE(SaveSettings(record, path, *model));
        EXPECT_EQ(log.messages(), QStringList{"Roadlog Setting is not exist\n"});
        EXPECT_FALSE(QFile::exists(path));
    }
}

TEST_F(SettingsFileTest, UnwritablePathLogsFailAndWritesNothing)
{
    // A folder where the file should be: present, never openable for writing, even as root.
    ASSERT_TRUE(QDir(dir.path()).mkdir("setup.cfg"));
    record.checksum = 432;
    for (const ModelProfile *model : {&K420_Setting, &KZ7100_Setting}) {
        log.clear();
        EXPECT_FALSE(SaveSettings(record, path, *model));
        EXPECT_EQ(log.messages(), QStringList{"\n\nRoadlog Setting fail to save\n"});
    }
    EXPECT_TRUE(QFileInfo(path).isDir());
}

// Load, a change in a tab, and a save that must fail with its log text alone.
bool SaveRefused(const QString &path)
{
    CameraSettings record;
    ClearSettings(record);
    if (!LoadSettings(record, path))
        return false;
    record.language = 1;
    DebugLogCapture log;
    const bool saved = SaveSettings(record, path, K420_Setting);
    return !saved && log.messages() == QStringList{"\n\nRoadlog Setting fail to save\n"};
}

TEST_F(SettingsFileTest, WriteProtectedFileLogsFailAndStaysUnchanged)
{
    const QByteArray file = MakeFile(432, 432, 0x00010005);
    WriteFile(path, file);
    const auto readOnly = QFileDevice::ReadOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther;
    ASSERT_TRUE(QFile::setPermissions(path, readOnly));
    // Root writes through file modes: the save runs as an ordinary user, who must reach the
    // file.
    ASSERT_TRUE(QFile::setPermissions(dir.path(),
                                      readOnly | QFileDevice::WriteOwner | QFileDevice::ExeOwner |
                                          QFileDevice::ExeGroup | QFileDevice::ExeOther));
    EXPECT_TRUE(RunWhileWriteProtected(path, [&] { return SaveRefused(path); }));
    EXPECT_EQ(ReadFile(path), file);
}

struct SaveCase {
    const char *name;
    const ModelProfile *model;
    int length;
    uint32_t checksum;
    uint32_t version;
    uint32_t writtenChecksum; // first four bytes of the file after the save
    uint32_t written;         // bytes written
};

class SaveCases : public SettingsFileTest, public ::testing::WithParamInterface<SaveCase>
{};

TEST_P(SaveCases, WritesTheLoadedVersionsShareOnly)
{
    const SaveCase &c = GetParam();
    const QByteArray original = MakeFile(c.length, c.checksum, c.version);
    WriteFile(path, original);
    ASSERT_TRUE(LoadSettings(record, path));
    // What the tabs would do: a field inside every version, and language (1.5 only).
    record.voiceVolume = 2;
    record.language = 1;
    log.clear();
    ASSERT_TRUE(SaveSettings(record, path, *c.model));

    const QByteArray after = ReadFile(path);
    EXPECT_EQ(after.size(), std::max<qsizetype>(c.length, c.written));
    QByteArray expected = original;
    if (c.written > 0) {
        expected.replace(0, int(c.written),
                         QByteArray(reinterpret_cast<const char *>(record.bytes()), c.written));
        PutU32(expected, 0, c.writtenChecksum);
        PutU32(expected, 112, 2);
    }
    EXPECT_EQ(after, expected);
    EXPECT_EQ(GetU32(after, 4), c.version) << "configVersion is never written";
    if (c.length >= 432 && c.written >= 432) {
        EXPECT_EQ(GetU32(after, 428), 1u);
    }
    if (c.written < 432 && c.length < 432) {
        EXPECT_EQ(after.size(), c.length) << "language does not reach a short file";
    }

    const bool k420 = c.model == &K420_Setting;
    EXPECT_EQ(record.checksum, k420 ? 432u : c.checksum);
    QStringList want{"\n\nRoadlog Setting saving...\n"};
    if (k420)
        want << "config version : 1.5 , checksum = 432\n";
    else
        want << "config version : 1.0 , checksum = 356\n"
             << "config version : 1.1 , checksum = 372\n"
             << "config version : 1.2 , checksum = 412\n"
             << "config version : 1.3 , checksum = 420\n";
    want << QString::asprintf(
        "Write Product:[K420]  Config Ver.:[%d.%d], CheckSum:[%d], Written Size [%d] \n",
        int(c.version >> 16), int(c.version & 0xFFFF), int(record.checksum), int(c.written));
    ASSERT_EQ(log.messages().size(), want.size() + 35);
    EXPECT_EQ(log.messages().mid(0, want.size()), want);
}

INSTANTIATE_TEST_SUITE_P(
    Builds, SaveCases,
    ::testing::Values(
        SaveCase{"K420_v15", &K420_Setting, 432, 432, 0x00010005, 432, 432},
        SaveCase{"KZ7100_v15", &KZ7100_Setting, 432, 432, 0x00010005, 432, 432},
        SaveCase{"K420_v13", &K420_Setting, 420, 420, 0x00010003, 432, 420},
        SaveCase{"KZ7100_v13", &KZ7100_Setting, 420, 420, 0x00010003, 420, 420},
        SaveCase{"K420_v10", &K420_Setting, 356, 356, 0x00010000, 432, 356},
        SaveCase{"K420_longer", &K420_Setting, 500, 432, 0x00010005, 432, 432},
        SaveCase{"KZ7100_longer", &KZ7100_Setting, 500, 432, 0x00010005, 432, 432},
        SaveCase{"K420_checksum0", &K420_Setting, 432, 0, 0x00010005, 0, 0},
        SaveCase{"KZ7100_checksum0", &KZ7100_Setting, 432, 0, 0x00010005, 0, 0},
        // A short file whose checksum claims more: it grows to what the checksum says.
        SaveCase{"K420_grows", &K420_Setting, 420, 432, 0x00010005, 432, 432},
        SaveCase{"KZ7100_huge_checksum", &KZ7100_Setting, 432, 0xFFFFFFFF, 0x00010005, 0xFFFFFFFF,
                 432}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(SettingsFileTest, UnchangedVersion15FileIsByteIdenticalAfterSave)
{
    for (const ModelProfile *model : {&K420_Setting, &KZ7100_Setting}) {
        const QByteArray original = MakeFile(432, 432, 0x00010005);
        WriteFile(path, original);
        ASSERT_TRUE(LoadSettings(record, path));
        ASSERT_TRUE(SaveSettings(record, path, *model));
        EXPECT_EQ(ReadFile(path), original) << model->programName;
    }
}

TEST_F(SettingsFileTest, ReservedBytesSurviveResetAndSave)
{
    const QByteArray original = MakeFile(432, 432, 0x00010005);
    const int reserved[][2] = {{24, 28}, {68, 8},  {88, 12},  {104, 4},
                               {124, 8}, {220, 8}, {356, 16}, {420, 8}};
    for (const ModelProfile *model : {&K420_Setting, &KZ7100_Setting}) {
        WriteFile(path, original);
        ASSERT_TRUE(LoadSettings(record, path));
        ResetSettings(record, *model);
        ASSERT_TRUE(SaveSettings(record, path, *model));
        const QByteArray after = ReadFile(path);
        for (const auto &r : reserved)
            EXPECT_EQ(after.mid(r[0], r[1]), original.mid(r[0], r[1]))
                << model->programName << " offset " << r[0];
        EXPECT_EQ(after.mid(188, 8), original.mid(188, 8)) << "motion areas are not reset";
    }
}

struct ResetCase {
    const char *field;
    int32_t CameraSettings::*member;
    int32_t k420;
    int32_t kz7100; // kKeep: not set by the build
};
constexpr int32_t kKeep = 0x7EADBEEF;

TEST_F(SettingsFileTest, ResetWritesEachBuildsDefaults)
{
    using S = CameraSettings;
    const ResetCase cases[] = {
        {"normalFrontResolution", &S::normalFrontResolution, 3, 3},
        {"normalFrontFrameRate", &S::normalFrontFrameRate, 3, 3},
        {"normalFrontQuality", &S::normalFrontQuality, 3, 3},
        {"frontBrightness", &S::frontBrightness, 0, 0},
        {"normalRearResolution", &S::normalRearResolution, 2, 2},
        {"normalRearFrameRate", &S::normalRearFrameRate, 3, 3},
        {"normalRearQuality", &S::normalRearQuality, 3, 3},
        {"voiceRecording", &S::voiceRecording, 1, 1},
        {"voiceGuidance", &S::voiceGuidance, 1, 1},
        {"voiceVolume", &S::voiceVolume, 3, 5},
        {"safetyVoice", &S::safetyVoice, 1, 0},
        {"normalImpactSensitivity", &S::normalImpactSensitivity, 6, 7},
        {"overwriteNormalEvent", &S::overwriteNormalEvent, 1, 1},
        {"overwriteParkingMotion", &S::overwriteParkingMotion, 1, 1},
        {"overwriteParkingEvent", &S::overwriteParkingEvent, 1, 1},
        {"overwriteManual", &S::overwriteManual, 1, 1},
        {"overwriteCapture", &S::overwriteCapture, 1, 1},
        {"parkingFrontResolution", &S::parkingFrontResolution, 3, 3},
        {"parkingFrontFrameRate", &S::parkingFrontFrameRate, 2, 2},
        {"parkingFrontQuality", &S::parkingFrontQuality, 3, 3},
        {"parkingRearResolution", &S::parkingRearResolution, 2, 2},
        {"parkingRearFrameRate", &S::parkingRearFrameRate, 2, 2},
        {"parkingRearQuality", &S::parkingRearQuality, 3, 3},
        {"parkingImpactSensitivity", &S::parkingImpactSensitivity, 7, 8},
        {"parkingMode", &S::parkingMode, 0, 1},
        {"motionDetection", &S::motionDetection, 1, 1},
        {"motionAreaFront", &S::motionAreaFront, kKeep, kKeep},
        {"motionAreaRear", &S::motionAreaRear, kKeep, kKeep},
        {"motionSensitivity", &S::motionSensitivity, 3, 3},
        {"stopTimerHours", &S::stopTimerHours, 48, 48},
        {"cutoffVoltage12", &S::cutoffVoltage12, 6, 4},
        {"cutoffVoltage24", &S::cutoffVoltage24, 6, 4},
        {"memoryPartition", &S::memoryPartition, 1, 1},
        {"securityLed", &S::securityLed, 0, 1},
        {"timeZoneBias", &S::timeZoneBias, -480, kKeep},
        {"daylightSaving", &S::daylightSaving, 1, 1},
        {"dateFormat", &S::dateFormat, 0, 0},
        {"speedUnit", &S::speedUnit, 0, 1},
        {"language", &S::language, 0, 0},
    };
    for (const ModelProfile *model : {&K420_Setting, &KZ7100_Setting}) {
        const bool k420 = model == &K420_Setting;
        // A loaded record with every byte set, so untouched fields keep a recognisable value.
        for (size_t i = 0; i < kCameraSettingsSize; i += 4)
            std::memcpy(record.bytes() + i, &kKeep, 4);
        const CameraSettings before = record;
        ResetSettings(record, *model);
        for (const ResetCase &c : cases)
            EXPECT_EQ(record.*(c.member), k420 ? c.k420 : c.kz7100)
                << model->programName << " " << c.field;
        EXPECT_EQ(record.checksum, uint32_t(kKeep));
        EXPECT_EQ(record.configVersion, uint32_t(kKeep));
        const struct {
            size_t offset, width;
            const char *text;
        } texts[] = {{8, 16, "K420"},
                     {228, 128, "SETTING/K420_Setting.exe"},
                     {380, 32, "Pacific Standard Time"}};
        for (const auto &t : texts) {
            QByteArray want(reinterpret_cast<const char *>(before.bytes()) + t.offset,
                            int(t.width));
            if (k420) {
                want.fill(0);
                want.replace(0, int(std::strlen(t.text)), t.text);
            }
            EXPECT_EQ(
                QByteArray(reinterpret_cast<const char *>(record.bytes()) + t.offset, int(t.width)),
                want)
                << model->programName << " " << t.text;
        }
    }
}

TEST_F(SettingsFileTest, RecordDumpIsThirtyFiveExactLines)
{
    // Distinct values so that every line shows which field it printed.
    int32_t *fields = reinterpret_cast<int32_t *>(record.bytes());
    for (size_t i = 0; i < kCameraSettingsSize / 4; ++i)
        fields[i] = int32_t(i * 4); // each field holds its own offset
    record.timeZoneBias = -300;
    DumpSettings(record);
    const QStringList want = {
        "Common -----------------------------------------------------------------\n",
        "Front Camera Brightness  [0~2] = 64\n",
        "Voice recording Enable [0/1] = 100\n",
        "Voice guguidence Enable[0/1] = 108,  Volume [1~6] = 112\n",
        "Safe Helper Voice (Domestic only) Enable [0/1] = 116\n",
        "Time Zone  Offset = -300\n",
        "Date Format  [0/1] = 412\n",
        "Speed Unit  [0/1] = 416\n",
        "Current Language  [0/1] = 428\n",
        "Continous  ---------------------------------------------------------------\n",
        "Front Camera Resolution [1~3] = 52\n",
        "Rear Camera Resolution [1~2] = 76\n",
        "Front Frame [1~3] = 56\n",
        "Front Vidoe Quality  [1~3] = 60\n",
        "Rear Vidoe Quality  [1~3] = 84\n",
        "Impact Sensitivity [1~10] = 120\n",
        "Surveillance ---------------------------------------------------------------\n",
        "Surveillance Enable [0/1] = 180\n",
        "Front Camera Resolution [1~3] = 152\n",
        "Rear Camera Resolution [1~2] = 164\n",
        "Front Frame [1~3] = 156\n",
        "Front Vidoe Quality  [1~3] = 160\n",
        "Rear Vidoe Quality  [1~3] = 172\n",
        "Impact Sensitivity [1~10] = 176\n",
        "Motion Detect  Enabe[0/1] = 184, Sensitivity [1,3,5] = 196\n",
        " Timer setting for stop recording   [1~48] = 200 \n",
        " Voltage setting for stop recording   [11.6(0) ~12.3(7)] = 204, [23.2(0) ~24.6(7)] = 208 "
        "\n",
        "Additional -----------------------------------------------------------------\n",
        "Event Recording [0/1] = 132\n",
        "Motion Detecton [0/1] = 136\n",
        "Event Recording(park) [0/1] = 140\n",
        "Manual Recording [0/1] = 144\n",
        "Security LED [0~3] = 216\n",
        "Memory Partition [1~3] = 212\n",
        "-----------------------------------------------------------------------------\n",
    };
    EXPECT_EQ(log.messages(), want);
    // The separators' lengths as the format gives them.
    EXPECT_EQ(want[0].count('-'), 65);
    EXPECT_EQ(want[9].count('-'), 63);
    EXPECT_EQ(want[16].count('-'), 63);
    EXPECT_EQ(want[34].count('-'), 77);
}

} // namespace
