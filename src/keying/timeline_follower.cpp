#include "keying/timeline_follower.h"

#include "keying/element_timeline.h"

#include <chrono>

TimelineFollower::TimelineFollower(ElementTimeline &timeline, Listener listener)
    : timeline_(timeline), listener_(std::move(listener))
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

void TimelineFollower::run()
{
    using namespace std::chrono_literals;
    while (!ending_) {
        KeyEvent event;
        while (!ending_ && queue_.take(event))
            listener_(event);
        queue_.waitFor(1s);
    }
}
