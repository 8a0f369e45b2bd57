#pragma once

#include <QObject>

#include <memory>

class AudioOutput;
class ElementTimeline;
class SettingsStore;
class WaitClock;

// The sidetone: a tone through the sound card that follows the element timeline, on the air and in
// practice alike. Each key-down is placed in the audio stream from its own instant and planned length, a
// steady delay after it and in the rhythm of the key-downs (TonePlacement), so every tone is as long as its
// element and starts equally late. The audio runs on a thread of its own, and the worker only ever offers
// it events: a missing, failed or stalled sound device leaves the keying untouched. Without a device Keylark
// says so once and stays silent; it tries the device again now and then. A tone left out is counted and
// told once, in a line that the status bar shows.
class Sidetone : public QObject
{
    Q_OBJECT

public:
    static constexpr std::size_t chunkSamples = 120; // 2.5 ms written at a time
    // Samples: one chunk and 10 ms by which the audio thread may wake late on a busy machine and still place
    // a tone where it belongs.
    static constexpr std::int64_t placementMargin = 600;
    static constexpr std::int64_t retryInterval = 5'000'000'000;  // ns between two tries of a missing device
    static constexpr std::int64_t reportInterval = 1'000'000'000; // ns between two lines of tones left out
    // SCHED_FIFO where allowed: below PulseAudio's sink threads (5) and PipeWire's (88).
    static constexpr int realTimePriority = 3;

    // clock: nullptr means the monotonic clock the worker waits on.
    Sidetone(ElementTimeline &timeline, SettingsStore &store, std::unique_ptr<AudioOutput> output,
             WaitClock *clock = nullptr, QObject *parent = nullptr);
    ~Sidetone() override;

    Sidetone(const Sidetone &) = delete;
    Sidetone &operator=(const Sidetone &) = delete;

    // Key-downs that found the listener's queue full, or came too late to be heard in their place (left out).
    std::size_t dropped() const;

private:
    struct State;

    static void run(std::shared_ptr<State> state);
    void followSettings(const QString &key);
    void listen(bool on);

    ElementTimeline &timeline_;
    SettingsStore &store_;
    std::shared_ptr<State> state_;
    bool listening_ = false;
};
