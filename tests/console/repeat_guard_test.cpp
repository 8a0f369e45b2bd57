#include "console/repeat_guard.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using namespace std::chrono_literals;

constexpr int stop = 0; // the stop command in place of a key

struct Press
{
    int atMs;
    int key;
    bool counts;
};

struct RepeatCase
{
    const char *name;
    std::vector<Press> presses;
};

void PrintTo(const RepeatCase &row, std::ostream *out)
{
    *out << row.name;
}

class RepeatGuardTest : public ::testing::TestWithParam<RepeatCase>
{
};

TEST_P(RepeatGuardTest, CountsEachPressAsTheOperatorMeantIt)
{
    std::chrono::steady_clock::time_point now{1h};
    const auto start = now;
    RepeatGuard guard([&now] { return now; });
    for (const Press &press : GetParam().presses) {
        now = start + std::chrono::milliseconds(press.atMs);
        if (press.key == stop)
            guard.endWindow();
        else
            EXPECT_EQ(guard.admit(press.key), press.counts)
                << "F" << press.key << " at " << press.atMs << " ms";
    }
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Presses, RepeatGuardTest, ::testing::Values(
    RepeatCase{"SameKeyWithinHalfASecond", {{0, 3, true}, {100, 3, false}, {400, 3, false}, {499, 3, false}}},
    RepeatCase{"SameKeyAfterHalfASecond",  {{0, 3, true}, {500, 3, true}, {1200, 3, true}}},
    RepeatCase{"RepeatDoesNotExtendIt",    {{0, 3, true}, {400, 3, false}, {500, 3, true}}},
    RepeatCase{"OtherKeyCountsAtOnce",     {{0, 3, true}, {100, 5, true}, {200, 3, true}, {300, 3, false}}},
    RepeatCase{"StopEndsTheWindow",        {{0, 3, true}, {100, stop, false}, {150, 3, true}}}),
    [](const ::testing::TestParamInfo<RepeatCase> &info) { return info.param.name; });
// clang-format on

} // namespace
