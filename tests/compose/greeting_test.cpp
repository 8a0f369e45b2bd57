#include "keyer_fixture.h"
#include "local_zone.h"

namespace {

constexpr const char *Tokyo = "Asia/Tokyo";
constexpr const char *Utc = "UTC";

QString boundaryText(int hour, int minute, const char *offset)
{
    return QStringLiteral("2008-05-01 %1:%2:00 %3")
        .arg(hour, 2, 10, QLatin1Char('0'))
        .arg(minute, 2, 10, QLatin1Char('0'))
        .arg(QLatin1String(offset));
}

class Greeting : public KeyerFixture
{
protected:
    QString greetingAt(int minuteOfDay, int second = 0)
    {
        now = localTime(minuteOfDay / 60, minuteOfDay % 60, second);
        return keyer.getGreeting();
    }

    void setBoundaries(const QVariant &gm, const QVariant &ga, const QVariant &ge)
    {
        store.setValue(KLKDayOfGmKey, gm);
        store.setValue(KLKDayOfGaKey, ga);
        store.setValue(KLKDayOfGeKey, ge);
    }
};

// Every zone a test sets must really reach Qt's local time, or the greeting tests prove nothing.
void expectZoneOffset(int hours)
{
    ASSERT_EQ(QDateTime(QDate(2024, 6, 1), QTime(12, 0)).offsetFromUtc(), hours * 3600);
}

struct TimeCase
{
    int hour;
    int minute;
    int second;
    const char *greeting;
};

void PrintTo(const TimeCase &row, std::ostream *out)
{
    *out << row.hour << ":" << row.minute << ":" << row.second << " -> " << row.greeting;
}

class GreetingInTokyoWithDefaults : public Greeting, public testing::WithParamInterface<TimeCase>
{
};

TEST_P(GreetingInTokyoWithDefaults, FollowsTheRegisteredBoundaries)
{
    const LocalZone zone(Tokyo);
    ASSERT_NO_FATAL_FAILURE(expectZoneOffset(9));
    const TimeCase &row = GetParam();
    EXPECT_EQ(greetingAt(row.hour * 60 + row.minute, row.second), QLatin1String(row.greeting));
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Minutes, GreetingInTokyoWithDefaults, testing::Values(
    TimeCase{0,  0,  0,  "GE"},
    TimeCase{4,  59, 0,  "GE"},
    TimeCase{4,  59, 59, "GE"},
    TimeCase{5,  0,  0,  "GM"},
    TimeCase{5,  0,  59, "GM"},
    TimeCase{11, 59, 0,  "GM"},
    TimeCase{12, 0,  0,  "GA"},
    TimeCase{17, 59, 0,  "GA"},
    TimeCase{18, 0,  0,  "GE"},
    TimeCase{23, 59, 0,  "GE"}));
// clang-format on

struct ZoneCase
{
    const char *zone;
    int offsetHours; // in June
};

void PrintTo(const ZoneCase &row, std::ostream *out)
{
    *out << row.zone;
}

class GreetingWithDefaults : public Greeting, public testing::WithParamInterface<ZoneCase>
{
};

// With no stored boundary the greeting follows the operator's own morning, afternoon and evening.
TEST_P(GreetingWithDefaults, FollowsTheLocalDay)
{
    const LocalZone zone(GetParam().zone);
    ASSERT_NO_FATAL_FAILURE(expectZoneOffset(GetParam().offsetHours));
    for (int minute = 0; minute < 24 * 60; ++minute) {
        const char *expected = minute < 5 * 60    ? "GE"
                               : minute < 12 * 60 ? "GM"
                               : minute < 18 * 60 ? "GA"
                                                  : "GE";
        ASSERT_EQ(greetingAt(minute), QLatin1String(expected)) << "minute " << minute;
    }
}

INSTANTIATE_TEST_SUITE_P(Zones, GreetingWithDefaults,
                         testing::Values(ZoneCase{"UTC", 0}, ZoneCase{"America/New_York", -4},
                                         ZoneCase{"Europe/Berlin", 2}),
                         [](const testing::TestParamInfo<ZoneCase> &info) {
                             return std::string(info.param.offsetHours < 0 ? "Minus" : "Plus") +
                                    std::to_string(std::abs(info.param.offsetHours));
                         });

TEST_F(Greeting, BoundariesOutOfOrderAreNeitherSortedNorValidated)
{
    const LocalZone zone(Utc);
    setBoundaries(localTime(12, 0), localTime(5, 0), localTime(18, 0));
    EXPECT_EQ(greetingAt(10 * 60), QStringLiteral("GE"));
    EXPECT_EQ(greetingAt(13 * 60), QStringLiteral("GA"));
    EXPECT_EQ(greetingAt(19 * 60), QStringLiteral("GE"));
    for (int minute = 0; minute < 24 * 60; ++minute)
        ASSERT_NE(greetingAt(minute), QStringLiteral("GM")) << "minute " << minute;
}

TEST_F(Greeting, EqualMorningAndAfternoonBoundariesSkipTheMorning)
{
    const LocalZone zone(Utc);
    setBoundaries(localTime(8, 0), localTime(8, 0), localTime(18, 0));
    for (int minute = 0; minute < 24 * 60; ++minute) {
        const bool afternoon = minute >= 8 * 60 && minute < 18 * 60;
        ASSERT_EQ(greetingAt(minute), afternoon ? QStringLiteral("GA") : QStringLiteral("GE"))
            << "minute " << minute;
    }
}

TEST_F(Greeting, ReadsTheThreeBoundariesThenTheClockOnEveryCall)
{
    const LocalZone zone(Utc);
    keyer.setClock([this] {
        reads.append(QStringLiteral("clock"));
        return localTime(6, 0);
    });
    setBoundaries(boundaryText(5, 0, "+0000"), boundaryText(12, 0, "+0000"), boundaryText(18, 0, "+0000"));
    EXPECT_EQ(keyer.getGreeting(), QStringLiteral("GM"));
    store.setValue(KLKDayOfGmKey, boundaryText(7, 0, "+0000"));
    EXPECT_EQ(keyer.getGreeting(), QStringLiteral("GE"));
    const QStringList once = {KLKDayOfGmKey, KLKDayOfGaKey, KLKDayOfGeKey, QStringLiteral("clock")};
    EXPECT_EQ(reads, once + once);
}

struct BoundaryCase
{
    const char *zone;
    QVariant morning; // invalid: no value at all
    int minute;       // the boundary minute it must give
};

void PrintTo(const BoundaryCase &row, std::ostream *out)
{
    *out << row.zone << " " << row.morning.toString().toStdString() << " -> " << row.minute;
}

class GreetingBoundaryForms : public Greeting, public testing::WithParamInterface<BoundaryCase>
{
};

// Afternoon and evening pinned to 23:59 in every zone, so the morning greeting starts exactly at the
// boundary under test and the evening one holds the minute before it.
TEST_P(GreetingBoundaryForms, MorningStartsAtTheBoundaryMinute)
{
    const BoundaryCase &row = GetParam();
    const LocalZone zone(row.zone);
    store.setValue(KLKDayOfGaKey, boundaryText(23, 59, "+0000"));
    store.setValue(KLKDayOfGeKey, boundaryText(23, 59, "+0000"));
    if (row.morning.isValid())
        store.setValue(KLKDayOfGmKey, row.morning);
    else
        store.registerDefaults({});
    EXPECT_EQ(greetingAt(row.minute), QStringLiteral("GM"));
    EXPECT_EQ(greetingAt(row.minute, 59), QStringLiteral("GM"));
    if (row.minute > 0) {
        EXPECT_EQ(greetingAt(row.minute - 1, 59), QStringLiteral("GE"));
    }
}

const QDateTime morningInTokyo(QDate(2008, 5, 1), QTime(5, 0), Qt::OffsetFromUTC, 9 * 3600);

// clang-format off
INSTANTIATE_TEST_SUITE_P(Values, GreetingBoundaryForms, testing::Values(
    BoundaryCase{Tokyo, QStringLiteral("2008-05-01 05:00:00 +0900"), 5 * 60},
    BoundaryCase{Utc,   QStringLiteral("2008-05-01 05:00:00 +0900"), 5 * 60},
    BoundaryCase{Utc,   QStringLiteral("2008-05-01 05:00:00 -0500"), 5 * 60},
    BoundaryCase{Tokyo, QStringLiteral("1999-12-31 07:45:30 +0000"), 7 * 60 + 45},
    BoundaryCase{Tokyo, morningInTokyo,                              5 * 60},
    BoundaryCase{Utc,   morningInTokyo,                              20 * 60},
    BoundaryCase{Tokyo, QDateTime(QDate(2008, 5, 1), QTime(20, 30), Qt::UTC), 5 * 60 + 30},
    BoundaryCase{Tokyo, QStringLiteral("garbage"),                   0},
    BoundaryCase{Utc,   QStringLiteral(""),                          0},
    BoundaryCase{Utc,   QStringLiteral("2008-05-01 05:00 +0900"),    0},
    BoundaryCase{Utc,   QStringLiteral("2008-02-30 05:00:00 +0900"), 0},
    BoundaryCase{Utc,   QStringLiteral("2008-05-01 25:00:00 +0900"), 0},
    BoundaryCase{Utc,   QVariant(qint64(500)),                       0},
    BoundaryCase{Utc,   QVariant(),                                  0}));
// clang-format on

} // namespace
