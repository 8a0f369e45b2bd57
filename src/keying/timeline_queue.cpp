#include "keying/timeline_queue.h"

void TimelineQueue::offer(const KeyEvent &event)
{
    const std::size_t tail = tail_.load(std::memory_order_relaxed);
    if (tail - head_.load(std::memory_order_acquire) >= capacity) {
        dropped_.fetch_add(1, std::memory_order_relaxed);
    } else {
        events_[tail % capacity] = event;
        tail_.store(tail + 1); // sequentially consistent with wake(): see waitFor()
    }
    wake();
}

bool TimelineQueue::take(KeyEvent &event)
{
    const std::size_t head = head_.load(std::memory_order_relaxed);
    if (head == tail_.load())
        return false;
    event = events_[head % capacity];
    head_.store(head + 1, std::memory_order_release);
    return true;
}

// One wake-up is enough however many events came meanwhile: the listener takes them all.
void TimelineQueue::wake()
{
    int idle = 0;
    if (signalled_.compare_exchange_strong(idle, 1))
        signal_.release();
}

// An event offered after the flag was cleared wakes the listener again; one offered before it is seen by
// the take() that follows, since the tail and the flag are ordered alike on both sides.
bool TimelineQueue::waitFor(std::chrono::milliseconds timeout)
{
    if (!signal_.try_acquire_for(timeout))
        return false;
    signalled_.store(0);
    return true;
}
