#include "radio/radio_timeline.h"

#include "radio/radio_alphabet.h"

#include <algorithm>

void RadioTimeline::add(quint64 text, int index, const QByteArray &piece, bool lastOfText,
                        Clock::time_point arrived, int wpm)
{
    Clock::time_point at = std::max(arrived, freeAt_);
    for (qsizetype i = 0; i < piece.size(); ++i) {
        const double ms = RadioAlphabet::milliseconds(RadioAlphabet::units(piece[i]), wpm);
        at += std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double, std::milli>(ms));
        const bool last = lastOfText && i + 1 == piece.size();
        characters_.push_back({text, index + int(i), at, last ? Ends::Whole : Ends::No});
    }
    freeAt_ = at;
}

bool RadioTimeline::cutAfterHeld(quint64 text)
{
    const auto last = std::find_if(characters_.rbegin(), characters_.rend(),
                                   [text](const Character &character) { return character.text == text; });
    if (last == characters_.rend())
        return false;
    last->ends = Ends::Cut;
    return true;
}

std::vector<RadioTimeline::Character> RadioTimeline::takeDue(Clock::time_point now)
{
    std::vector<Character> due;
    while (!characters_.empty() && characters_.front().end <= now) {
        due.push_back(characters_.front());
        characters_.pop_front();
    }
    return due;
}

void RadioTimeline::changeSpeed(Clock::time_point now, int fromWpm, int toWpm)
{
    if (fromWpm <= 0 || toWpm <= 0 || fromWpm == toWpm)
        return;
    const double ratio = double(fromWpm) / toWpm;
    auto rescaled = [&](Clock::time_point end) {
        return end <= now ? end : now + std::chrono::duration_cast<Clock::duration>((end - now) * ratio);
    };
    for (Character &character : characters_)
        character.end = rescaled(character.end);
    freeAt_ = rescaled(freeAt_);
}

std::vector<RadioTimeline::Character> RadioTimeline::takeAll()
{
    std::vector<Character> all(characters_.begin(), characters_.end());
    characters_.clear();
    freeAt_ = {};
    return all;
}

RadioTimeline::Clock::time_point RadioTimeline::nextEnd() const
{
    return characters_.empty() ? Clock::time_point::max() : characters_.front().end;
}
