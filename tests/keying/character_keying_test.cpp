#include "keying_fixture.h"

namespace {

using namespace keying;
using testing::internal::CaptureStderr;
using testing::internal::GetCapturedStderr;
using Periods = std::vector<std::pair<double, double>>;

struct TimelineRow
{
    const char *name;
    QString text;
    Periods keyDown;
    std::vector<double> characterStarts; // virtual ms at which each character is echoed
    double end;
};

class TimelineTest : public KeyingTest, public ::testing::WithParamInterface<TimelineRow>
{
};

// Keyed by the worker at 12 wpm with the registered ratios: every edge to the millisecond.
TEST_P(TimelineTest, KeysEveryEdgeOnTime)
{
    store->setValue(KLKSerialDTRKey, true);
    start();
    sendAndWait(GetParam().text);
    EXPECT_EQ(keyDownPeriods(), GetParam().keyDown);
    EXPECT_EQ(console.echoTimes(), GetParam().characterStarts);
    EXPECT_EQ(line.calls().back().what, 'c');
    EXPECT_EQ(line.calls().back().atMs, GetParam().end);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(TwelveWpm, TimelineTest, ::testing::Values(
    TimelineRow{"Paris", QStringLiteral("PARIS "),
        {{0, 100}, {200, 500}, {600, 900}, {1000, 1100},
         {1400, 1500}, {1600, 1900},
         {2200, 2300}, {2400, 2700}, {2800, 2900},
         {3200, 3300}, {3400, 3500},
         {3800, 3900}, {4000, 4100}, {4200, 4300}},
        {0, 1400, 2200, 3200, 3800, 4600}, 5000},
    TimelineRow{"JoinedAr", QStringLiteral("%AR%"),
        {{0, 100}, {200, 500}, {600, 700}, {800, 1100}, {1200, 1300}},
        {0, 0, 600, 1400}, 1700},
    TimelineRow{"PlainAr", QStringLiteral("AR"),
        {{0, 100}, {200, 500}, {800, 900}, {1000, 1300}, {1400, 1500}},
        {0, 800}, 1800},
    TimelineRow{"WordSpace", QStringLiteral("E E"),
        {{0, 100}, {800, 900}},
        {0, 400, 800}, 1200},
    TimelineRow{"SmallLettersAsCapitals", QStringLiteral("te"),
        {{0, 300}, {600, 700}},
        {0, 600}, 1000},
    TimelineRow{"AccentedLetterIsTwoWordSpaces", QStringLiteral("E\u00e9E"),
        {{0, 100}, {1200, 1300}},
        {0, 400, 800, 1200}, 1600},
    TimelineRow{"DollarAndTabAreWordSpaces", QStringLiteral("$\t"),
        {},
        {0, 400}, 800}),
    [](const auto &info) { return std::string(info.param.name); });
// clang-format on

TEST_F(KeyingTest, SpeedChangeDuringADitAppliesFromTheNextElement)
{
    store->setValue(KLKSerialDTRKey, true);
    start();
    clock.onSleep = [this] {
        if (clock.sleeps() == 1)
            store->setValue(KLKWpmKey, 20);
    };
    sendAndWait(QStringLiteral("A"));
    // The element gap after the dit still belongs to 12 wpm; the dah and letter gap to 20 wpm.
    EXPECT_EQ(keyDownPeriods(), (Periods{{0, 100}, {200, 380}}));
    EXPECT_EQ(line.calls().back().atMs, 560.0);
}

TEST_F(KeyingTest, JoinedLettersEndWithAnElementGap)
{
    store->setValue(KLKSerialDTRKey, true);
    SerialController &serial = start();
    ser_fd = 7;
    code_add = 1;
    serial.output().keying(".-");
    EXPECT_EQ(clock.elapsedMs(), 600.0);
    EXPECT_EQ(keyDownPeriods(), (Periods{{0, 100}, {200, 500}}));
}

struct MarkerRow
{
    int joining;
    double waited;
};

class JoinMarkerTest : public KeyingTest, public ::testing::WithParamInterface<MarkerRow>
{
};

TEST_P(JoinMarkerTest, OpeningMarkerWaitsNothingAndClosingMarkerTheLetterGap)
{
    SerialController &serial = start();
    ser_fd = 7;
    code_add = GetParam().joining;
    serial.output().keying("%");
    EXPECT_EQ(clock.elapsedMs(), GetParam().waited);
    EXPECT_TRUE(line.calls().empty());
}

INSTANTIATE_TEST_SUITE_P(Markers, JoinMarkerTest, ::testing::Values(MarkerRow{1, 0.0}, MarkerRow{0, 300.0}));

// The three points where a stop request is honoured; none leaves the line keyed down.
TEST_F(KeyingTest, StopAlreadyRaisedTouchesNothing)
{
    SerialController &serial = start();
    ser_fd = 7;
    sendStopFlag = 1;
    serial.output().keying(".-");
    EXPECT_TRUE(line.calls().empty());
    EXPECT_EQ(clock.sleeps(), 0);
}

TEST_F(KeyingTest, StopDuringAKeyDownEndsAfterItsKeyUp)
{
    store->setValue(KLKSerialDTRKey, true);
    SerialController &serial = start();
    ser_fd = 7;
    clock.onSleep = [] { sendStopFlag = 1; };
    serial.output().keying(".-");
    EXPECT_EQ(keyDownPeriods(), (Periods{{0, 100}}));
    EXPECT_EQ(line.sets().back().bits, rtsdtr_off);
    EXPECT_EQ(clock.elapsedMs(), 100.0);
}

TEST_F(KeyingTest, StopDuringAnElementGapKeysNoFurtherElement)
{
    store->setValue(KLKSerialDTRKey, true);
    SerialController &serial = start();
    ser_fd = 7;
    clock.onSleep = [this] {
        if (clock.sleeps() == 2)
            sendStopFlag = 1;
    };
    serial.output().keying("..-");
    EXPECT_EQ(keyDownPeriods(), (Periods{{0, 100}}));
    EXPECT_EQ(clock.elapsedMs(), 200.0);
}

TEST_F(KeyingTest, StopAfterTheLastElementSkipsTheLetterGap)
{
    store->setValue(KLKSerialDTRKey, true);
    SerialController &serial = start();
    ser_fd = 7;
    clock.onSleep = [this] {
        if (clock.sleeps() == 3)
            sendStopFlag = 1;
    };
    serial.output().keying(".-");
    EXPECT_EQ(keyDownPeriods(), (Periods{{0, 100}, {200, 500}}));
    EXPECT_EQ(clock.elapsedMs(), 500.0);
}

TEST_F(KeyingTest, WordSpaceIsWaitedEvenWithAStopRaised)
{
    SerialController &serial = start();
    sendStopFlag = 1;
    serial.output().keying(" ");
    EXPECT_EQ(clock.elapsedMs(), 400.0);
}

TEST_F(KeyingTest, KeyDownFailureAbandonsTheCharacterAndKeysUp)
{
    store->setValue(KLKSerialDTRKey, true);
    SerialController &serial = start();
    ser_fd = 7;
    line.setError = EIO;
    line.failSetBits = 2;
    line.failures = 1;
    CaptureStderr();
    serial.output().keying(".-");
    EXPECT_EQ(GetCapturedStderr(), "*** Keylrk : Serial RTS/DTR Set failed: Input/output error\n");
    const auto sets = line.sets();
    ASSERT_EQ(sets.size(), 2u);
    EXPECT_FALSE(sets[0].ok);
    EXPECT_EQ(sets[1].bits, 0); // a refused request may have moved the lines: key up at once
    EXPECT_EQ(clock.sleeps(), 0);
    EXPECT_EQ(sendStopFlag, 0);
}

TEST_F(KeyingTest, KeyUpRetriedUntilItSucceedsGoesOnKeying)
{
    store->setValue(KLKSerialDTRKey, true);
    SerialController &serial = start();
    ser_fd = 7;
    line.setError = EIO;
    line.failSetBits = 0; // only the key-up set fails, twice
    line.failures = 2;
    CaptureStderr();
    serial.output().keying(".-");
    EXPECT_EQ(GetCapturedStderr(), "*** Keylrk : Serial RTS/DTR Clear failed: Input/output error\n");
    EXPECT_EQ(keyDownPeriods(), (Periods{{0, 120}, {220, 520}}));
}

TEST_F(KeyingTest, KeyUpThatKeepsFailingSaysTheTransmitterMayBeKeyed)
{
    store->setValue(KLKSerialDTRKey, true);
    SerialController &serial = start();
    ser_fd = 7;
    line.setError = EIO;
    line.failSetBits = 0;
    CaptureStderr();
    serial.output().keying(".-");
    EXPECT_EQ(GetCapturedStderr(),
              "*** Keylrk : Serial RTS/DTR Clear failed: Input/output error\n"
              "*** Keylark : Serial RTS/DTR Clear failed 6 times; the transmitter may still be keyed: "
              "Input/output error\n");
    EXPECT_EQ(line.count('s'), 7);
    EXPECT_EQ(clock.elapsedMs(), 150.0); // the dit, then five pauses of 10 ms
    EXPECT_EQ(sendStopFlag, 1);          // nothing more is keyed
}

} // namespace
