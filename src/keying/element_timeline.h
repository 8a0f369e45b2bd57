#pragma once

#include "keying/key_event.h"

#include <array>
#include <atomic>

class TimelineQueue;

// The one record of what the transmission worker keys: it publishes each key-down and key-up once, and
// every listener below the windows (the sidetone, the console's key lamp) follows it through a queue of
// its own. Publishing takes no lock and never waits for a listener.
class ElementTimeline
{
public:
    static constexpr int maxListeners = 8;

    // The worker's side; one publisher at a time.
    void publish(const KeyEvent &event);

    // False when every place is taken. A queue must be unsubscribed before it goes.
    bool subscribe(TimelineQueue *queue);
    // Returns once the worker can no longer reach the queue.
    void unsubscribe(TimelineQueue *queue);

private:
    std::array<std::atomic<TimelineQueue *>, maxListeners> listeners_{};
    std::atomic<int> publishing_{0};
};
