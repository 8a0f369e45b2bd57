#pragma once

#include <cstdint>

// The line the transmission worker keys. Whenever no element is being keyed, the line rests in its
// key-up state. The serial port's DTR and RTS lines are one such line.
class KeyingLine
{
public:
    virtual ~KeyingLine() = default;

    // Reads the line's settings; called at start-up and before every transmission.
    virtual void configure() = 0;
    // Opens the line and puts it at rest. False when it cannot be opened (reported).
    virtual bool open(const char *path) = 0;
    virtual bool isOpen() const = 0;
    // False when the request failed (reported); the line's state is then unknown.
    virtual bool keyDown() = 0;
    // Puts the line at rest, trying again for a while. False when it may still be keyed (reported).
    virtual bool keyUp() = 0;
    // Puts the line at rest and releases it. False when it could not be put at rest; it stays open then.
    virtual bool close() = 0;

    // PTT: a line of its own, on from before the first key-down to after the last key-up. A line without
    // one takes the requests and does nothing.
    static constexpr std::int64_t shortestTail = 10'000'000; // ns from a key-up to PTT off, at the least

    virtual bool hasPtt() const { return false; }
    virtual bool isPttOn() const { return false; }
    // PTT on with the key up. False when the request failed (reported); PTT then counts as on.
    virtual bool pttOn() { return true; }
    // PTT off, with the key up and no sooner than shortestTail after the last key-up. False when that
    // could not be done (reported): PTT then counts as on.
    virtual bool pttOff() { return true; }
    // When the key last went up while PTT was on, or PTT went on; ns of the line's clock.
    virtual std::int64_t keyUpAt() const { return 0; }
};
