#pragma once

#include <QByteArray>

#include <chrono>
#include <cstdint>
#include <deque>
#include <vector>

// When each character handed to the radio is estimated to go out: the radio keys a piece from when it has
// it, or from when it has keyed the piece before, at the speed last set.
class RadioTimeline
{
public:
    using Clock = std::chrono::steady_clock;

    // Whether the text ends with a character once it has gone out.
    enum class Ends : std::uint8_t { No, Whole, Cut };

    struct Character
    {
        quint64 text;
        int index;
        Clock::time_point end;
        Ends ends;
    };

    // The piece reached the radio at the given instant, to key at wpm; its first character is at index.
    void add(quint64 text, int index, const QByteArray &piece, bool lastOfText, Clock::time_point arrived,
             int wpm);
    // The text ends, cut short, with the last of its characters the radio holds; false if it holds none.
    bool cutAfterHeld(quint64 text);
    // The characters estimated to have gone out by now, in order, taken off the timeline.
    std::vector<Character> takeDue(Clock::time_point now);
    // The speed changed at now: what is left of the characters still out goes at the new speed.
    void changeSpeed(Clock::time_point now, int fromWpm, int toWpm);
    // Everything still out, taken off the timeline: the radio's keyer was stopped or lost.
    std::vector<Character> takeAll();

    bool isEmpty() const { return characters_.empty(); }
    // When the radio is estimated to have keyed all it holds; now or earlier when it holds nothing.
    Clock::time_point freeAt() const { return freeAt_; }
    Clock::time_point nextEnd() const;

private:
    std::deque<Character> characters_;
    Clock::time_point freeAt_{};
};
