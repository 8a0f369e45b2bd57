#include "keying/wait_schedule.h"
#include "keying_doubles.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

constexpr std::int64_t ms = 1'000'000;

class RecordingClock : public VirtualClock
{
public:
    void sleepUntil(std::int64_t deadline) override
    {
        deadlines.push_back(double(deadline - origin) / ms);
        VirtualClock::sleepUntil(deadline);
    }
    std::vector<double> deadlines;
};

class WaitScheduleTest : public ::testing::Test
{
protected:
    RecordingClock clock;
    WaitSchedule schedule{clock};
    const WaitSchedule::StopRequest noStop = [] { return false; };
};

TEST_F(WaitScheduleTest, WorkBetweenWaitsDoesNotAddUp)
{
    for (int i = 0; i < 3; ++i) {
        schedule.wait(100, noStop);
        clock.advance(300'000); // settings reads, a modem-control request and wake-up latency: 0.3 ms
    }
    EXPECT_EQ(clock.deadlines, (std::vector<double>{100, 200, 300}));
    EXPECT_EQ(schedule.waited(), 300);
}

// The schedule starts at the first edge, not at the first wait: the work between them (the timeline, the
// echo of the character) would otherwise shift every later edge of the text by its length.
TEST_F(WaitScheduleTest, ScheduleStartsAtTheFirstEdge)
{
    for (int element = 0; element < 2; ++element) {
        schedule.edge(clock.now());
        clock.advance(70'000);
        schedule.wait(30, noStop);
    }
    EXPECT_EQ(clock.deadlines, (std::vector<double>{30, 60}));
}

// A piece that comes after the keyer ran out of text waits only what is left of the gap before it.
TEST_F(WaitScheduleTest, APieceAfterAnIdleKeyerWaitsOnlyTheRestOfTheGap)
{
    schedule.edge(clock.now());
    clock.advance(120 * ms);
    schedule.waitRest(300, noStop);
    schedule.edge(clock.now());
    clock.advance(500 * ms);
    schedule.waitRest(300, noStop);
    EXPECT_EQ(clock.deadlines, (std::vector<double>{300}));
}

struct LatenessRow
{
    const char *name;
    std::int64_t lateNs;
    double secondDeadline;
    double thirdDeadline;
};

class LatenessTest : public WaitScheduleTest, public ::testing::WithParamInterface<LatenessRow>
{
};

// A late wake-up is made up at most a millisecond between two edges, so the schedule catches up without
// cutting any element by more; beyond the stall limit the schedule starts afresh and every later wait
// keeps its length.
TEST_P(LatenessTest, LatenessIsMadeUpAtMostAMillisecondAnElement)
{
    schedule.wait(100, noStop);
    schedule.edge(clock.now());
    clock.advance(GetParam().lateNs);
    schedule.wait(100, noStop);
    schedule.edge(clock.now());
    schedule.wait(100, noStop);
    EXPECT_EQ(clock.deadlines,
              (std::vector<double>{100, GetParam().secondDeadline, GetParam().thirdDeadline}));
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Lateness, LatenessTest, ::testing::Values(
    LatenessRow{"Jitter", 400'000, 200, 300},
    LatenessRow{"OneMillisecond", 1'000'000, 200, 300},
    LatenessRow{"JustAboveAMillisecond", 1'000'001, 200.000001, 300},
    LatenessRow{"ThreeMilliseconds", 3'000'000, 202, 301},
    LatenessRow{"AtTheStallLimit", 10'000'000, 209, 308},
    LatenessRow{"JustAboveTheStallLimit", 10'000'001, 210.000001, 310.000001},
    LatenessRow{"Stall", 60'000'000, 260, 360},
    LatenessRow{"LongerThanTheWait", 250'000'000, 450, 550}),
    [](const auto &info) { return std::string(info.param.name); });
// clang-format on

// A gap made of several waits is cut by no more than a millisecond in all.
TEST_F(WaitScheduleTest, WaitsBetweenTwoEdgesMakeUpAMillisecondInAll)
{
    schedule.wait(100, noStop);
    schedule.edge(clock.now());
    clock.advance(5 * ms);
    schedule.wait(100, noStop);
    schedule.wait(100, noStop);
    schedule.wait(100, noStop);
    EXPECT_EQ(clock.deadlines, (std::vector<double>{100, 204, 304, 404}));
}

TEST_F(WaitScheduleTest, RestartBeginsFromTheMomentOfTheNextWait)
{
    schedule.wait(100, noStop);
    clock.advance(50 * ms);
    schedule.restart();
    schedule.wait(100, noStop);
    EXPECT_EQ(clock.deadlines, (std::vector<double>{100, 250}));
}

TEST_F(WaitScheduleTest, EmptyAndNegativeWaitsDoNotTouchTheClock)
{
    schedule.wait(0, noStop);
    schedule.wait(-400, noStop);
    EXPECT_TRUE(clock.deadlines.empty());
    EXPECT_EQ(schedule.waited(), 0);
}

TEST_F(WaitScheduleTest, WaitWithinTheGraceIsOneSleep)
{
    EXPECT_TRUE(schedule.wait(750, [] { return true; }));
    EXPECT_EQ(clock.deadlines, (std::vector<double>{750}));
}

struct StopRow
{
    double requestMs; // when the stop is raised, from the start of a 2400 ms wait
    double endMs;
    bool ranToItsEnd;
};

class StopDuringAWaitTest : public WaitScheduleTest, public ::testing::WithParamInterface<StopRow>
{
};

// A stop request ends a wait within a slice when more than the grace is left, and lets the last part of
// it run: the wait never outlasts the request by more than the grace plus one slice.
TEST_P(StopDuringAWaitTest, EndsWithinTheGraceOfTheRequest)
{
    const StopRow row = GetParam();
    const bool ended = schedule.wait(2400, [&] { return clock.elapsedMs() >= row.requestMs; });
    EXPECT_EQ(ended, row.ranToItsEnd);
    EXPECT_EQ(clock.elapsedMs(), row.endMs);
    EXPECT_LE(clock.elapsedMs() - row.requestMs,
              double(WaitSchedule::stopGrace + WaitSchedule::watchInterval) / ms);
}

INSTANTIATE_TEST_SUITE_P(Requests, StopDuringAWaitTest,
                         ::testing::Values(StopRow{0, 0, false}, StopRow{10, 50, false},
                                           StopRow{50, 50, false}, StopRow{1000, 1000, false},
                                           StopRow{1600, 1600, false}, StopRow{1601, 2400, true},
                                           StopRow{2000, 2400, true}, StopRow{99999, 2400, true}));

TEST_F(WaitScheduleTest, ScheduleGoesOnFromTheMomentOfACut)
{
    schedule.wait(2400, [this] { return clock.elapsedMs() >= 100; });
    schedule.wait(100, noStop);
    EXPECT_EQ(clock.elapsedMs(), 200.0);
}

} // namespace
