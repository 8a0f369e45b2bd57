#pragma once

#include "radio/hamlib_rig.h"

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <thread>

// Makes the Hamlib calls of one radio on a thread of its own, one at a time, each within a deadline. A
// call that overruns it is given up: the thread is left to finish it, close the radio and end by itself,
// and this object takes no more calls; Keylark never waits on a radio that does not answer.
class RigThread
{
public:
    using Call = std::function<RigResult(HamlibRig &)>;

    RigThread();
    // Closes the radio within the deadline given, or leaves the thread to do it.
    ~RigThread();

    RigThread(const RigThread &) = delete;
    RigThread &operator=(const RigThread &) = delete;

    // The call's result, or nothing when it overran the deadline or an earlier call had.
    std::optional<RigResult> run(Call call, std::chrono::milliseconds deadline);
    bool givenUp() const;
    // Gives up the call under way, from any thread: it returns nothing at once.
    void giveUp();

    static constexpr std::chrono::milliseconds closeDeadline{2000};

private:
    struct Shared;
    std::shared_ptr<Shared> shared_;
    std::thread thread_;
};
