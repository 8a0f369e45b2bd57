#pragma once

#include "keying/line_system.h"

#include <cstdint>
#include <ctime>
#include <mutex>
#include <vector>

inline std::int64_t monotonicNow()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return std::int64_t(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

struct Request
{
    std::int64_t at; // ns, CLOCK_MONOTONIC
    int bits;
};

// Records every modem-control request with its time; opens and closes nothing.
class TimingLine : public LineSystem
{
public:
    TimingLine() { requests_.reserve(1 << 16); }
    int open(const char *, int) override { return 3; }
    int duplicate(int fd, int) override { return fd; }
    int getAttributes(int, termios *attributes) override
    {
        *attributes = termios{};
        return 0;
    }
    int setAttributes(int, const termios *) override { return 0; }
    int setModemLines(int, int bits) override
    {
        const std::int64_t at = monotonicNow();
        std::scoped_lock lock(mutex_);
        requests_.push_back({at, bits});
        return 0;
    }
    int close(int) override { return 0; }
    std::vector<Request> requests() const
    {
        std::scoped_lock lock(mutex_);
        return requests_;
    }

private:
    mutable std::mutex mutex_;
    std::vector<Request> requests_;
};
