#include "radio/radio_alphabet.h"
#include "radio/radio_timeline.h"

#include <gtest/gtest.h>

namespace {

struct UnitsRow
{
    const char *text;
    int units;
};

class RadioAlphabetUnitsTest : public ::testing::TestWithParam<UnitsRow>
{
};

// Dits with the letter gap after each character; a word gap of 7 in all; what the keyers do not take
// counts nothing. "PARIS " is the 50 dits of a word, so it lasts a minute at 1 wpm.
TEST_P(RadioAlphabetUnitsTest, LengthsInDits)
{
    EXPECT_EQ(RadioAlphabet::units(QByteArray(GetParam().text)), GetParam().units);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Texts, RadioAlphabetUnitsTest, ::testing::Values(
    UnitsRow{"E", 4}, UnitsRow{"T", 6}, UnitsRow{"0", 22}, UnitsRow{"PARIS ", 50}, UnitsRow{"/", 16},
    UnitsRow{"?", 18}, UnitsRow{"@", 20}, UnitsRow{"e", 0}, UnitsRow{"%", 0}, UnitsRow{"<", 0}));
// clang-format on

TEST(RadioAlphabetTest, PiecesAreWordsWithTheirSpacesAndNoLongerThanTheRadioTakes)
{
    EXPECT_EQ(RadioAlphabet::pieces("CQ  TEST K"), (std::vector<QByteArray>{"CQ  ", "TEST ", "K"}));
    EXPECT_EQ(RadioAlphabet::pieces(" A"), (std::vector<QByteArray>{" ", "A"}));
    const QByteArray longWord(30, 'E');
    EXPECT_EQ(RadioAlphabet::pieces(longWord + " E"),
              (std::vector<QByteArray>{longWord.left(24), "EEEEEE ", "E"}));
    EXPECT_EQ(RadioAlphabet::milliseconds(50, 12), 5000.0);
}

// The estimate keys each piece from when the radio has it or has keyed the one before, and a change of
// speed stretches only what is still to go.
TEST(RadioTimelineTest, PiecesFollowEachOtherAndASpeedChangeStretchesTheRest)
{
    using namespace std::chrono_literals;
    RadioTimeline timeline;
    const RadioTimeline::Clock::time_point t0{};
    timeline.add(1, 0, "EE", false, t0 + 1s, 12); // 100 ms a dit: each E is 400 ms
    timeline.add(1, 2, "T", true, t0 + 1s, 12);   // waits for the E's
    EXPECT_EQ(timeline.freeAt(), t0 + 2400ms);
    timeline.changeSpeed(t0 + 1400ms, 12, 24); // half of what is left: 1000 ms become 500
    EXPECT_EQ(timeline.freeAt(), t0 + 1900ms);
    const auto due = timeline.takeDue(t0 + 1800ms);
    ASSERT_EQ(due.size(), 2u);
    EXPECT_EQ(due[1].end, t0 + 1600ms);
    EXPECT_TRUE(timeline.cutAfterHeld(1));
    EXPECT_EQ(timeline.takeAll().back().ends, RadioTimeline::Ends::Cut);
    EXPECT_TRUE(timeline.isEmpty());
}

} // namespace
