#include "keying/worker_threads.h"

#include "keying/prefer_real_time.h"

#include <sys/prctl.h>

void WorkerThreads::start(std::function<void()> body)
{
    std::scoped_lock lock(mutex_);
    reapFinished();
    auto finished = std::make_shared<std::atomic<bool>>(false);
    std::thread thread([this, body = std::move(body), finished] {
        prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
        // A worker keying on the real clock sleeps to just before each edge and watches the clock for the
        // rest, a fraction of a millisecond; in real time it takes the processor as it wakes, rather than
        // waiting for the time slice of whatever holds it.
        if (realTime_)
            preferRealTime(realTimePriority);
        body();
        *finished = true;
        QMetaObject::invokeMethod(
            &reaper_, [this] { reap(); }, Qt::QueuedConnection);
    });
    workers_.push_back({std::move(thread), std::move(finished)});
}

bool WorkerThreads::pending()
{
    std::scoped_lock lock(mutex_);
    reapFinished();
    return !workers_.empty();
}

std::size_t WorkerThreads::count()
{
    std::scoped_lock lock(mutex_);
    return workers_.size();
}

void WorkerThreads::join()
{
    std::list<Worker> workers;
    {
        std::scoped_lock lock(mutex_);
        workers.swap(workers_);
    }
    for (Worker &worker : workers)
        worker.thread.join();
}

void WorkerThreads::reap()
{
    std::scoped_lock lock(mutex_);
    reapFinished();
}

void WorkerThreads::reapFinished()
{
    workers_.remove_if([](Worker &worker) {
        if (!*worker.finished)
            return false;
        worker.thread.join();
        return true;
    });
}
