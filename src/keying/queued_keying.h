#pragma once

class KeyboardText;
class TextSource;

// Keying of texts from a source other than the console (the network service). They queue behind each other
// and join the transmission that keys them; they never stop the operator's own transmission, while Stop, Esc
// or a send of the operator's stops theirs and drops the pieces that wait.
class QueuedKeying
{
public:
    virtual ~QueuedKeying() = default;

    // The source whose pieces a queued transmission keys; nullptr for none. Once it returns, no worker
    // touches an earlier source again.
    virtual void setTextSource(TextSource *source) = 0;
    // What the operator types in keyboard mode: it goes before the source's pieces, and once a burst of it
    // keys, the source's pieces wait until the burst has ended.
    virtual KeyboardText &keyboardText() = 0;
    // Starts a worker that keys the typed characters, or else the source's pieces, until none waits: 0
    // started; 1 busy, when another transmission runs or is starting (a queued one takes the new pieces
    // itself; otherwise ask again once it has ended); -1 refused, as a send of the operator's would be.
    virtual int cwSendQueued() = 0;
    // Stops the running transmission only if it keys the source's pieces.
    virtual void cwStopQueued() = 0;
    // A voice keyer's PTT: a PttHold step of the source holds PTT on from when it is keyed until this is
    // called with false (or a stop, or its time is up). True before the step is queued.
    virtual void cwHoldPtt(bool on) = 0;
};
