#pragma once

#include <QByteArray>

#include <cstdint>
#include <deque>
#include <optional>
#include <vector>

// One thing a text puts into the keyer's buffer.
struct WinkeyerItem
{
    enum class Kind : std::uint8_t {
        Character, // a sign of the keyer's own alphabet
        Merged,    // two letters sent as one sign without the gap between them (a prosign)
        Speed,     // the speed in wpm from here on, at its place in the text
    };

    Kind kind = Kind::Character;
    char first = 0;  // Character and Merged
    char second = 0; // Merged
    int wpm = 0;     // Speed
    int tag = 0;     // the sender's own name for the sign, handed back when the keyer echoes it

    static WinkeyerItem character(char c, int tag = 0) { return {Kind::Character, c, 0, 0, tag}; }
    static WinkeyerItem merged(char a, char b, int tag = 0) { return {Kind::Merged, a, b, 0, tag}; }
    static WinkeyerItem speed(int wpm) { return {Kind::Speed, 0, 0, wpm, 0}; }

    bool valid() const;
    QByteArray bytes() const;
    // The characters the keyer echoes once it has sent the sign: none for a speed change.
    QByteArray echoes() const;
};

// The text on its way to the keyer: the items not yet written, and those written whose echo has not yet
// come. The keyer's buffer never holds more than the window, whatever the keyer's flow control says.
class WinkeyerQueue
{
public:
    static constexpr int window = 96; // bytes written and not yet echoed; the keyer holds 128

    void append(const std::vector<WinkeyerItem> &items);
    // The next item to write, once there is room for it in the window; nothing while blocked.
    std::optional<WinkeyerItem> take(bool blocked);
    // A character the keyer echoed. Returns false when it belongs to none of the items written; otherwise
    // keyed gets the signs it completes, with any the keyer passed over without an echo.
    bool echo(char character, std::vector<WinkeyerItem> &keyed);
    // The keyer is idle: the speed changes and spaces written after the last echo are done, and keyed gets
    // those spaces. Returns false when a character written was never echoed.
    bool settle(std::vector<WinkeyerItem> &keyed);
    void dropWaiting() { waiting_.clear(); }
    void clear();

    bool empty() const { return waiting_.empty() && written_.empty(); }
    bool awaitingEcho() const;
    int writtenBytes() const { return writtenBytes_; }

private:
    void complete(std::vector<WinkeyerItem> &keyed);

    std::deque<WinkeyerItem> waiting_;
    std::deque<WinkeyerItem> written_;
    int writtenBytes_ = 0;
    int echoed_ = 0; // echoes already seen of the first item written
};
