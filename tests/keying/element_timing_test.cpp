#include "keying_fixture.h"

#include <cmath>
#include <limits>

namespace {

using namespace keying;

struct SpeedRow
{
    int speed;
    std::int64_t dit, dah, letter, wordSpace; // whole ms as waited
};

class DurationTableTest : public KeyingTest, public ::testing::WithParamInterface<SpeedRow>
{
};

TEST_P(DurationTableTest, SpeedGivesTheWholeMillisecondsWaited)
{
    const SpeedRow row = GetParam();
    SerialController &serial = start();
    serial.output().cwSetWpm(row.speed);
    EXPECT_EQ(wholeMilliseconds(dit_time), row.dit);
    EXPECT_EQ(wholeMilliseconds(intra_time), row.dit);
    EXPECT_EQ(wholeMilliseconds(dah_time), row.dah);
    EXPECT_EQ(wholeMilliseconds(letter_time), row.letter);

    const float gap = word_time - letter_time;
    serial.output().timer(gap);
    EXPECT_EQ(clock.elapsedMs(), double(row.wordSpace));
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(RegisteredRatios, DurationTableTest, ::testing::Values(
    SpeedRow{5,  240, 720, 720, 960},
    SpeedRow{7,  171, 514, 514, 685},
    SpeedRow{12, 100, 300, 300, 400},
    SpeedRow{13, 92,  276, 276, 369},
    SpeedRow{20, 60,  180, 180, 240},
    SpeedRow{25, 48,  144, 144, 192},
    SpeedRow{40, 30,  90,  90,  120}));
// clang-format on

TEST_F(KeyingTest, TwelveWordsPerMinuteGivesTheInitialDurations)
{
    start().output().cwSetWpm(12);
    EXPECT_EQ(wpm, 12.0f);
    EXPECT_EQ(dit_time, 100.0f);
    EXPECT_EQ(dah_time, 300.0f);
    EXPECT_EQ(intra_time, 100.0f);
    EXPECT_EQ(letter_time, 300.0f);
    EXPECT_EQ(word_time, 700.0f);
}

TEST_F(KeyingTest, WordSpaceIsComputedInSinglePrecision)
{
    store->setValue(KLKTimeWordKey, 5);
    store->setValue(KLKTimeLetterKey, 2);
    SerialController &serial = start();
    serial.output().cwSetWpm(9);
    const float gap = word_time - letter_time;
    EXPECT_EQ(gap, 399.99997f);
    serial.output().timer(gap);
    EXPECT_EQ(clock.elapsedMs(), 399.0);
}

struct SpeedChoiceRow
{
    std::vector<int> speeds;
    float expectedWpm;
};

class SpeedChoiceTest : public KeyingTest, public ::testing::WithParamInterface<SpeedChoiceRow>
{
};

// A speed of four or less keeps the one last accepted; one above the range keys at its top.
TEST_P(SpeedChoiceTest, SpeedIsKeptInsideTheRange)
{
    SerialController &serial = start();
    for (int speed : GetParam().speeds)
        serial.output().cwSetWpm(speed);
    EXPECT_EQ(wpm, GetParam().expectedWpm);
    EXPECT_EQ(dit_time, 1200.0f / GetParam().expectedWpm);
    EXPECT_EQ(word_time, 7 * dit_time);
}

INSTANTIATE_TEST_SUITE_P(Speeds, SpeedChoiceTest,
                         ::testing::Values(SpeedChoiceRow{{20, 4}, 20.0f}, SpeedChoiceRow{{0}, 12.0f},
                                           SpeedChoiceRow{{-7}, 12.0f}, SpeedChoiceRow{{5}, 5.0f},
                                           SpeedChoiceRow{{40}, 40.0f}, SpeedChoiceRow{{41}, 40.0f},
                                           SpeedChoiceRow{{100, 3}, 40.0f}));

struct BoundRow
{
    const char *name;
    QString key;
    QVariant stored;
    std::int64_t dit, dah, letter, word; // whole ms
    QString line;
};

class BoundedDurationTest : public KeyingTest, public ::testing::WithParamInterface<BoundRow>
{
};

// Values outside the ranges the windows offer are keyed as the nearest value inside, reported once; no
// element can outlast a dah of ten dits at 5 wpm.
TEST_P(BoundedDurationTest, StoredValueIsClampedAndReportedOnce)
{
    const BoundRow row = GetParam();
    store->setValue(row.key, row.stored);
    SerialController &serial = start();
    serial.output().cwSetWpm(store->intValue(KLKWpmKey));
    serial.output().cwSetWpm(store->intValue(KLKWpmKey));
    EXPECT_EQ(wholeMilliseconds(dit_time), row.dit);
    EXPECT_EQ(wholeMilliseconds(dah_time), row.dah);
    EXPECT_EQ(wholeMilliseconds(letter_time), row.letter);
    EXPECT_EQ(wholeMilliseconds(word_time), row.word);
    EXPECT_LE(wholeMilliseconds(dah_time), 2400);
    EXPECT_EQ(diagnostics(), QStringList{row.line});
}

const double inf = std::numeric_limits<double>::infinity();
const double nan = std::numeric_limits<double>::quiet_NaN();

// clang-format off
INSTANTIATE_TEST_SUITE_P(Values, BoundedDurationTest, ::testing::Values(
    BoundRow{"WpmInfinite", KLKWpmKey, inf, 30, 90, 90, 210,
             QStringLiteral("#.. Keylark : \"wpm\" 2147483647 is outside 5 to 40; using 40.")},
    BoundRow{"Wpm1e300", KLKWpmKey, 1e300, 30, 90, 90, 210,
             QStringLiteral("#.. Keylark : \"wpm\" 2147483647 is outside 5 to 40; using 40.")},
    BoundRow{"Wpm1000", KLKWpmKey, 1000, 30, 90, 90, 210,
             QStringLiteral("#.. Keylark : \"wpm\" 1000 is outside 5 to 40; using 40.")},
    BoundRow{"WpmNegative", KLKWpmKey, -20, 100, 300, 300, 700,
             QStringLiteral("#.. Keylark : \"wpm\" -20 is outside 5 to 40; using 12.")},
    BoundRow{"WpmNaN", KLKWpmKey, nan, 100, 300, 300, 700,
             QStringLiteral("#.. Keylark : \"wpm\" 0 is outside 5 to 40; using 12.")},
    BoundRow{"DahInfiniteText", KLKTimeDahKey, QStringLiteral("1e999"), 100, 1000, 300, 700,
             QStringLiteral("#.. Keylark : \"timeDah\" inf is outside 1 to 10; using 10.")},
    BoundRow{"Dah1e300", KLKTimeDahKey, 1e300, 100, 1000, 300, 700,
             QStringLiteral("#.. Keylark : \"timeDah\" 1e+300 is outside 1 to 10; using 10.")},
    BoundRow{"Dah1000", KLKTimeDahKey, 1000, 100, 1000, 300, 700,
             QStringLiteral("#.. Keylark : \"timeDah\" 1000 is outside 1 to 10; using 10.")},
    BoundRow{"DahNegative", KLKTimeDahKey, -3, 100, 100, 300, 700,
             QStringLiteral("#.. Keylark : \"timeDah\" -3 is outside 1 to 10; using 1.")},
    BoundRow{"DahNaN", KLKTimeDahKey, nan, 100, 100, 300, 700,
             QStringLiteral("#.. Keylark : \"timeDah\" nan is outside 1 to 10; using 1.")},
    BoundRow{"LetterInfinite", KLKTimeLetterKey, inf, 100, 300, 1000, 700,
             QStringLiteral("#.. Keylark : \"timeLetter\" inf is outside 1 to 10; using 10.")},
    BoundRow{"LetterNegative", KLKTimeLetterKey, -0.5, 100, 300, 100, 700,
             QStringLiteral("#.. Keylark : \"timeLetter\" -0.5 is outside 1 to 10; using 1.")},
    BoundRow{"WordInfinite", KLKTimeWordKey, inf, 100, 300, 300, 1000,
             QStringLiteral("#.. Keylark : \"timeWord\" inf is outside 1 to 10; using 10.")},
    BoundRow{"Word1000", KLKTimeWordKey, 1000, 100, 300, 300, 1000,
             QStringLiteral("#.. Keylark : \"timeWord\" 1000 is outside 1 to 10; using 10.")},
    BoundRow{"WordNaN", KLKTimeWordKey, nan, 100, 300, 300, 100,
             QStringLiteral("#.. Keylark : \"timeWord\" nan is outside 1 to 10; using 1.")}),
    [](const auto &info) { return std::string(info.param.name); });
// clang-format on

TEST_F(KeyingTest, EdgesOfTheRangesAreKeyedAsStored)
{
    store->setValue(KLKWpmKey, 5);
    store->setValue(KLKTimeDahKey, 10);
    store->setValue(KLKTimeLetterKey, QStringLiteral("1.00"));
    SerialController &serial = start();
    serial.output().cwSetWpm(store->intValue(KLKWpmKey));
    EXPECT_EQ(wholeMilliseconds(dah_time), 2400);
    EXPECT_EQ(wholeMilliseconds(letter_time), 240);
    EXPECT_TRUE(diagnostics().isEmpty());
}

TEST_F(KeyingTest, RatiosAreReadAgainOnEveryCall)
{
    SerialController &serial = start();
    store->setValue(KLKTimeDahKey, QStringLiteral("2.5"));
    serial.output().cwSetWpm(12);
    EXPECT_EQ(dah_time, 250.0f);
    store->setValue(KLKTimeLetterKey, 4.5);
    store->setValue(KLKTimeWordKey, QStringLiteral(" 9"));
    serial.output().cwSetWpm(12);
    EXPECT_EQ(letter_time, 450.0f);
    EXPECT_EQ(word_time, 900.0f);
}

struct RatioRow
{
    QVariant ratio;
};

class UnusableRatioTest : public KeyingTest, public ::testing::WithParamInterface<RatioRow>
{
};

// Non-numeric texts read as 0 and negative ratios lie below the range: both key as one dit.
TEST_P(UnusableRatioTest, KeysOneDit)
{
    store->setValue(KLKTimeDahKey, GetParam().ratio);
    store->setValue(KLKTimeLetterKey, GetParam().ratio);
    SerialController &serial = start();
    serial.output().cwSetWpm(12);
    serial.output().timer(dah_time);
    serial.output().timer(letter_time);
    EXPECT_EQ(clock.elapsedMs(), 200.0);
}

INSTANTIATE_TEST_SUITE_P(Ratios, UnusableRatioTest,
                         ::testing::Values(RatioRow{QStringLiteral("abc")}, RatioRow{QStringLiteral("nan")},
                                           RatioRow{QStringLiteral("inf")}, RatioRow{QStringLiteral("-3")},
                                           RatioRow{-2.5}, RatioRow{QStringLiteral("")}));

TEST_F(KeyingTest, WordRatioBelowLetterRatioMakesTheWordSpaceWaitNothing)
{
    store->setValue(KLKTimeWordKey, 2);
    SerialController &serial = start();
    serial.output().cwSetWpm(12);
    serial.output().timer(word_time - letter_time);
    EXPECT_EQ(clock.sleeps(), 0);
}

struct MillisecondsRow
{
    float duration;
    std::int64_t expected;
};

class WholeMillisecondsTest : public ::testing::TestWithParam<MillisecondsRow>
{
};

TEST_P(WholeMillisecondsTest, TruncatesTowardZeroAndStaysInRange)
{
    EXPECT_EQ(wholeMilliseconds(GetParam().duration), GetParam().expected);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Durations, WholeMillisecondsTest, ::testing::Values(
    MillisecondsRow{171.43f, 171},
    MillisecondsRow{0.9f, 0},
    MillisecondsRow{100.0f, 100},
    MillisecondsRow{1.0f, 1},
    MillisecondsRow{-0.5f, 0},
    MillisecondsRow{-300.0f, 0},
    MillisecondsRow{std::numeric_limits<float>::quiet_NaN(), 0},
    MillisecondsRow{-std::numeric_limits<float>::infinity(), 0},
    MillisecondsRow{std::numeric_limits<float>::infinity(), 0},
    MillisecondsRow{1e30f, longestWait},
    MillisecondsRow{std::numeric_limits<float>::max(), longestWait},
    MillisecondsRow{4294966.0f, 4294966}));
// clang-format on

TEST_F(KeyingTest, TimerSleepsTheWholeMillisecondsOfItsDuration)
{
    SerialController &serial = start();
    serial.output().timer(100.0f);
    EXPECT_EQ(clock.elapsedMs(), 100.0);
    serial.output().timer(0.9f);
    EXPECT_EQ(clock.elapsedMs(), 100.0);
    serial.output().timer(171.43f);
    EXPECT_EQ(clock.elapsedMs(), 271.0);
}

TEST_F(KeyingTest, HugeDurationIsHeldToTheLongestWait)
{
    start().output().timer(1e30f);
    EXPECT_EQ(clock.elapsedMs(), double(longestWait));
}

} // namespace
