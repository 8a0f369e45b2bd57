#pragma once

#include "sidetone/audio_output.h"

struct pa_simple;

// The sound server's playback stream (PulseAudio, or PipeWire through its PulseAudio service). Both give
// half the buffer to the device's side and keep the other half filled by asking for more as it plays, so
// a write, or the server's own thread that takes it in, may come about half the buffer late before the
// stream runs dry; then the server plays silence and skips what came late, which breaks the tone that
// sounds. A busy 2-core machine holds ordinary threads up for 20 ms and more, the server's included.
class PulseOutput : public AudioOutput
{
public:
    static constexpr int bufferMs = 60;

    ~PulseOutput() override;

    bool open(int sampleRate, QString &reason) override;
    bool write(const std::int16_t *samples, std::size_t count) override;
    void close() override;

private:
    pa_simple *stream_ = nullptr;
};
