#include "keying/element_timeline.h"

#include "keying/timeline_queue.h"

#include <thread>

void ElementTimeline::publish(const KeyEvent &event)
{
    publishing_.fetch_add(1);
    for (std::atomic<TimelineQueue *> &listener : listeners_) {
        if (TimelineQueue *queue = listener.load())
            queue->offer(event);
    }
    publishing_.fetch_sub(1);
}

bool ElementTimeline::subscribe(TimelineQueue *queue)
{
    for (std::atomic<TimelineQueue *> &listener : listeners_) {
        TimelineQueue *empty = nullptr;
        if (listener.compare_exchange_strong(empty, queue))
            return true;
    }
    return false;
}

// A publish that began before the queue was taken out may still hold it; it ends within microseconds,
// since offering never waits.
void ElementTimeline::unsubscribe(TimelineQueue *queue)
{
    for (std::atomic<TimelineQueue *> &listener : listeners_) {
        TimelineQueue *expected = queue;
        listener.compare_exchange_strong(expected, nullptr);
    }
    while (publishing_.load() != 0)
        std::this_thread::yield();
}
