#include "keying/timeline_follower.h"

#include "keying/element_timeline.h"

TimelineFollower::TimelineFollower(ElementTimeline &timeline, Listener listener, Frame frame)
    : timeline_(timeline), listener_(std::move(listener)), frame_(std::move(frame))
{
    subscribed_ = timeline_.subscribe(&queue_);
    if (subscribed_)
        thread_ = std::thread(&TimelineFollower::run, this);
}

TimelineFollower::~TimelineFollower()
{
    if (!subscribed_)
        return;
    timeline_.unsubscribe(&queue_);
    ending_ = true;
    queue_.wake();
    thread_.join();
}

// The queue's wake-up is spent only once the follower goes quiet: until then the worker's offers find it
// still raised and signal nothing, so that no edge wakes a thread.
void TimelineFollower::run()
{
    using namespace std::chrono_literals;
    bool heard = false;
    while (!ending_) {
        if (!heard && !queue_.waitFor(1s))
            continue;
        for (int quiet = 0; !ending_ && quiet < quietFrames;) {
            quiet = takeAll() ? 0 : quiet + 1;
            if (frame_)
                frame_();
            std::this_thread::sleep_for(frameInterval);
        }
        // An edge offered before the wake-up was spent is in the queue already; one after it wakes again.
        queue_.waitFor(0ms);
        heard = takeAll();
    }
}

bool TimelineFollower::takeAll()
{
    bool took = false;
    KeyEvent event;
    while (!ending_ && queue_.take(event)) {
        listener_(event);
        took = true;
    }
    return took;
}
