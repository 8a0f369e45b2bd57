#include "keying/prefer_real_time.h"
#include "keying/worker_threads.h"

#include <gtest/gtest.h>

#include <future>
#include <sched.h>

namespace {

// Whether this process may run a thread in real time: as root, or under a limit such as the audio group's.
bool realTimeAllowed()
{
    bool allowed = false;
    std::thread([&allowed] { allowed = preferRealTime(WorkerThreads::realTimePriority); }).join();
    return allowed;
}

// Workers keying on the real clock run in real time; any others keep the ordinary policy, so that a worker
// on a virtual clock, which never sleeps, cannot hold a processor from the rest of the machine.
TEST(WorkerThreadsTest, RunInRealTimeOnlyWhenMadeForIt)
{
    if (!realTimeAllowed())
        GTEST_SKIP() << "this process may not run threads in real time";
    for (const bool realTime : {true, false}) {
        WorkerThreads workers(realTime);
        std::promise<int> policy;
        workers.start([&policy] { policy.set_value(sched_getscheduler(0)); });
        EXPECT_EQ(policy.get_future().get(), realTime ? SCHED_FIFO : SCHED_OTHER) << "real time " << realTime;
        workers.join();
    }
}

} // namespace
