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
    serial.cwSetWpm(row.speed);
    EXPECT_EQ(wholeMilliseconds(dit_time), row.dit);
    EXPECT_EQ(wholeMilliseconds(intra_time), row.dit);
    EXPECT_EQ(wholeMilliseconds(dah_time), row.dah);
    EXPECT_EQ(wholeMilliseconds(letter_time), row.letter);

    const float gap = word_time - letter_time;
    serial.timer(gap);
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
    start().cwSetWpm(12);
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
    serial.cwSetWpm(9);
    const float gap = word_time - letter_time;
    EXPECT_EQ(gap, 399.99997f);
    serial.timer(gap);
    EXPECT_EQ(clock.elapsedMs(), 399.0);
}

struct RefusedRow
{
    std::vector<int> speeds;
    float expectedWpm;
};

class RefusedSpeedTest : public KeyingTest, public ::testing::WithParamInterface<RefusedRow>
{
};

TEST_P(RefusedSpeedTest, SpeedOfFourOrLessKeepsTheLastOne)
{
    SerialController &serial = start();
    for (int speed : GetParam().speeds)
        serial.cwSetWpm(speed);
    EXPECT_EQ(wpm, GetParam().expectedWpm);
    EXPECT_EQ(dit_time, 1200.0f / GetParam().expectedWpm);
    EXPECT_EQ(word_time, 7 * dit_time);
}

INSTANTIATE_TEST_SUITE_P(Speeds, RefusedSpeedTest,
                         ::testing::Values(RefusedRow{{20, 4}, 20.0f}, RefusedRow{{0}, 12.0f},
                                           RefusedRow{{-7}, 12.0f}, RefusedRow{{5}, 5.0f},
                                           RefusedRow{{100}, 100.0f}));

TEST_F(KeyingTest, HundredWordsPerMinuteIsNotClamped)
{
    start().cwSetWpm(100);
    EXPECT_EQ(wholeMilliseconds(dit_time), 12);
}

TEST_F(KeyingTest, RatiosAreReadAgainOnEveryCall)
{
    SerialController &serial = start();
    store->setValue(KLKTimeDahKey, QStringLiteral("2.5"));
    serial.cwSetWpm(12);
    EXPECT_EQ(dah_time, 250.0f);
    store->setValue(KLKTimeLetterKey, 4.5);
    store->setValue(KLKTimeWordKey, QStringLiteral(" 9"));
    serial.cwSetWpm(12);
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

// Non-numeric texts read as 0; negative ratios make negative durations. Neither may block the worker.
TEST_P(UnusableRatioTest, WaitsNothing)
{
    store->setValue(KLKTimeDahKey, GetParam().ratio);
    store->setValue(KLKTimeLetterKey, GetParam().ratio);
    SerialController &serial = start();
    serial.cwSetWpm(12);
    serial.timer(dah_time);
    serial.timer(letter_time);
    EXPECT_EQ(clock.sleeps(), 0);
    EXPECT_EQ(clock.elapsedMs(), 0.0);
}

INSTANTIATE_TEST_SUITE_P(Ratios, UnusableRatioTest,
                         ::testing::Values(RatioRow{QStringLiteral("abc")}, RatioRow{QStringLiteral("nan")},
                                           RatioRow{QStringLiteral("inf")}, RatioRow{QStringLiteral("-3")},
                                           RatioRow{-2.5}, RatioRow{QStringLiteral("")}));

TEST_F(KeyingTest, WordRatioBelowLetterRatioMakesTheWordSpaceWaitNothing)
{
    store->setValue(KLKTimeWordKey, 2);
    SerialController &serial = start();
    serial.cwSetWpm(12);
    serial.timer(word_time - letter_time);
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
    MillisecondsRow{std::numeric_limits<float>::infinity(), longestWait},
    MillisecondsRow{1e30f, longestWait},
    MillisecondsRow{std::numeric_limits<float>::max(), longestWait},
    MillisecondsRow{4294966.0f, 4294966}));
// clang-format on

TEST_F(KeyingTest, TimerSleepsTheWholeMillisecondsOfItsDuration)
{
    SerialController &serial = start();
    serial.timer(100.0f);
    EXPECT_EQ(clock.elapsedMs(), 100.0);
    serial.timer(0.9f);
    EXPECT_EQ(clock.elapsedMs(), 100.0);
    serial.timer(171.43f);
    EXPECT_EQ(clock.elapsedMs(), 271.0);
}

TEST_F(KeyingTest, HugeDurationIsHeldToTheLongestWait)
{
    start().timer(1e30f);
    EXPECT_EQ(clock.elapsedMs(), double(longestWait));
}

} // namespace
