// The shipped Windows time zone data against the system's tzdata (through QTimeZone): for every
// zone Qt maps to IANA zones, the standard offset, whether daylight saving time is observed, its
// size, and the two transition instants of one year computed from the TZI rule dates.
#include "builds/model_profile.h"
#include "file/debug_log.h"
#include "locale/time_zones.h"

#include <QDate>
#include <QDateTime>
#include <QMap>
#include <QTimeZone>

#include <gtest/gtest.h>

namespace {

// The year the data describes.
constexpr int kYear = 2026;

// The day a yearly rule (month, weekday, week 1..5 with 5 = last) falls on.
QDate RuleDay(int year, const TzDate &d)
{
    const QDate first(year, d.month, 1);
    const int firstDow = first.dayOfWeek() % 7; // Qt: Monday 1 .. Sunday 7; TZI: Sunday 0
    int day = 1 + (d.dayOfWeek - firstDow + 7) % 7 + (d.day - 1) * 7;
    while (day > first.daysInMonth())
        day -= 7;
    return QDate(year, d.month, day);
}

// UTC instant of a transition given in local time with the offset (minutes west) in force
// before it.
QDateTime RuleInstant(int year, const TzDate &d, int minutesWest)
{
    const QDateTime local(RuleDay(year, d), QTime(d.hour, d.minute, d.second, d.milliseconds),
                          Qt::UTC);
    return local.addSecs(qint64(minutesWest) * 60);
}

// Zones whose tzdata rules a yearly TZI rule cannot carry: only their standard offset is
// compared.
const QMap<QString, const char *> kRuleExceptions = {
    {"Morocco Standard Time", "Morocco leaves its +01 for Ramadan, dates that move every year"},
    {"Cuba Standard Time", "tzdata keeps Havana on daylight time from March 2026 into 2027"},
};

// Checks one zone against one IANA zone; an empty result means they agree.
QString Compare(const CRegTimeZoneInfo &z, const QByteArray &iana, bool rules)
{
    const QTimeZone tz(iana);
    if (!tz.isValid())
        return "unknown to the system";
    const QDateTime start(QDate(kYear, 1, 1), QTime(0, 0), Qt::UTC);
    const QDateTime end(QDate(kYear + 1, 1, 1), QTime(0, 0), Qt::UTC);
    const int standard =
        tz.standardTimeOffset(QDateTime(QDate(kYear, 1, 15), QTime(12, 0), Qt::UTC));
    if (standard != z.bias * 60)
        return QString("standard offset %1 min, data %2").arg(standard / 60).arg(z.bias);
    if (!rules)
        return QString();
    const QTimeZone::OffsetDataList transitions = tz.transitions(start, end);
    const bool observed = z.daylightDate.month != 0;
    if (!observed)
        return transitions.isEmpty()
                   ? QString()
                   : QString("%1 transitions in %2, data none").arg(transitions.size()).arg(kYear);
    if (transitions.size() != 2)
        return QString("%1 transitions in %2, data two").arg(transitions.size()).arg(kYear);
    const int west = -z.bias;
    const QDateTime toDaylight = RuleInstant(kYear, z.daylightDate, west + z.standardBias);
    const QDateTime toStandard = RuleInstant(kYear, z.standardDate, west - z.daylightBias);
    for (const QTimeZone::OffsetData &t : transitions) {
        const bool daylight = t.daylightTimeOffset != 0;
        const QDateTime want = daylight ? toDaylight : toStandard;
        // Rules at midnight are written as 23:59:59.999 of the day before.
        if (qAbs(t.atUtc.msecsTo(want)) > 1000)
            return QString("%1 at %2, data %3")
                .arg(daylight ? "daylight" : "standard", t.atUtc.toString(Qt::ISODate),
                     want.toString(Qt::ISODate));
        if (daylight && t.daylightTimeOffset != z.daylightBias * 60)
            return QString("daylight saving %1 min, data %2")
                .arg(t.daylightTimeOffset / 60)
                .arg(z.daylightBias);
    }
    return QString();
}

TEST(ShippedZoneData, AgreesWithTzdata)
{
    DebugLogCapture log;
    // Every key of the database, the excluded ones too.
    QList<RegistryKey> all = ShippedTimeZoneDatabase();
    for (RegistryKey &key : all)
        key.path.replace("Time Zones\\", "Time Zones\\Z "); // no prefix of the exclusion list
    const CTimeZoneInfoManager m(all, K420_Setting, CurrentTimeZone());
    ASSERT_EQ(m.count(), 143);

    int compared = 0;
    QStringList unmapped;
    for (int i = 0; i < m.count(); ++i) {
        CRegTimeZoneInfo z = m.zone(i);
        z.keyName = z.keyName.mid(2);
        const QByteArray key = z.keyName.toLatin1();
        const QByteArray preferred = QTimeZone::windowsIdToDefaultIanaId(key);
        if (preferred.isEmpty()) {
            unmapped << z.keyName;
            continue;
        }
        ++compared;
        // Qt's table may name a zone that has since left the Windows zone (Chihuahua left
        // Mountain Standard Time (Mexico)): one of the zone's IANA zones must agree, the
        // preferred one first.
        QList<QByteArray> candidates{preferred};
        for (const QByteArray &id : QTimeZone::windowsIdToIanaIds(key))
            if (!candidates.contains(id))
                candidates << id;
        QStringList problems;
        bool agreed = false;
        for (const QByteArray &iana : candidates) {
            const QString problem = Compare(z, iana, !kRuleExceptions.contains(z.keyName));
            if (problem.isEmpty()) {
                agreed = true;
                break;
            }
            problems << QString::fromLatin1(iana) + ": " + problem;
        }
        EXPECT_TRUE(agreed) << z.keyName.toStdString() << "\n  "
                            << problems.join("\n  ").toStdString();
    }
    // Only the legacy keys Windows keeps for old settings have no IANA zone in Qt's table.
    unmapped.sort();
    EXPECT_EQ(unmapped, (QStringList{"Kamchatka Standard Time", "Mexico Standard Time",
                                     "Mexico Standard Time 2", "Mid-Atlantic Standard Time"}));
    EXPECT_EQ(compared, 139);
}

} // namespace
