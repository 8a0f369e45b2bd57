#pragma once

#include "keying/key_event.h"

#include <cstdint>
#include <optional>

// Where each key-down's tone starts in the audio stream. Within a run of keying each tone keeps the rhythm
// of the key-downs' own instants: it is as far from the tone before as its key-down was from the key-down
// before. The stream's clock only steers where the run lies, by at most slew samples a tone, which follows
// a sound card's drift and a clock estimate that settles without moving one tone against the next. Where
// the clock and the run part by more than jumpLimit (the stream moved), or after a pause, a run starts
// afresh at the clock's place.
// A key-down made while the stream played nothing (a sound server may hold a new stream back for up to two
// seconds; a device may stall) sounds as soon as the stream plays, and its run keeps the rhythm from there,
// late, until a pause longer than that delay and catchUpPause makes it up; one that would wait longer than
// startLimit is left out. Otherwise a tone whose place lies more than lateLimit behind the samples already
// written is left out, so that the tones after it keep their places.
class TonePlacement
{
public:
    static constexpr std::int64_t lateLimit = 2400;     // samples (50 ms at 48 kHz)
    static constexpr std::int64_t startLimit = 144'000; // samples (3 s) a tone may wait for the stream
    static constexpr std::int64_t slew = 24;            // samples (0.5 ms) a tone moves against the run
    static constexpr std::int64_t jumpLimit = 960;      // samples (20 ms)
    static constexpr std::int64_t catchUpPause = 1'000'000'000; // ns

    explicit TonePlacement(int sampleRate) : rate_(sampleRate) {}

    // A stream that has just opened: nothing of it has played yet.
    void restart();
    // A write returned at instant now after waiting waited ns for the stream to take its samples.
    void written(std::int64_t now, std::int64_t waited);
    // The sample at which the key-down's tone starts, or none when it is left out. clockAt is where the
    // stream's clock puts the key-down (none while the clock is not known), position the next sample to be
    // written.
    std::optional<std::int64_t> place(const KeyEvent &down, std::optional<std::int64_t> clockAt,
                                      std::int64_t position);

private:
    std::int64_t samples(std::int64_t nanos) const;
    std::int64_t nanos(std::int64_t samples) const;

    int rate_;
    std::int64_t heldUntil_ =
        -1; // when the stream last played after playing nothing; -1 before the first write
    bool inRun_ = false;
    bool runWaited_ = false;       // the run began with a key-down made while the stream played nothing
    std::int64_t lastInstant_ = 0; // the key-down before, its tone's start and its element's end
    std::int64_t lastStart_ = 0;
    std::int64_t lastEnd_ = 0;
};
