#pragma once

#include <cstdint>
#include <optional>
#include <vector>

// One step of a text that a source other than the console hands the transmission worker.
struct KeyingStep
{
    enum class Kind : std::uint8_t {
        Character, // keys and echoes the byte by Keylark's table, as in any text ('%' joins)
        Speed,     // changes the speed by value wpm from here to the end of the transmission
        HalfSpace, // waits half a letter gap more after the character before it
        Tune,      // keys a continuous carrier for value seconds (at most maxTuneSeconds)
        PttHold,   // PTT on, the key up, while keying::pttHoldFlag holds, at most value seconds
    };

    Kind kind;
    int value = 0; // Character: the byte; Speed: wpm; Tune, PttHold: seconds

    friend bool operator==(const KeyingStep &, const KeyingStep &) = default;
};

// A text that joins the transmission running when it is taken, with its own weighting.
struct KeyingPiece
{
    static constexpr int maxTuneSeconds = 10;
    static constexpr int maxWeighting = 50;
    // A voice keyer's PTT is held at most this long: a logger that never lets go leaves no transmitter on.
    static constexpr int maxPttHoldSeconds = 30;

    std::uint64_t id = 0;
    std::vector<KeyingStep> steps;
    // -50 to 50: a key-down is longer by this percentage of a dit and the gap after it shorter by as much,
    // so that every character keeps its length.
    int weighting = 0;
    // The sender's own speed in wpm, keyed from the piece's start whatever the stored speed; 0 keys at the
    // stored speed.
    int speed = 0;
    // The speed steps of the pieces before this one end where it starts, as after a request for a speed.
    bool newSpeed = false;
    // Queued in practice mode: keyed only in practice, as a piece queued on the air is keyed only on the air.
    bool practice = false;
    // ms of PTT lead-in before the piece's first key-down, when PTT is not on yet; -1: the operator's.
    int pttLead = -1;
};

// Where the worker takes the pieces of a queued transmission from. The worker calls it on its own thread;
// a stop request calls dropPieces() on the thread that made it.
class TextSource
{
public:
    virtual ~TextSource() = default;

    // The next piece, or nothing when none waits.
    virtual std::optional<KeyingPiece> takePiece() = 0;
    // Every step of the piece was keyed; a stopped piece is never reported.
    virtual void pieceKeyed(std::uint64_t id) = 0;
    // A stop request: the pieces not yet taken are dropped.
    virtual void dropPieces() = 0;
};
