#pragma once

#include "sidetone/audio_output.h"

struct pa_simple;

// The sound server's playback stream (PulseAudio, or PipeWire through its PulseAudio service). Its buffer
// is what the server plays while Keylark's audio thread waits for the processor: a busy 2-core machine
// holds a thread up for tens of milliseconds, and a buffer that runs dry breaks a tone (PulseAudio skips
// what came late) or moves every later one (PipeWire makes the buffer longer).
class PulseOutput : public AudioOutput
{
public:
    static constexpr int bufferMs = 40;

    ~PulseOutput() override;

    bool open(int sampleRate, QString &reason) override;
    bool write(const std::int16_t *samples, std::size_t count) override;
    void close() override;

private:
    pa_simple *stream_ = nullptr;
};
