#include "builds/model_profile.h"
#include "file/camera_settings.h"
#include "file/debug_log.h"
#include "locale/time_zones.h"

#include <QDate>
#include <QDateTime>
#include <QRegularExpression>
#include <QTimeZone>

#include <gtest/gtest.h>

#include <cstring>

namespace {

// One zone of a fixture database, written as a regedit export would have it.
struct FixtureZone {
    QString key;
    QString display;
    QString std;
    int32_t tziBias; // minutes west
    int32_t standardBias = 0;
    int32_t daylightBias = -60;
};

QByteArray Tzi(int32_t bias, int32_t standardBias, int32_t daylightBias)
{
    QByteArray b(44, 0);
    const int32_t v[3] = {bias, standardBias, daylightBias};
    std::memcpy(b.data(), v, sizeof v);
    b[12 + 2] = 11; // standard date: November, first Sunday, 2:00 (kept, not used)
    b[12 + 6] = 1;
    b[12 + 8] = 2;
    return b;
}

QString Hex(const QByteArray &b)
{
    QStringList parts;
    for (char c : b)
        parts << QString::asprintf("%02x", uchar(c));
    return parts.join(',');
}

QByteArray Database(const QList<FixtureZone> &zones)
{
    QString text = "Windows Registry Editor Version 5.00\n\n";
    const QString base = QString::fromLatin1(kTimeZonesKey);
    text += "[" + base + "]\n\n";
    for (const FixtureZone &z : zones) {
        text += "[" + base + "\\" + z.key + "]\n";
        if (!z.display.isNull())
            text += "\"Display\"=\"" + z.display + "\"\n";
        if (!z.std.isNull())
            text += "\"Std\"=\"" + z.std + "\"\n";
        text += "\"TZI\"=hex:" + Hex(Tzi(z.tziBias, z.standardBias, z.daylightBias)) + "\n\n";
    }
    return text.toUtf8();
}

// A PC in a given zone as GetTimeZoneInformation reports it.
CurrentTimeZone Pc(int32_t biasWest, const char *stdName)
{
    CurrentTimeZone c;
    c.bias = biasWest;
    c.standardName = stdName;
    return c;
}

const QList<FixtureZone> &Fixture()
{
    static const QList<FixtureZone> zones = {
        {"Alaskan Standard Time", "(UTC-09:00) Alaska", "Alaskan Standard Time", 540},
        {"Argentina Standard Time", "(UTC-03:00) City of Buenos Aires", "Argentina Standard Time",
         180},
        {"armenian standard time", "(UTC+04:00) Yerevan", "Armenian Standard Time", -240},
        {"Eastern Standard Time", "(UTC-05:00) Eastern Time (US & Canada)", "Eastern Standard Time",
         300},
        {"Korea Standard Time", "(UTC+09:00) Seoul", "Korea Standard Time", -540},
        {"Mexico Standard Time 2", "(UTC-07:00) Chihuahua - Old", "Mexico Standard Time 2", 420},
        {"Mid-Atlantic Standard Time", "(UTC-02:00) Mid-Atlantic - Old",
         "Mid-Atlantic Standard Time", 120},
        {"Middle East Standard Time", "(UTC+02:00) Beirut", "Middle East Standard Time", -120},
        // Sorts before Pacific Standard Time: equal bias, smaller standard name.
        {"Pacific Standard Time (Mexico)", "(UTC-08:00) Baja California", "Baja Standard Time",
         480},
        {"Pacific Standard Time", "(UTC-08:00) Pacific Time (US & Canada)", "Pacific Standard Time",
         480},
        {"SA Pacific Standard Time", "(UTC-05:00) Bogota, Lima", "SA Pacific Standard Time", 300},
        {"Tokyo Standard Time", "(UTC+09:00) Osaka, Sapporo, Tokyo", "Tokyo Standard Time", -540},
        {"UTC", "(UTC) Coordinated Universal Time", "Coordinated Universal Time", 0, 0, 0},
        {"UTC-11", "(UTC-11:00) Coordinated Universal Time-11", "UTC-11", 660, 0, 0},
        {"UTC+12", "(UTC+12:00) Coordinated Universal Time+12", "UTC+12", -720, 0, 0},
        {"Venezuela Standard Time", "(UTC-04:00) Caracas", "Venezuela Standard Time", 240},
        {"W. Europe Standard Time", "(UTC+01:00) Amsterdam, Berlin", "W. Europe Standard Time",
         -60},
    };
    return zones;
}

class TimeZoneFixture : public ::testing::Test
{
protected:
    QList<RegistryKey> database = ParseRegistryText(Database(Fixture()));
    DebugLogCapture log;
    CameraSettings record = [] {
        CameraSettings s;
        ClearSettings(s);
        return s;
    }();

    static int IndexOf(const CTimeZoneInfoManager &m, const QString &key)
    {
        for (int i = 0; i < m.count(); ++i)
            if (m.zone(i).keyName == key)
                return i;
        return -2;
    }
    void SetZone(const char *name, int32_t bias)
    {
        std::memset(record.timeZoneName, 0, sizeof record.timeZoneName);
        std::strcpy(record.timeZoneName, name);
        record.timeZoneBias = bias;
    }
};

TEST_F(TimeZoneFixture, ExclusionKeepsEnumerationOrder)
{
    const CTimeZoneInfoManager m(database, K420_Setting, Pc(-540, "Korea Standard Time"));
    const QStringList want = {"Alaskan Standard Time",
                              "Eastern Standard Time",
                              "Korea Standard Time",
                              "Mid-Atlantic Standard Time",
                              "Pacific Standard Time (Mexico)",
                              "Pacific Standard Time",
                              "SA Pacific Standard Time",
                              "Tokyo Standard Time",
                              "W. Europe Standard Time"};
    EXPECT_EQ(m.keyNames(), want);
    EXPECT_EQ(m.count(), want.size());
}

TEST_F(TimeZoneFixture, SortedEastFirstThenByStandardName)
{
    const CTimeZoneInfoManager m(database, K420_Setting, Pc(-540, "Korea Standard Time"));
    QStringList order;
    for (int i = 0; i < m.count(); ++i)
        order << m.zone(i).keyName;
    const QStringList want = {"Korea Standard Time",
                              "Tokyo Standard Time",
                              "W. Europe Standard Time",
                              "Mid-Atlantic Standard Time",
                              "Eastern Standard Time",
                              "SA Pacific Standard Time",
                              "Pacific Standard Time (Mexico)",
                              "Pacific Standard Time",
                              "Alaskan Standard Time"};
    EXPECT_EQ(order, want);
    const CRegTimeZoneInfo &korea = m.zone(0);
    EXPECT_EQ(korea.bias, 540);
    EXPECT_EQ(korea.daylightBias, 60);
    EXPECT_EQ(korea.standardBias, 0);
    EXPECT_EQ(korea.displayName, "(UTC+09:00) Seoul");
    EXPECT_EQ(korea.standardName, "Korea Standard Time");
    EXPECT_EQ(korea.standardDate.month, 11);
    EXPECT_EQ(korea.standardDate.day, 1);
    EXPECT_EQ(korea.standardDate.hour, 2);
}

TEST_F(TimeZoneFixture, StandardNamesCompareByCodeUnits)
{
    const QList<FixtureZone> zones = {{"B", "b", "alpha", -60},
                                      {"A", "a", "Zulu", -60},
                                      {"C", "c", "\u00c9cole", -60},
                                      {"D", "d", "Zulu", -60}};
    const CTimeZoneInfoManager m(ParseRegistryText(Database(zones)), K420_Setting, Pc(0, ""));
    ASSERT_EQ(m.count(), 4);
    EXPECT_EQ(m.zone(0).keyName, "A"); // 'Z' < 'a' < U+00C9
    EXPECT_EQ(m.zone(1).keyName, "D"); // equal names keep enumeration order
    EXPECT_EQ(m.zone(2).keyName, "B");
    EXPECT_EQ(m.zone(3).keyName, "C");
}

TEST_F(TimeZoneFixture, MissingOrOversizedValuesStayEmpty)
{
    const QString base = QString::fromLatin1(kTimeZonesKey);
    const QString text =
        "[" + base + "\\Bare Zone]\n\n" + "[" + base + "\\Long Display]\n\"Display\"=\"" +
        QString(256, 'd') + "\"\n" + "\"Std\"=\"" + QString(255, 's') +
        "\"\n\"TZI\"=hex:" + Hex(Tzi(-60, 0, -60) + "x") + "\n" + "[" + base +
        "\\Short TZI]\n\"tzi\"=hex:10,fe,ff,ff\n\"Std\"=hex:41,42\n" + "[" + base +
        "\\Deeper\\Dynamic DST]\n\"2026\"=hex:00\n" + "[" + base + "\\" + QString(255, 'k') + "]\n";
    const CTimeZoneInfoManager m(ParseRegistryText(text.toUtf8()), K420_Setting, Pc(0, ""));
    ASSERT_EQ(m.count(), 3);
    const CRegTimeZoneInfo &shortTzi = m.zone(0);
    EXPECT_EQ(shortTzi.keyName, "Short TZI");
    EXPECT_EQ(shortTzi.bias, 496);
    EXPECT_EQ(shortTzi.daylightBias, 0);
    EXPECT_EQ(shortTzi.standardName, "") << "a binary Std is no name";
    for (int i = 1; i < 3; ++i) {
        const CRegTimeZoneInfo &z = m.zone(i);
        EXPECT_EQ(z.bias, 0) << z.keyName.toStdString();
        EXPECT_EQ(z.daylightBias, 0);
        EXPECT_EQ(z.displayName, "");
        EXPECT_EQ(z.standardName, z.keyName == "Long Display" ? QString(255, 's') : QString());
    }
}

struct FindCase {
    const char *name;
    int32_t bias;
    const char *k420; // key name of the zone found, "" for -1
    const char *kz7100;
};

TEST_F(TimeZoneFixture, FindZoneInBothBuilds)
{
    const FindCase cases[] = {
        {"Pacific Standard Time", -480, "Pacific Standard Time", "Pacific Standard Time"},
        {"", -480, "Pacific Standard Time (Mexico)", "Pacific Standard Time (Mexico)"},
        {"", 540, "Korea Standard Time", "Korea Standard Time"},
        {"", 345, "", ""},
        {"Atlantis Standard Time", -300, "Eastern Standard Time", ""},
        {"pacific standard time", -480, "Pacific Standard Time (Mexico)", ""},
        {"Pacific Standard Time", -300, "Eastern Standard Time", ""},
        {"Korea Standard Time", 345, "", ""},
        {"UTC", 0, "", ""},
    };
    const CTimeZoneInfoManager k420(database, K420_Setting, Pc(0, ""));
    const CTimeZoneInfoManager kz7100(database, KZ7100_Setting, Pc(0, ""));
    for (const FindCase &c : cases) {
        const int a = k420.FindZone(c.name, c.bias);
        const int b = kz7100.FindZone(c.name, c.bias);
        EXPECT_EQ(a < 0 ? QString() : k420.zone(a).keyName, c.k420) << c.name << " " << c.bias;
        EXPECT_EQ(b < 0 ? QString() : kz7100.zone(b).keyName, c.kz7100) << c.name << " " << c.bias;
    }
}

TEST_F(TimeZoneFixture, FindCurrentZoneMatchesBiasStandardBiasAndName)
{
    const struct {
        CurrentTimeZone pc;
        const char *key;
    } cases[] = {
        {Pc(-540, "Tokyo Standard Time"), "Tokyo Standard Time"},
        {Pc(480, "Pacific Standard Time"), "Pacific Standard Time"},
        {Pc(480, "Mountain Standard Time"), "Korea Standard Time"}, // none: first zone
        {Pc(-480, "Pacific Standard Time"), "Korea Standard Time"},
        {[] {
             CurrentTimeZone c = Pc(-540, "Tokyo Standard Time");
             c.standardBias = -30;
             return c;
         }(),
         "Korea Standard Time"},
    };
    for (const auto &c : cases) {
        const CTimeZoneInfoManager m(database, K420_Setting, c.pc);
        EXPECT_EQ(m.zone(m.FindCurrentZone()).keyName, c.key) << c.pc.standardName.toStdString();
    }
}

TEST_F(TimeZoneFixture, StoreZoneClearsTheNameAndRefusesWhatCannotFit)
{
    const QList<FixtureZone> zones = {
        {"Exactly Thirty-One Characters!!", "(UTC+01:00) a", "A", -60},
        {"Thirty-Two Characters Are Too Long", "(UTC+02:00) b", "B", -120},
    };
    const CTimeZoneInfoManager m(ParseRegistryText(Database(zones)), K420_Setting, Pc(0, ""));
    ASSERT_EQ(m.count(), 2);
    std::memset(record.timeZoneName, 'x', sizeof record.timeZoneName);
    record.timeZoneBias = 7;
    const CameraSettings before = record;

    const int tooLong = IndexOf(m, "Thirty-Two Characters Are Too Long");
    EXPECT_FALSE(m.StoreZone(tooLong, record));
    EXPECT_FALSE(m.StoreZone(-1, record));
    EXPECT_FALSE(m.StoreZone(m.count(), record));
    EXPECT_EQ(std::memcmp(&before, &record, sizeof record), 0);

    ASSERT_TRUE(m.StoreZone(IndexOf(m, "Exactly Thirty-One Characters!!"), record));
    EXPECT_EQ(QByteArray(record.timeZoneName, 32),
              QByteArray("Exactly Thirty-One Characters!!\0", 32));
    EXPECT_EQ(record.timeZoneBias, 60);
}

TEST_F(TimeZoneFixture, StoredPacificIsNotTheMexicanZone)
{
    const CTimeZoneInfoManager m(database, K420_Setting, Pc(-540, "Korea Standard Time"));
    ASSERT_EQ(m.zone(IndexOf(m, "Pacific Standard Time (Mexico)")).bias, -480);
    ASSERT_LT(IndexOf(m, "Pacific Standard Time (Mexico)"), IndexOf(m, "Pacific Standard Time"));
    SetZone("Pacific Standard Time", -480);
    const CameraSettings before = record;
    EXPECT_EQ(m.ChooseStoredZone(record), IndexOf(m, "Pacific Standard Time"));
    EXPECT_EQ(std::memcmp(&before, &record, sizeof record), 0);
    EXPECT_EQ(log.messages(), QStringList{"TimeZone Read  [Pacific Standard Time] Bias[-480]\n"});
}

struct ChooseCase {
    const char *name;
    const ModelProfile *model;
    const char *storedName;
    int32_t storedBias;
    const char *shown;      // key name of the zone shown
    const char *recordName; // record afterwards
    int32_t recordBias;
};

class ChooseCases : public TimeZoneFixture, public ::testing::WithParamInterface<ChooseCase>
{};

TEST_P(ChooseCases, ShowsAndStoresAsTheRuleSays)
{
    const ChooseCase &c = GetParam();
    const CTimeZoneInfoManager m(database, *c.model, Pc(-540, "Korea Standard Time"));
    SetZone(c.storedName, c.storedBias);
    const int index = m.ChooseStoredZone(record);
    ASSERT_GE(index, 0);
    EXPECT_EQ(m.zone(index).keyName, c.shown);
    EXPECT_STREQ(record.timeZoneName, c.recordName);
    EXPECT_EQ(record.timeZoneBias, c.recordBias);
    EXPECT_EQ(log.messages(), QStringList{QString::asprintf("TimeZone Read  [%s] Bias[%d]\n",
                                                            c.storedName, c.storedBias)});
}

INSTANTIATE_TEST_SUITE_P(
    Rule, ChooseCases,
    ::testing::Values(
        ChooseCase{"EmptyNameKnownBias", &K420_Setting, "", 540, "Korea Standard Time", "", 540},
        ChooseCase{"EmptyNameKnownBiasKZ", &KZ7100_Setting, "", -300, "Eastern Standard Time", "",
                   -300},
        ChooseCase{"NoZoneStoresThePcs", &K420_Setting, "", 0, "Korea Standard Time",
                   "Korea Standard Time", 540},
        ChooseCase{"NoZoneStoresThePcsKZ", &KZ7100_Setting, "", 0, "Korea Standard Time",
                   "Korea Standard Time", 540},
        ChooseCase{"UnknownOffset", &K420_Setting, "", 345, "Korea Standard Time", "", 345},
        ChooseCase{"UnknownOffsetWithName", &K420_Setting, "Nepal Standard Time", 345,
                   "Korea Standard Time", "Nepal Standard Time", 345},
        ChooseCase{"UnknownKeyK420", &K420_Setting, "Atlantis Standard Time", -300,
                   "Eastern Standard Time", "Atlantis Standard Time", -300},
        ChooseCase{"UnknownKeyKZ7100", &KZ7100_Setting, "Atlantis Standard Time", -300,
                   "Korea Standard Time", "Atlantis Standard Time", -300},
        ChooseCase{"NameWithZeroBias", &K420_Setting, "UTC", 0, "Korea Standard Time", "UTC", 0}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(TimeZoneFixture, EmptyCatalogueSelectsNothing)
{
    const CTimeZoneInfoManager m(QList<RegistryKey>(), K420_Setting,
                                 Pc(-540, "Korea Standard Time"));
    EXPECT_EQ(m.count(), 0);
    EXPECT_EQ(m.ChooseStoredZone(record), -1);
    EXPECT_EQ(record.timeZoneBias, 0);
    EXPECT_EQ(record.timeZoneName[0], 0);
}

TEST_F(TimeZoneFixture, PickingAZoneStoresAndLogsIt)
{
    const CTimeZoneInfoManager m(database, K420_Setting, Pc(0, ""));
    SetZone("Pacific Standard Time", -480);
    m.PickZone(IndexOf(m, "W. Europe Standard Time"), record);
    EXPECT_STREQ(record.timeZoneName, "W. Europe Standard Time");
    EXPECT_EQ(record.timeZoneBias, 60);
    EXPECT_EQ(log.messages(), QStringList{"TimeZone [W. Europe Standard Time] Bias[60]\n"});
}

// The shipped database.

class ShippedZones : public ::testing::Test
{
protected:
    DebugLogCapture log;
};

TEST_F(ShippedZones, LoadsEveryZoneButTheExcludedOnes)
{
    const QList<RegistryKey> db = ShippedTimeZoneDatabase();
    const CTimeZoneInfoManager m(db, K420_Setting, Pc(0, ""));
    EXPECT_GE(m.count(), 100);
    for (int i = 0; i < m.count(); ++i) {
        const CRegTimeZoneInfo &z = m.zone(i);
        for (const char *prefix : kExcludedZonePrefixes)
            EXPECT_FALSE(z.keyName.startsWith(prefix, Qt::CaseInsensitive))
                << z.keyName.toStdString();
        EXPECT_FALSE(z.displayName.isEmpty()) << z.keyName.toStdString();
        EXPECT_FALSE(z.standardName.isEmpty()) << z.keyName.toStdString();
        EXPECT_LE(z.keyName.size(), 31) << z.keyName.toStdString();
        if (i > 0) {
            const CRegTimeZoneInfo &p = m.zone(i - 1);
            EXPECT_TRUE(p.bias > z.bias || (p.bias == z.bias && p.standardName <= z.standardName))
                << p.keyName.toStdString() << " before " << z.keyName.toStdString();
        }
    }
    EXPECT_EQ(m.zone(0).keyName, "Line Islands Standard Time");
    EXPECT_EQ(m.zone(m.count() - 1).keyName, "Dateline Standard Time");
    // 143 keys, 23 of which the list drops (among them seven UTC keys, Kamchatka, Mexico 1 and 2).
    EXPECT_EQ(m.count(), 143 - 23);
    EXPECT_EQ(m.FindZone("Kamchatka Standard Time", 720), m.FindZone("", 720));
    EXPECT_NE(m.zone(m.FindZone("", 720)).keyName, "Kamchatka Standard Time");
}

TEST_F(ShippedZones, DisplayOffsetsMatchTheBiases)
{
    const QRegularExpression offset(R"(^\(UTC(?:([+-])(\d\d):(\d\d))?\) \S)");
    const CTimeZoneInfoManager m(ShippedTimeZoneDatabase(), K420_Setting, Pc(0, ""));
    for (int i = 0; i < m.count(); ++i) {
        const CRegTimeZoneInfo &z = m.zone(i);
        const auto match = offset.match(z.displayName);
        ASSERT_TRUE(match.hasMatch()) << z.displayName.toStdString();
        int minutes = match.captured(2).toInt() * 60 + match.captured(3).toInt();
        if (match.captured(1) == "-")
            minutes = -minutes;
        EXPECT_EQ(z.bias, minutes) << z.keyName.toStdString();
    }
}

TEST_F(ShippedZones, TheCommonTabsEdgeCases)
{
    const QList<RegistryKey> db = ShippedTimeZoneDatabase();
    const CTimeZoneInfoManager k420(db, K420_Setting, Pc(-540, "Korea Standard Time"));
    const CTimeZoneInfoManager kz7100(db, KZ7100_Setting, Pc(-540, "Korea Standard Time"));
    CameraSettings record;
    ClearSettings(record);
    // A 1.0 file on a PC in Korea.
    int index = k420.ChooseStoredZone(record);
    EXPECT_EQ(k420.zone(index).keyName, "Korea Standard Time");
    EXPECT_STREQ(record.timeZoneName, "Korea Standard Time");
    EXPECT_EQ(record.timeZoneBias, 540);
    // Pacific, not Pacific (Mexico).
    std::strcpy(record.timeZoneName, "Pacific Standard Time");
    record.timeZoneBias = -480;
    EXPECT_EQ(k420.zone(k420.ChooseStoredZone(record)).displayName,
              "(UTC-08:00) Pacific Time (US & Canada)");
    // An unknown key with -300.
    std::memset(record.timeZoneName, 0, 32);
    std::strcpy(record.timeZoneName, "Atlantis Standard Time");
    record.timeZoneBias = -300;
    EXPECT_EQ(k420.zone(k420.ChooseStoredZone(record)).bias, -300);
    EXPECT_EQ(kz7100.zone(kz7100.ChooseStoredZone(record)).keyName, "Korea Standard Time");
    EXPECT_STREQ(record.timeZoneName, "Atlantis Standard Time");
    // An empty name with +540: the first such zone.
    std::memset(record.timeZoneName, 0, 32);
    record.timeZoneBias = 540;
    index = k420.ChooseStoredZone(record);
    EXPECT_EQ(index, k420.FindZone("", 540));
    EXPECT_EQ(k420.zone(index).bias, 540);
    EXPECT_EQ(record.timeZoneName[0], 0);
}

} // namespace
