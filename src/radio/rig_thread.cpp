#include "radio/rig_thread.h"

#include <condition_variable>
#include <mutex>

// What the thread and its owner share; the thread keeps it alive after the owner has given it up.
struct RigThread::Shared
{
    std::mutex mutex;
    std::condition_variable changed;
    Call call; // waiting to be made
    std::optional<RigResult> result;
    std::uint64_t callNumber = 0; // of the call handed over last
    std::uint64_t doneNumber = 0; // of the call whose result is in result
    bool ending = false;          // the owner is gone or has given up
    HamlibRig rig;                // used on the thread only, but for cutOff()

    void loop();
};

void RigThread::Shared::loop()
{
    std::unique_lock lock(mutex);
    for (;;) {
        changed.wait(lock, [this] { return call || ending; });
        if (!call || ending)
            break;
        Call next = std::move(call);
        call = nullptr;
        const std::uint64_t number = callNumber;
        lock.unlock();
        RigResult answer = next(rig);
        lock.lock();
        result = std::move(answer);
        doneNumber = number;
        changed.notify_all();
    }
    lock.unlock();
    rig.close();
}

RigThread::RigThread() : shared_(std::make_shared<Shared>()), thread_([shared = shared_] { shared->loop(); })
{
}

RigThread::~RigThread()
{
    const bool closed = run(
                            [](HamlibRig &rig) {
                                rig.close();
                                return RigResult{};
                            },
                            closeDeadline)
                            .has_value();
    {
        std::scoped_lock lock(shared_->mutex);
        shared_->ending = true;
        shared_->changed.notify_all();
    }
    if (closed)
        thread_.join();
    else
        thread_.detach(); // still inside Hamlib: it ends on its own once Hamlib returns
}

std::optional<RigResult> RigThread::run(Call call, std::chrono::milliseconds deadline)
{
    std::unique_lock lock(shared_->mutex);
    if (shared_->ending)
        return std::nullopt;
    shared_->call = std::move(call);
    const std::uint64_t number = ++shared_->callNumber;
    shared_->changed.notify_all();
    const bool done = shared_->changed.wait_for(
        lock, deadline, [&] { return shared_->doneNumber == number || shared_->ending; });
    if (!done || shared_->doneNumber != number) {
        shared_->ending = true;
        shared_->rig.cutOff();
        return std::nullopt;
    }
    return std::move(shared_->result);
}

void RigThread::giveUp()
{
    std::scoped_lock lock(shared_->mutex);
    shared_->ending = true;
    shared_->changed.notify_all();
}

bool RigThread::givenUp() const
{
    std::scoped_lock lock(shared_->mutex);
    return shared_->ending;
}
