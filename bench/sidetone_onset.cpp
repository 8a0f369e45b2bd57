// How late and how steadily the sidetone sounds after each key-down, heard on a null sink of a private
// sound server: PulseAudio, then PipeWire with its PulseAudio service, each started by
// tests/e2e/sound_server.py (a server whose packages are missing is skipped, saying why).
// Keylark keys a text in practice mode with the sidetone on; the sink's monitor is recorded and each tone's
// half-amplitude onset and length are found in the recording. The recording's samples are put on the
// monotonic clock by the earliest moments its reads returned, so each onset is, if anything, measured a
// little late. KEYLARK_BENCH_SECONDS sets the length of the text (default 60 s at 20 wpm).
#include "keying/element_timeline.h"
#include "keying/serial_controller.h"
#include "keying/timeline_follower.h"
#include "settings/settings_keys.h"
#include "settings/settings_store.h"
#include "sidetone/pulse_output.h"
#include "sidetone/sidetone.h"
#include "sidetone/tone_generator.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <mutex>
#include <pulse/error.h>
#include <pulse/simple.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char **environ;

namespace {

constexpr int speed = 20;
constexpr int rate = ToneGenerator::sampleRate;
constexpr std::size_t readSamples = 480;

std::int64_t monotonicNow()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return std::int64_t(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

// Runs this program again inside each sound server in turn; true when every run succeeded or was skipped.
bool runInEachServer(const char *self)
{
    bool ok = true;
    for (const char *server : {"pulseaudio", "pipewire"}) {
        std::fflush(stdout);
        const QByteArray script = KEYLARK_SOURCE_DIR "/tests/e2e/sound_server.py";
        char *argv[] = {const_cast<char *>("python3"), const_cast<char *>(script.constData()),
                        const_cast<char *>(server), const_cast<char *>(self), nullptr};
        pid_t pid = 0;
        int status = 0;
        if (posix_spawnp(&pid, "python3", nullptr, nullptr, argv, environ) != 0) {
            std::printf("sidetone onset: skipped: python3 is not installed\n");
            return true;
        }
        waitpid(pid, &status, 0);
        const int code = WIFEXITED(status) ? WEXITSTATUS(status) : 1;
        ok = ok && (code == 0 || code == 77);
    }
    return ok;
}

// The sink's monitor, read in small pieces; each read's return is noted on the monotonic clock.
class MonitorRecording
{
public:
    bool start(QString &why)
    {
        const pa_sample_spec format{PA_SAMPLE_S16LE, rate, 1};
        const std::uint32_t fragment = std::uint32_t(readSamples * 2);
        const pa_buffer_attr buffer{std::uint32_t(-1), 0, 0, 0, fragment};
        int error = 0;
        stream_ = pa_simple_new(nullptr, "Keylark bench", PA_STREAM_RECORD, "keylark_null.monitor", "Monitor",
                                &format, nullptr, &buffer, &error);
        if (!stream_) {
            why = QString::fromUtf8(pa_strerror(error));
            return false;
        }
        thread_ = std::thread([this] { run(); });
        return true;
    }
    void stop()
    {
        ending_ = true;
        thread_.join();
        pa_simple_free(stream_);
    }
    const std::vector<std::int16_t> &samples() const { return samples_; }
    // The instant of sample 0: the earliest any read could say.
    std::int64_t origin() const { return origin_; }
    std::int64_t span() const { return last_ - first_; }

private:
    void run()
    {
        std::int16_t piece[readSamples];
        int error = 0;
        while (!ending_ && pa_simple_read(stream_, piece, sizeof piece, &error) == 0) {
            const std::int64_t now = monotonicNow();
            first_ = first_ == 0 ? now : first_;
            last_ = now;
            samples_.insert(samples_.end(), piece, piece + readSamples);
            const std::int64_t origin = now - std::int64_t(samples_.size()) * 1'000'000'000 / rate;
            origin_ = samples_.size() == readSamples ? origin : std::min(origin_, origin);
        }
    }

    pa_simple *stream_ = nullptr;
    std::thread thread_;
    std::atomic<bool> ending_{false};
    std::vector<std::int16_t> samples_;
    std::int64_t origin_ = 0;
    std::int64_t first_ = 0, last_ = 0;
};

struct Tone
{
    std::int64_t onset; // sample at half amplitude, rising
    std::int64_t end;   // sample at half amplitude, falling
};

// Tones at half of the loudest peak, with the peak of each period as the envelope.
std::vector<Tone> findTones(const std::vector<std::int16_t> &samples)
{
    int loudest = 0;
    for (std::int16_t s : samples)
        loudest = std::max(loudest, std::abs(int(s)));
    const int half = loudest / 2;
    const int period = rate / 700 + 1;
    std::vector<Tone> tones;
    std::int64_t lastLoud = -rate;
    for (std::int64_t i = 0; i < std::int64_t(samples.size()); ++i) {
        if (std::abs(int(samples[i])) < half)
            continue;
        if (i - lastLoud > period)
            tones.push_back({i, i});
        tones.back().end = i;
        lastLoud = i;
    }
    return tones;
}

double percentile(std::vector<double> values, double p)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[std::size_t(p * double(values.size() - 1))];
}

int skip(const QString &why)
{
    std::printf("sidetone onset: skipped: %s\n", qPrintable(why));
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    if (!qEnvironmentVariableIsSet("KEYLARK_SOUND_SERVER"))
        return runInEachServer(argv[0]) ? 0 : 1;
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    MonitorRecording recording;
    QString why;
    if (!recording.start(why))
        return skip(QStringLiteral("cannot record the null sink: ") + why);

    SettingsStore store(dir.filePath(QStringLiteral("settings.json")));
    store.registerDefaults(registeredDefaults());
    store.setValue(KLKPracticeModeKey, true);
    store.setValue(KLKWpmKey, speed);
    SerialController controller(store, {});
    std::mutex mutex;
    std::vector<KeyEvent> downs;
    TimelineFollower follower(*controller.elementTimeline(), [&](const KeyEvent &event) {
        std::scoped_lock lock(mutex);
        if (event.edge == KeyEvent::Edge::Down)
            downs.push_back(event);
    });
    Sidetone sidetone(*controller.elementTimeline(), store, std::make_unique<PulseOutput>());
    // Measured once the stream runs: a sound server just started may hold a new stream back for up to two
    // seconds, and how the tones keyed meanwhile sound is the end-to-end test's to show.
    QThread::msleep(3000);

    const int seconds = qEnvironmentVariableIsSet("KEYLARK_BENCH_SECONDS")
                            ? qEnvironmentVariableIntValue("KEYLARK_BENCH_SECONDS")
                            : 60;
    QString text;
    for (int i = 0; i < std::max(1, seconds / 3); ++i) // PARIS and a space are 50 dits, 3 s at 20 wpm
        text += QStringLiteral("PARIS ");
    controller.cwSendString(text);
    controller.joinWorkers();
    QThread::msleep(300);
    recording.stop();

    if (qEnvironmentVariableIsSet("KEYLARK_BENCH_RAW")) {
        QFile raw(qEnvironmentVariable("KEYLARK_BENCH_RAW"));
        if (raw.open(QIODevice::WriteOnly))
            raw.write(reinterpret_cast<const char *>(recording.samples().data()),
                      qint64(recording.samples().size() * 2));
    }
    const std::vector<Tone> tones = findTones(recording.samples());
    std::scoped_lock lock(mutex);
    // Each key-down is matched with the tone that starts soonest after it; a tone that matches none is a
    // fragment of one the sound server broke up (it skipped samples it had no time for), and a key-down
    // with no tone within the late limit was not heard. The limit lies past the delay of either server
    // (PipeWire's cycle on a virtual machine adds 21 ms to the buffer) and short of the next element's tone,
    // at least 120 ms on at 20 wpm, so that a tone that is missing is not matched with the next one.
    constexpr std::int64_t earliest = -5'000'000, latest = 150'000'000; // ns around the key-down
    std::vector<double> onsets, lengthErrors;
    std::size_t next = 0, missing = 0;
    for (const KeyEvent &down : downs) {
        auto instantOf = [&](std::int64_t sample) {
            return recording.origin() + sample * 1'000'000'000 / rate;
        };
        while (next < tones.size() && instantOf(tones[next].onset) - down.instant < earliest)
            ++next;
        if (next == tones.size() || instantOf(tones[next].onset) - down.instant > latest) {
            ++missing;
            continue;
        }
        const Tone &tone = tones[next++];
        onsets.push_back(double(instantOf(tone.onset) - down.instant) / 1e6);
        if (qEnvironmentVariableIsSet("KEYLARK_BENCH_RAW"))
            std::printf("%.3f s  onset %.2f ms\n", double(down.instant - downs[0].instant) / 1e9,
                        onsets.back());
        const double length = double(tone.end - tone.onset + 1) * 1000.0 / rate;
        lengthErrors.push_back(std::abs(length - double(down.length) / 1e6));
    }
    const std::size_t fragments = tones.size() - onsets.size();
    std::printf(
        "sidetone onset after the key-down, %zu elements at %d wpm over %d s, on a null sink of %s:\n",
        downs.size(), speed, seconds, qPrintable(qEnvironmentVariable("KEYLARK_SOUND_SERVER")));
    if (onsets.empty()) {
        std::printf("  no tone was heard (%zu found in the recording)\n", tones.size());
        return 1;
    }
    std::printf("  onset   median %.2f ms  p95 %.2f ms  worst %.2f ms  best %.2f ms  spread %.2f ms\n",
                percentile(onsets, 0.5), percentile(onsets, 0.95), percentile(onsets, 1.0),
                percentile(onsets, 0.0), percentile(onsets, 1.0) - percentile(onsets, 0.0));
    std::printf("  length  |error| median %.3f ms  p95 %.3f ms  worst %.3f ms\n",
                percentile(lengthErrors, 0.5), percentile(lengthErrors, 0.95), percentile(lengthErrors, 1.0));
    std::printf("  not heard %zu, broken up by the sound server %zu, left out by the sidetone %zu; recorded "
                "%.2f s in %.2f s\n",
                missing, fragments, sidetone.dropped(), double(recording.samples().size()) / rate,
                double(recording.span()) / 1e9);
    return 0;
}
