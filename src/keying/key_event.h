#pragma once

#include <cstdint>

// One edge of the element timeline: the worker keyed the line down or up. The instant is on the monotonic
// clock the worker waits on (WaitClock), in nanoseconds; a key-down carries the length the worker will hold
// it, so that a listener can shape the whole element without waiting for its key-up.
struct KeyEvent
{
    enum class Edge { Down, Up };

    Edge edge = Edge::Up;
    std::int64_t instant = 0; // ns
    std::int64_t length = 0;  // ns; planned key-down time, 0 for a key-up
};
