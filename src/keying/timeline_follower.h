#pragma once

#include "keying/timeline_queue.h"

#include <atomic>
#include <functional>
#include <thread>

class ElementTimeline;

// Follows the element timeline on a thread of its own and hands each event to a function there. The
// function may take its time or post the event on to another thread (the console's key lamp does, with a
// queued call): the worker never waits for it.
class TimelineFollower
{
public:
    using Listener = std::function<void(const KeyEvent &)>;

    TimelineFollower(ElementTimeline &timeline, Listener listener);
    ~TimelineFollower();

    TimelineFollower(const TimelineFollower &) = delete;
    TimelineFollower &operator=(const TimelineFollower &) = delete;

    bool following() const { return subscribed_; }
    std::size_t dropped() const { return queue_.dropped(); }

private:
    void run();

    ElementTimeline &timeline_;
    Listener listener_;
    TimelineQueue queue_;
    bool subscribed_ = false;
    std::atomic<bool> ending_{false};
    std::thread thread_;
};
