#pragma once

#include <QObject>

#include <atomic>
#include <cstddef>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <thread>

// The transmission's worker threads, one per send request. A worker is joined on the thread that made
// them as soon as it has ended, so that no thread outlives its transmission for long.
class WorkerThreads
{
public:
    // SCHED_FIFO priority, below the sidetone's audio thread.
    static constexpr int realTimePriority = 2;

    // realTime: the workers run in real time where the system allows it.
    explicit WorkerThreads(bool realTime = false) : realTime_(realTime) {}
    WorkerThreads(const WorkerThreads &) = delete;
    WorkerThreads &operator=(const WorkerThreads &) = delete;

    void start(std::function<void()> body);
    // A worker has been started and has not yet ended.
    bool pending();
    // Workers not yet joined, running or finished.
    std::size_t count();
    // Waits for every worker to end on its own.
    void join();

private:
    struct Worker
    {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> finished;
    };

    void reap();
    void reapFinished();

    const bool realTime_;
    std::mutex mutex_;
    std::list<Worker> workers_;
    QObject reaper_; // on the thread that made the workers
};
