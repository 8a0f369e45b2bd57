#include "sidetone/sidetone.h"

#include "keying/diagnostics.h"
#include "keying/element_timeline.h"
#include "keying/prefer_real_time.h"
#include "keying/timeline_queue.h"
#include "keying/wait_clock.h"
#include "settings/settings_keys.h"
#include "settings/settings_store.h"
#include "sidetone/audio_output.h"
#include "sidetone/sample_clock.h"
#include "sidetone/tone_generator.h"
#include "sidetone/tone_placement.h"

#include <array>
#include <atomic>
#include <chrono>
#include <semaphore>
#include <thread>

using namespace std::chrono_literals;

// Everything the audio thread touches. It is shared, so that a thread held up in a stalled sound server
// can be left behind when Keylark ends instead of holding up the end.
struct Sidetone::State
{
    State(std::unique_ptr<AudioOutput> output, WaitClock &clock) : output(std::move(output)), clock(clock) {}

    TimelineQueue queue;
    std::unique_ptr<AudioOutput> output;
    WaitClock &clock;
    std::atomic<bool> enabled{true};
    std::atomic<int> pitch{700};
    std::atomic<int> volume{50};
    std::atomic<bool> ending{false};
    std::atomic<bool> ended{false};
    std::atomic<std::size_t> late{0};
    // Wakes the thread while it has no stream: at the end, or switched on. Counting, as both may come
    // before it looks.
    std::counting_semaphore<> nudge{0};
};

namespace {

constexpr auto endWait = 1s; // how long Keylark's end waits for the audio thread

void discardEvents(TimelineQueue &queue)
{
    KeyEvent event;
    while (queue.take(event)) {
    }
}

QString leftOutLine(std::size_t count)
{
    return count == 1 ? QStringLiteral("#.. Keylark : 1 sidetone tone left out: the sound device was late.")
                      : QStringLiteral("#.. Keylark : %1 sidetone tones left out: the sound device was late.")
                            .arg(count);
}

} // namespace

Sidetone::Sidetone(ElementTimeline &timeline, SettingsStore &store, std::unique_ptr<AudioOutput> output,
                   WaitClock *clock, QObject *parent)
    : QObject(parent), timeline_(timeline), store_(store),
      state_(std::make_shared<State>(std::move(output), clock ? *clock : WaitClock::system()))
{
    for (const QString &key : {KLKSidetoneKey, KLKSidetonePitchKey, KLKSidetoneVolumeKey})
        followSettings(key);
    connect(&store_, &SettingsStore::changed, this, &Sidetone::followSettings);
    std::thread(&Sidetone::run, state_).detach();
}

Sidetone::~Sidetone()
{
    timeline_.unsubscribe(&state_->queue);
    state_->ending = true;
    state_->nudge.release();
    const auto deadline = std::chrono::steady_clock::now() + endWait;
    while (!state_->ended && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(1ms);
}

std::size_t Sidetone::dropped() const
{
    return state_->queue.dropped() + state_->late;
}

// Read here on the interface thread and handed over whole: the audio thread never waits for the store.
void Sidetone::followSettings(const QString &key)
{
    if (key == KLKSidetoneKey) {
        state_->enabled = store_.boolValue(KLKSidetoneKey);
        listen(state_->enabled);
    } else if (key == KLKSidetonePitchKey)
        state_->pitch = int(KLKSidetonePitchRange.clamp(store_.intValue(KLKSidetonePitchKey)));
    else if (key == KLKSidetoneVolumeKey)
        state_->volume = int(KLKSidetoneVolumeRange.clamp(store_.intValue(KLKSidetoneVolumeKey)));
}

// The sidetone hears the timeline only while it is on, so that switched off it costs the worker's edges
// nothing and wakes no thread.
void Sidetone::listen(bool on)
{
    if (on == listening_)
        return;
    if (on) {
        listening_ = timeline_.subscribe(&state_->queue);
        state_->nudge.release(); // it opens the stream before the first edge is stale
        return;
    }
    timeline_.unsubscribe(&state_->queue);
    listening_ = false;
}

void Sidetone::run(std::shared_ptr<State> state)
{
    // On a busy machine a thread of ordinary priority may wait 20 ms and more for a processor, and a sound
    // server that finds the stream's buffer empty meanwhile breaks the tone that sounds. In real time, below
    // the sound server's own threads, it does not; the sound library's thread it starts inherits the policy.
    preferRealTime(realTimePriority);
    ToneGenerator generator;
    SampleClock sampleClock(ToneGenerator::sampleRate, placementMargin);
    TonePlacement placement(ToneGenerator::sampleRate);
    std::array<std::int16_t, chunkSamples> chunk{};
    bool open = false;
    bool reported = false;
    std::int64_t nextTry = 0;
    std::size_t reportedLeftOut = 0;
    std::int64_t nextReport = 0;
    while (!state->ending) {
        if (!open && state->enabled && state->clock.now() >= nextTry) {
            QString reason;
            open = state->output->open(ToneGenerator::sampleRate, reason);
            if (!open && !reported)
                Diagnostics::out(QStringLiteral("#.. Keylark : No sound device (%1); the sidetone is silent.")
                                     .arg(reason));
            reported = reported || !open;
            nextTry = state->clock.now() + retryInterval;
            sampleClock.reset();
            placement.restart();
        }
        // Switched off, the stream closes once the tone that sounds has ended; switched on again, it opens
        // at once rather than when a missing device would next be tried.
        if (open && !state->enabled && !generator.busy()) {
            state->output->close();
            open = false;
            nextTry = 0;
        }
        // Without a stream the thread looks now and then and drops what came: the worker's edges do not wake
        // it, since the queue's wake-up once raised stays raised.
        if (!open) {
            discardEvents(state->queue);
            state->nudge.try_acquire_for(200ms);
            continue;
        }
        KeyEvent event;
        while (state->queue.take(event)) {
            if (event.edge != KeyEvent::Edge::Down)
                continue;
            generator.setEnabled(state->enabled);
            generator.setPitch(state->pitch);
            generator.setVolume(state->volume);
            const auto at = placement.place(event, sampleClock.sampleAt(event.instant), generator.position());
            if (!at) {
                ++state->late;
                continue;
            }
            generator.schedule(*at, event.length * ToneGenerator::sampleRate / nanosPerSecond);
        }
        // Each tone left out is told once; a stall that leaves out many is told in one line.
        const std::size_t leftOut = state->queue.dropped() + state->late;
        if (leftOut > reportedLeftOut && state->clock.now() >= nextReport) {
            Diagnostics::out(leftOutLine(leftOut - reportedLeftOut));
            reportedLeftOut = leftOut;
            nextReport = state->clock.now() + reportInterval;
        }
        generator.render(chunk.data(), chunk.size());
        const std::int64_t before = state->clock.now();
        if (!state->output->write(chunk.data(), chunk.size())) {
            if (!reported)
                Diagnostics::out(
                    QStringLiteral("#.. Keylark : The sound device failed; the sidetone is silent."));
            reported = true;
            state->output->close();
            open = false;
            continue;
        }
        const std::int64_t now = state->clock.now();
        sampleClock.written(before, now, generator.position());
        placement.written(now, now - before);
    }
    if (open)
        state->output->close();
    state->ended = true;
}
