#pragma once

#include "sidetone/audio_output.h"

struct pa_simple;

// The sound server's playback stream (PulseAudio, or PipeWire through its PulseAudio service) with a
// buffer of a few milliseconds, so that a tone starts soon after its key-down.
class PulseOutput : public AudioOutput
{
public:
    static constexpr int bufferMs = 10;

    ~PulseOutput() override;

    bool open(int sampleRate, QString &reason) override;
    bool write(const std::int16_t *samples, std::size_t count) override;
    void close() override;

private:
    pa_simple *stream_ = nullptr;
};
