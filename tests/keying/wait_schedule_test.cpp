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
    std::atomic<bool> abandon{false};
};

TEST_F(WaitScheduleTest, WorkBetweenWaitsDoesNotAddUp)
{
    for (int i = 0; i < 3; ++i) {
        schedule.wait(100, abandon);
        clock.advance(3 * ms); // settings reads and a modem-control request
    }
    EXPECT_EQ(clock.deadlines, (std::vector<double>{100, 200, 300}));
    EXPECT_EQ(schedule.waited(), 300);
}

TEST_F(WaitScheduleTest, FallingFarBehindStartsANewSchedule)
{
    schedule.wait(100, abandon);
    clock.advance(250 * ms); // suspended
    schedule.wait(100, abandon);
    EXPECT_EQ(clock.deadlines, (std::vector<double>{100, 450}));
}

TEST_F(WaitScheduleTest, SlightlyLateWaitCatchesUp)
{
    schedule.wait(100, abandon);
    clock.advance(60 * ms); // work took more than half of the next wait
    schedule.wait(100, abandon);
    EXPECT_EQ(clock.deadlines, (std::vector<double>{100, 200}));
    EXPECT_EQ(clock.elapsedMs(), 200.0);
}

TEST_F(WaitScheduleTest, RestartBeginsFromTheMomentOfTheNextWait)
{
    schedule.wait(100, abandon);
    clock.advance(50 * ms);
    schedule.restart();
    schedule.wait(100, abandon);
    EXPECT_EQ(clock.deadlines, (std::vector<double>{100, 250}));
}

TEST_F(WaitScheduleTest, EmptyAndNegativeWaitsDoNotTouchTheClock)
{
    schedule.wait(0, abandon);
    schedule.wait(-400, abandon);
    EXPECT_TRUE(clock.deadlines.empty());
    EXPECT_EQ(schedule.waited(), 0);
}

TEST_F(WaitScheduleTest, LongWaitIsSleptInOneSecondSlices)
{
    schedule.wait(2500, abandon);
    EXPECT_EQ(clock.deadlines, (std::vector<double>{1000, 2000, 2500}));
}

TEST_F(WaitScheduleTest, AbandonEndsALongWaitAtTheNextSlice)
{
    clock.onSleep = [this] { abandon = true; };
    schedule.wait(60'000, abandon);
    EXPECT_EQ(clock.deadlines, (std::vector<double>{1000}));
}

} // namespace
