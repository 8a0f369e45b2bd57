#include "keying_fixture.h"
#include "list_source.h"

#include <QRegularExpression>

namespace {

using namespace keying;
using Periods = std::vector<std::pair<double, double>>;

class QueuedKeyingTest : public KeyingTest
{
protected:
    void SetUp() override
    {
        KeyingTest::SetUp();
        store->setValue(KLKSerialDTRKey, true); // 12 wpm: dit 100 ms, dah 300, letter gap 300, word gap 700
        start();
        controller->setTextSource(&source);
    }

    void add(const QByteArray &text, int weighting = 0) { source.add({++lastId, stepsOf(text), weighting}); }
    void keyQueued()
    {
        ASSERT_EQ(controller->cwSendQueued(), 0);
        controller->joinWorkers();
    }
    // Holds the next worker at its first wait, inside its first element.
    void holdAtFirstWait()
    {
        clock.onSleep = [this] {
            if (clock.sleeps() == 1)
                gate.pass();
        };
    }

    ListSource source;
    Gate gate;
    std::uint64_t lastId = 0;
};

TEST_F(QueuedKeyingTest, PiecesThatWaitJoinOnePassWithOneTimestamp)
{
    add("CQ");
    add(" DE");
    keyQueued();
    EXPECT_EQ(console.log(), QStringLiteral("<T>CQ DE"));
    EXPECT_EQ(source.keyed(), (std::vector<std::uint64_t>{1, 2}));
    const Periods periods = keyDownPeriods();
    ASSERT_EQ(periods.size(), 12u);
    EXPECT_EQ(periods[8].first, 3000.0 + 400); // a word gap after Q, as within one text
    EXPECT_EQ(line.calls().back().what, 'c');
    EXPECT_EQ(controller->cwIsSending(), 0);
}

// A logger's texts that join one pass are recorded as that one pass, at the speed the steps moved it to.
TEST_F(QueuedKeyingTest, AListenerHearsTheJoinedPiecesAsOnePass)
{
    RecordingListener listener;
    controller->setTransmissionListener(&listener);
    add("CQ");
    source.add({++lastId,
                {{KeyingStep::Kind::Speed, 3},
                 {KeyingStep::Kind::Character, ' '},
                 {KeyingStep::Kind::Character, 'D'},
                 {KeyingStep::Kind::Character, 'E'}},
                0});
    keyQueued();
    const std::vector<KeyedPass> passes = listener.passes();
    ASSERT_EQ(passes.size(), 1u);
    EXPECT_EQ(passes[0].text, QStringLiteral("CQ DE"));
    EXPECT_EQ(passes[0].slowest, 12);
    EXPECT_EQ(passes[0].fastest, 15);
    EXPECT_FALSE(passes[0].stopped);
}

struct WeightingCase
{
    int weighting;
    Periods periods; // of "IE" at 12 wpm
};

class WeightingTest : public QueuedKeyingTest, public ::testing::WithParamInterface<WeightingCase>
{
};

// Each key-down takes its weighting's share of a dit from the gap after it: E starts where it always does.
TEST_P(WeightingTest, KeyDownsTakeTimeFromTheGapsAtConstantCharacterLength)
{
    add("IE", GetParam().weighting);
    keyQueued();
    EXPECT_EQ(keyDownPeriods(), GetParam().periods);
    EXPECT_EQ(line.calls().back().atMs, 1000.0);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Weightings, WeightingTest, ::testing::Values(
    WeightingCase{0,   {{0, 100}, {200, 300}, {600, 700}}},
    WeightingCase{50,  {{0, 150}, {200, 350}, {600, 750}}},
    WeightingCase{-50, {{0, 50},  {200, 250}, {600, 650}}},
    WeightingCase{25,  {{0, 125}, {200, 325}, {600, 725}}},
    WeightingCase{90,  {{0, 150}, {200, 350}, {600, 750}}})); // held to 50
// clang-format on

struct StepCase
{
    QByteArray text;
    Periods periods; // at 12 wpm
};

class StepTest : public QueuedKeyingTest, public ::testing::WithParamInterface<StepCase>
{
};

TEST_P(StepTest, SpeedStepsAndHalfSpacesKeyFromWhereTheyStand)
{
    add(GetParam().text);
    keyQueued();
    EXPECT_EQ(keyDownPeriods(), GetParam().periods);
    // Only the characters are echoed.
    EXPECT_EQ(console.log(), QStringLiteral("<T>") +
                                 QString::fromLatin1(GetParam().text).remove(QRegularExpression("[-+~]")));
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Steps, StepTest, ::testing::Values(
    StepCase{"E+E",                    {{0, 100}, {400, 485}}},  // 14 wpm
    StepCase{"E-E",                    {{0, 100}, {400, 520}}},  // 10 wpm
    StepCase{"E+-E",                   {{0, 100}, {400, 500}}},
    StepCase{"++++++++++++++++++++E",  {{0, 30}}},               // held at 40 wpm
    StepCase{"-----E",                 {{0, 240}}},              // held at 5 wpm
    StepCase{"E~E",                    {{0, 100}, {550, 650}}},  // half a letter gap more
    StepCase{"~~E",                    {{300, 400}}}));
// clang-format on

TEST_F(QueuedKeyingTest, SpeedStepsLastToTheEndOfTheTransmission)
{
    add("+E");
    add("E");
    keyQueued();
    EXPECT_EQ(keyDownPeriods(), (Periods{{0, 85}, {342, 427}})); // both at 14 wpm
    line.clear();
    add("E");
    keyQueued();
    EXPECT_EQ(keyDownPeriods().at(0).second - keyDownPeriods().at(0).first, 100.0);
}

// Two tunes one after the other are two carriers, a second apart: none is held longer than one tune.
TEST_F(QueuedKeyingTest, TuneKeysOneCarrierOfItsSecondsAndNoLonger)
{
    source.add({1, {{KeyingStep::Kind::Tune, 3}}});
    source.add({2, {{KeyingStep::Kind::Tune, 60}}});
    keyQueued();
    EXPECT_EQ(keyDownPeriods(), (Periods{{0, 3000}, {4000, 14000}}));
    EXPECT_EQ(console.log(), QStringLiteral("<T>"));
}

struct PieceCase
{
    const char *name;
    std::vector<KeyingPiece> pieces;
    Periods periods; // at a stored 12 wpm
    std::vector<std::uint64_t> keyed;
};

class PieceTest : public QueuedKeyingTest, public ::testing::WithParamInterface<PieceCase>
{
};

// Each piece keys at its own speed, or at the stored one; a piece after a speed request ends the steps of
// those before it; a piece queued in the other mode is dropped with every piece after it.
TEST_P(PieceTest, KeysEachPieceAsItWasQueued)
{
    for (const KeyingPiece &piece : GetParam().pieces)
        source.add(piece);
    keyQueued();
    EXPECT_EQ(keyDownPeriods(), GetParam().periods);
    EXPECT_EQ(source.keyed(), GetParam().keyed);
    EXPECT_EQ(source.waiting(), 0u);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Pieces, PieceTest, ::testing::Values(
    PieceCase{"OwnSpeedThenStored",  {{.id = 1, .steps = stepsOf("E"), .speed = 20}, {.id = 2, .steps = stepsOf("E")}},
              {{0, 60}, {240, 340}}, {1, 2}},
    PieceCase{"StepsCarryOn",        {{.id = 1, .steps = stepsOf("+E"), .speed = 20}, {.id = 2, .steps = stepsOf("E"), .speed = 20}},
              {{0, 54}, {217, 271}}, {1, 2}},
    PieceCase{"NewSpeedEndsSteps",   {{.id = 1, .steps = stepsOf("+E")}, {.id = 2, .steps = stepsOf("E"), .newSpeed = true}},
              {{0, 85}, {342, 442}}, {1, 2}},
    PieceCase{"PracticePieceOnAir",  {{.id = 1, .steps = stepsOf("E")}, {.id = 2, .steps = stepsOf("E"), .practice = true},
                                      {.id = 3, .steps = stepsOf("E")}},
              {{0, 100}}, {1}}),
    [](const auto &info) { return std::string(info.param.name); });
// clang-format on

TEST_F(QueuedKeyingTest, StopEndsATuneWithinOneSlice)
{
    source.add({1, {{KeyingStep::Kind::Tune, 10}}});
    clock.at(1234, [this] { controller->cwStopQueued(); });
    keyQueued();
    const Periods periods = keyDownPeriods();
    ASSERT_EQ(periods.size(), 1u);
    EXPECT_LE(periods[0].second, 1234.0 + 20);
    EXPECT_EQ(line.sets().back().bits, rtsdtr_off);
    EXPECT_TRUE(source.keyed().empty());
}

TEST_F(QueuedKeyingTest, WaitsBehindTheOperatorsTransmission)
{
    holdAtFirstWait();
    add("E");
    ASSERT_EQ(controller->cwSendString(QStringLiteral("PARIS")), 0);
    gate.waitUntilReached();
    EXPECT_EQ(controller->cwSendQueued(), 1);
    gate.open();
    controller->joinWorkers();
    EXPECT_EQ(console.log(), QStringLiteral("<T>PARIS"));
    EXPECT_EQ(source.waiting(), 1u);
    keyQueued();
    EXPECT_EQ(console.log(), QStringLiteral("<T>PARIS\n<T>E"));
}

TEST_F(QueuedKeyingTest, OperatorsSendStopsItAndDropsThePiecesThatWait)
{
    holdAtFirstWait();
    add("PARIS");
    add("SECOND");
    ASSERT_EQ(controller->cwSendQueued(), 0);
    gate.waitUntilReached();
    ASSERT_EQ(controller->cwSendString(QStringLiteral("E")), 0);
    console.waitFor(QStringLiteral("clear"));
    gate.open();
    controller->joinWorkers();
    EXPECT_EQ(console.log(), QStringLiteral("<T>P"));
    EXPECT_GE(source.drops, 1);
    EXPECT_EQ(source.waiting(), 0u);
    EXPECT_TRUE(source.keyed().empty());
    EXPECT_EQ(line.sets().back().bits, rtsdtr_off);
}

TEST_F(QueuedKeyingTest, StopRequestDropsWaitingPiecesEvenWhileIdle)
{
    add("E");
    controller->cwSendStop();
    EXPECT_EQ(source.drops, 1);
    EXPECT_EQ(source.waiting(), 0u);
}

TEST_F(QueuedKeyingTest, StopOfQueuedKeyingLeavesTheOperatorsTransmissionAlone)
{
    holdAtFirstWait();
    ASSERT_EQ(controller->cwSendString(QStringLiteral("EE")), 0);
    gate.waitUntilReached();
    controller->cwStopQueued();
    gate.open();
    controller->joinWorkers();
    EXPECT_EQ(console.log(), QStringLiteral("<T>EE"));
}

TEST_F(QueuedKeyingTest, StopOfQueuedKeyingStopsAQueuedTransmission)
{
    holdAtFirstWait();
    add("PARIS");
    ASSERT_EQ(controller->cwSendQueued(), 0);
    gate.waitUntilReached();
    controller->cwStopQueued();
    gate.open();
    controller->joinWorkers();
    EXPECT_EQ(console.log(), QStringLiteral("<T>P"));
    EXPECT_EQ(keyDownPeriods().size(), 1u);
}

TEST_F(QueuedKeyingTest, PortThatDoesNotOpenDropsThePiecesWithOneLine)
{
    line.openError = ENOENT;
    add("E");
    add("T");
    keyQueued();
    EXPECT_EQ(source.drops, 1);
    EXPECT_EQ(
        diagnostics().count(QStringLiteral("*** Keylark : Serial open error. Please set serial device.")), 1);
    EXPECT_TRUE(console.calls().isEmpty());
}

TEST_F(QueuedKeyingTest, ArmedBeaconWaitsForTheOperatorsNextText)
{
    controller->cwBeaconTransmission();
    add("E");
    keyQueued();
    EXPECT_EQ(console.log(), QStringLiteral("<T>E"));
    EXPECT_TRUE(controller->cwBeaconArmed());
}

TEST_F(QueuedKeyingTest, WithoutSourceNothingOpensOrLogs)
{
    controller->setTextSource(nullptr);
    add("E");
    keyQueued();
    EXPECT_TRUE(console.calls().isEmpty());
    EXPECT_EQ(line.count('o'), 0);
}

} // namespace
