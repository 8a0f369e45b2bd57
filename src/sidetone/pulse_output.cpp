#include "sidetone/pulse_output.h"

#include <pulse/error.h>
#include <pulse/simple.h>

PulseOutput::~PulseOutput()
{
    close();
}

bool PulseOutput::open(int sampleRate, QString &reason)
{
    close();
    const pa_sample_spec format{PA_SAMPLE_S16LE, std::uint32_t(sampleRate), 1};
    const std::uint32_t target = std::uint32_t(pa_usec_to_bytes(bufferMs * 1000, &format));
    // The server keeps the buffer at the target. With no pre-buffering the stream never pauses: when
    // Keylark is late with samples, those are skipped, and every later sample still plays at its time.
    const pa_buffer_attr buffer{std::uint32_t(-1), target, 0, std::uint32_t(-1), std::uint32_t(-1)};
    int error = 0;
    stream_ = pa_simple_new(nullptr, "Keylark", PA_STREAM_PLAYBACK, nullptr, "Sidetone", &format, nullptr,
                            &buffer, &error);
    if (!stream_)
        reason = QString::fromUtf8(pa_strerror(error));
    return stream_ != nullptr;
}

bool PulseOutput::write(const std::int16_t *samples, std::size_t count)
{
    int error = 0;
    return stream_ && pa_simple_write(stream_, samples, count * sizeof *samples, &error) == 0;
}

void PulseOutput::close()
{
    if (stream_)
        pa_simple_free(stream_);
    stream_ = nullptr;
}
