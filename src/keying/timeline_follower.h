#pragma once

#include "keying/timeline_queue.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

class ElementTimeline;

// Follows the element timeline on a thread of its own and hands each event to a function there. While
// edges come it looks at most once a frame, takes what came meanwhile and then calls the frame function:
// the worker's edges wake nobody then, and a window that shows them repaints at most at screen rate. The
// functions may take their time or post on to another thread (the console's key lamp does, with a queued
// call): the worker never waits for them.
class TimelineFollower
{
public:
    using Listener = std::function<void(const KeyEvent &)>;
    using Frame = std::function<void()>;

    static constexpr std::chrono::milliseconds frameInterval{16};
    // Frames without an edge before the follower sleeps until the next one: longer than any gap of a text.
    static constexpr int quietFrames = 150;

    TimelineFollower(ElementTimeline &timeline, Listener listener, Frame frame = {});
    ~TimelineFollower();

    TimelineFollower(const TimelineFollower &) = delete;
    TimelineFollower &operator=(const TimelineFollower &) = delete;

    bool following() const { return subscribed_; }
    std::size_t dropped() const { return queue_.dropped(); }

private:
    void run();
    bool takeAll();

    ElementTimeline &timeline_;
    Listener listener_;
    Frame frame_;
    TimelineQueue queue_;
    bool subscribed_ = false;
    std::atomic<bool> ending_{false};
    std::thread thread_;
};
