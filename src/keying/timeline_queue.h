#pragma once

#include "keying/key_event.h"

#include <array>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <semaphore>

// A bounded queue of key events from the transmission worker to one listener: one thread offers, one
// takes. Offering never blocks and takes no lock; when the listener has fallen behind by the whole
// capacity, the new event is dropped and counted, so a stalled listener costs the worker nothing.
class TimelineQueue
{
public:
    static constexpr std::size_t capacity = 256;

    // The worker's side.
    void offer(const KeyEvent &event);

    // The listener's side. False when the queue is empty.
    bool take(KeyEvent &event);
    // Waits until an event may be there, or for at most the timeout; true when woken by an offer or wake().
    bool waitFor(std::chrono::milliseconds timeout);
    // Wakes a listener waiting in waitFor(), e.g. to let it end.
    void wake();

    std::size_t dropped() const { return dropped_.load(std::memory_order_relaxed); }

private:
    std::array<KeyEvent, capacity> events_{};
    std::atomic<std::size_t> head_{0}; // next to take; written by the listener
    std::atomic<std::size_t> tail_{0}; // next to fill; written by the worker
    std::atomic<std::size_t> dropped_{0};
    std::counting_semaphore<1 << 20> signal_{0};
    std::atomic<int> signalled_{0};
};
