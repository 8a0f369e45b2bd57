#pragma once

#include <QString>

#include <cstddef>
#include <cstdint>

// Where the sidetone's samples go: 16-bit mono at a given rate. Keylark writes to the sound server; tests
// put a double in its place. Every call is made on the sidetone's own thread.
class AudioOutput
{
public:
    virtual ~AudioOutput() = default;

    // False, with the reason, when there is no sound device to play on.
    virtual bool open(int sampleRate, QString &reason) = 0;
    // Returns once the samples are taken, which paces the caller; false when the device failed.
    virtual bool write(const std::int16_t *samples, std::size_t count) = 0;
    virtual void close() = 0;
};
