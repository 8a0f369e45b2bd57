#pragma once

#include <QDateTime>
#include <QString>

// One pass over a text as the worker keyed it. A beacon's every repeat is a pass of its own.
struct KeyedPass
{
    QDateTime start;       // UTC, when the pass began to key
    int slowest = 0;       // wpm; the speed may change while a pass keys
    int fastest = 0;       // wpm
    QString text;          // as the log echoes it: what was keyed, up to the stop when stopped
    bool stopped = false;  // a stop request ended the pass, perhaps within its last character
    bool practice = false; // keyed in practice mode, on no port
    bool paddle = false;   // keyed by the operator with the keyer's paddles, not by Keylark
};

// Hears of each pass when it ends. The worker calls it on its own thread: it must return at once and
// never wait on anything slow, such as a disk.
class TransmissionListener
{
public:
    virtual ~TransmissionListener() = default;

    virtual void passKeyed(const KeyedPass &pass) = 0;
};
