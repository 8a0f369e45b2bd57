#pragma once

#include <chrono>
#include <functional>

// The function keys' repeat guard. A press opens a window of half a second for its key; the same key
// pressed again inside it counts for nothing (a bouncing or held key never sends twice, and the window is
// not extended). Another key counts at once and opens its own window; so does any key after a stop. The
// window is measured on the monotonic clock, which tests may replace.
class RepeatGuard
{
public:
    using Clock = std::function<std::chrono::steady_clock::time_point()>;

    static constexpr std::chrono::milliseconds window{500};

    explicit RepeatGuard(Clock clock = &std::chrono::steady_clock::now) : clock_(std::move(clock)) {}

    // Whether a press of key (1 to 12) counts; one that counts opens the window for its key.
    bool admit(int key);
    // The stop command: the next press of any key counts.
    void endWindow() { key_ = 0; }
    void setClock(Clock clock) { clock_ = std::move(clock); }

private:
    Clock clock_;
    int key_ = 0; // the key whose window is open, 0 for none
    std::chrono::steady_clock::time_point opened_;
};
