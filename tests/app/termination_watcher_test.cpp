#include "app/termination_watcher.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

#include <csignal>

namespace {

class TerminationWatcherTest : public ::testing::TestWithParam<int>
{
};

TEST_P(TerminationWatcherTest, SignalBecomesARequestOnTheInterfaceThread)
{
    TerminationWatcher watcher;
    QSignalSpy requested(&watcher, &TerminationWatcher::terminationRequested);
    ASSERT_EQ(std::raise(GetParam()), 0); // would end the test program if it were not caught
    ASSERT_TRUE(requested.wait(5000));
    EXPECT_EQ(requested.first().first().toInt(), GetParam());
}

INSTANTIATE_TEST_SUITE_P(Signals, TerminationWatcherTest, ::testing::Values(SIGINT, SIGTERM, SIGHUP));

} // namespace
