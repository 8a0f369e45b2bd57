#include "sidetone/sample_clock.h"

#include <gtest/gtest.h>

namespace {

constexpr int rate = 48'000;
constexpr std::int64_t chunk = 120;            // samples
constexpr std::int64_t chunkNanos = 2'500'000; // its playing time
constexpr std::int64_t margin = 192;
constexpr std::int64_t start = 1'000'000'000'000; // ns

// Writes n chunks from position on, each returning lateBy(i) ns after the stream took it, made a chunk's time
// before the stream took it.
template <typename Late>
void play(SampleClock &clock, std::int64_t t0, std::int64_t position, int n, Late lateBy)
{
    for (int i = 1; i <= n; ++i) {
        position += chunk;
        const std::int64_t taken = t0 + position * 1'000'000'000 / rate;
        clock.written(taken - chunkNanos, taken + lateBy(i), position);
    }
}

TEST(SampleClock, UnknownStreamPlacesAtTheNextSample)
{
    SampleClock clock(rate, margin);
    EXPECT_EQ(clock.sampleAt(start), std::nullopt);
}

// Late returns, now and then or often, do not move the mapping: the earliest ones tell the stream's time.
TEST(SampleClock, LateReturnsDoNotMoveTheMapping)
{
    struct Row
    {
        const char *what;
        std::int64_t (*late)(int);
    };
    const Row rows[] = {
        {"on time", [](int) -> std::int64_t { return 0; }},
        {"every third 3 ms late", [](int i) -> std::int64_t { return i % 3 == 0 ? 3'000'000 : 0; }},
        {"mostly 1 ms late", [](int i) -> std::int64_t { return i % 10 == 0 ? 0 : 1'000'000; }},
    };
    for (const Row &row : rows) {
        SampleClock clock(rate, margin);
        play(clock, start, 0, 400, row.late);
        // 1 s after sample 0 of the stream is sample 48000, plus the margin.
        EXPECT_EQ(clock.sampleAt(start + 1'000'000'000), 48'000 + margin) << row.what;
    }
}

// A stream that took nothing for a second has moved on: the mapping is learnt afresh, so that tones are
// not placed a second late.
TEST(SampleClock, AStallIsLearntAfresh)
{
    SampleClock clock(rate, margin);
    // Filling the buffer: the first chunks return at once, before the stream plays.
    for (int i = 1; i <= 4; ++i)
        clock.written(start, start, i * chunk);
    const std::int64_t stall = 1'000'000'000;
    clock.written(start, start + stall + 5 * chunkNanos, 5 * chunk); // waited through the stall
    play(clock, start + stall, 5 * chunk, 100, [](int) { return std::int64_t(0); });
    const std::int64_t instant = start + stall + 400'000'000;
    EXPECT_EQ(clock.sampleAt(instant), 400 * 48 + margin);
}

// Keylark's own thread held up for 30 ms: the stream played on, so its chunks are taken at once when the
// thread comes back, and what was learnt still holds.
TEST(SampleClock, AThreadHeldUpKeepsTheMapping)
{
    SampleClock clock(rate, margin);
    play(clock, start, 0, 200, [](int) { return std::int64_t(0); });
    const std::int64_t late = start + 200 * chunkNanos + 30'000'000;
    clock.written(late, late, 201 * chunk);
    EXPECT_EQ(clock.sampleAt(start + 1'000'000'000), 48'000 + margin);
}

} // namespace
