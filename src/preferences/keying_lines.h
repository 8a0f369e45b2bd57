#pragma once

#include <QString>

// What the four line settings do to DTR and RTS: a line is high while the key is down when it keys
// active-high, high while the key is up when it keys active-low, and low at all times when it does neither.
// Active-low keys the line even without its "key with" setting. A PTT line keys nothing: it shows PTT off
// at key-up (idle) and on at key-down.
class KeyingLines
{
public:
    enum class Ptt { None, DTR, RTS };

    KeyingLines(bool dtr, bool dtrReverse, bool rts, bool rtsReverse, Ptt ptt = Ptt::None,
                bool pttReverse = false);

    bool dtrKeyDown() const { return ptt_ == Ptt::DTR ? !pttReverse_ : dtr_ && !dtrReverse_; }
    bool dtrKeyUp() const { return ptt_ == Ptt::DTR ? pttReverse_ : dtrReverse_; }
    bool rtsKeyDown() const { return ptt_ == Ptt::RTS ? !pttReverse_ : rts_ && !rtsReverse_; }
    bool rtsKeyUp() const { return ptt_ == Ptt::RTS ? pttReverse_ : rtsReverse_; }

    // "Key up: DTR low, RTS high / Key down: DTR high, RTS low"
    QString summary() const;
    // The same as a small table for a rich-text label.
    QString table() const;

private:
    bool dtr_;
    bool dtrReverse_;
    bool rts_;
    bool rtsReverse_;
    Ptt ptt_;
    bool pttReverse_;
};
