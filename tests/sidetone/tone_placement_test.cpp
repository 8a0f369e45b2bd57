#include "sidetone/tone_placement.h"

#include <gtest/gtest.h>

namespace {

constexpr int placementRate = 48'000;
constexpr std::int64_t position = 100'000;     // the next sample to write at the first key-down
constexpr std::int64_t first = 10'000'000'000; // ns, the first key-down
constexpr std::int64_t gap = 120'000'000;      // ns from the first key-down to the second
constexpr std::int64_t gapSamples = gap * placementRate / 1'000'000'000;
constexpr std::int64_t element = 60'000'000; // ns
constexpr std::int64_t none = -1;            // left out

// Two key-downs: where the clock puts each, whether the stream played nothing until after the first, and
// where each tone starts. The second clock place is the first one moved by the stream and by clockMoves.
struct Row
{
    const char *what;
    bool held;
    std::int64_t firstClock; // samples against position
    std::int64_t
        clockMoves; // samples the clock's place of the second moves (a clock learnt afresh, settling)
    std::int64_t secondAfter; // ns from the first key-down to the second
    std::int64_t firstStart;  // samples against position, or none
    std::int64_t secondStart; // samples against position, or none
};

// clang-format off
const Row rows[] = {
    {"steady clock: the tones keep their places",    false, 600,      0,     gap,            600,  600 + gapSamples},
    {"a settling clock moves a tone by the slew",    false, 600,      240,   gap,            600,  624 + gapSamples},
    {"and the other way",                            false, 600,      -240,  gap,            600,  576 + gapSamples},
    {"a stream that moved starts a new run",         false, 600,      1440,  gap,            600,  2040 + gapSamples},
    {"late once the stream plays: left out",         false, -3000,    0,     gap,            none, none},
    {"held back: from the first sample, in rhythm",  true,  -10'000,  10'600, gap,           0,    24 + gapSamples},
    {"held back, then a pause makes up the delay",   true,  -10'000,  10'600, 1'300'000'000, 0,    600 + 62'400},
    {"held back longer than the start limit",        true,  -200'000, 0,     gap,            none, none},
};
// clang-format on

TEST(TonePlacement, PlacesEachToneInTheRhythmOfItsKeyDown)
{
    for (const Row &row : rows) {
        TonePlacement placement(placementRate);
        placement.written(first - 1'000'000'000, 0); // the first write
        if (!row.held)
            placement.written(first - 500'000'000, 0);
        else
            placement.written(first + 1'000'000, 500'000'000); // held back until after the first key-down
        const auto start = [](std::optional<std::int64_t> at) { return at ? *at - position : none; };
        const auto one =
            placement.place({KeyEvent::Edge::Down, first, element}, position + row.firstClock, position);
        const std::int64_t moved = row.secondAfter * placementRate / 1'000'000'000;
        const auto two =
            placement.place({KeyEvent::Edge::Down, first + row.secondAfter, element},
                            position + row.firstClock + moved + row.clockMoves, position + moved);
        EXPECT_EQ(start(one), row.firstStart) << row.what;
        EXPECT_EQ(start(two), row.secondStart) << row.what;
    }
}

} // namespace
