#pragma once

#include <QString>

// What the four line settings do to DTR and RTS: a line is high while the key is down when it keys
// active-high, high while the key is up when it keys active-low, and low at all times when it does neither.
// Active-low keys the line even without its "key with" setting.
class KeyingLines
{
public:
    KeyingLines(bool dtr, bool dtrReverse, bool rts, bool rtsReverse);

    bool dtrKeyDown() const { return dtr_ && !dtrReverse_; }
    bool dtrKeyUp() const { return dtrReverse_; }
    bool rtsKeyDown() const { return rts_ && !rtsReverse_; }
    bool rtsKeyUp() const { return rtsReverse_; }

    // "Key up: DTR low, RTS high / Key down: DTR high, RTS low"
    QString summary() const;
    // The same as a small table for a rich-text label.
    QString table() const;

private:
    bool dtr_;
    bool dtrReverse_;
    bool rts_;
    bool rtsReverse_;
};
