#pragma once

#include <cstdint>

// What a keying output tells its transmission as it keys a piece, on the worker's thread and in the order
// things go out: the transmission echoes each character to the console at once and keeps the pass for its
// listener, whatever the output.
class KeyingProgress
{
public:
    virtual ~KeyingProgress() = default;

    // A character begins to go out: the byte as keyed, upper case; each once.
    virtual void characterKeyed(unsigned char code) = 0;
    // Some of the piece went out at this speed, in wpm.
    virtual void speedKeyed(int wpm) = 0;
    // The piece kept the transmitter busy this long: elements, gaps and pauses, in whole milliseconds.
    virtual void timeKeyed(std::int64_t milliseconds) = 0;
};
