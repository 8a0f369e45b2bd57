#pragma once

#include <QString>

#include <functional>

struct KeyingPiece;
class KeyingProgress;
class OutputListener;

// What keys the text of a transmission. The transmission (passes, the beacon, queued texts, stop, the busy
// rule, the echo) hands its output one piece at a time; the output keys it in its own way and says what went
// out through the transmission's KeyingProgress. The serial port's DTR/RTS lines are one output, keyed
// element by element (SerialOutput); practice mode keys the practice line the same way (LineOutput), whatever
// output keys on the air.
//
// The stop request is keying::sendStopFlag (shared_flags.h): an output looks at it, and raises it when a
// failure may leave the transmitter keyed. begin(), keyPiece(), pausing(), end() and release() run on the
// worker of the transmission, one transmission at a time; stop() comes from any thread; startUp(),
// settingChanged() and shutDown() run on the thread that made the transmission and must return at once.
class KeyingOutput
{
public:
    // What the output can do besides keying characters, so that the windows offer only that.
    struct Abilities
    {
        bool stopsMidPiece = false; // a stop ends a piece within the character being keyed
        bool tunes = false;         // keys a Tune step's continuous carrier
        bool weights = false;       // keys a piece's weighting
        bool switchesPtt = false;   // switches PTT itself, with a lead-in and a tail
    };

    virtual ~KeyingOutput() = default;

    virtual Abilities abilities() const = 0;

    // At Keylark's start. In practice an output opens nothing: the first transmission on the air does.
    // False when it could not start (reported): every send on the air is refused then.
    virtual bool startUp(bool practising) = 0;
    // Before each transmission. False when the output cannot key now (reported): nothing is keyed, and end()
    // is not called.
    virtual bool begin() = 0;
    // Keys the steps in order, reporting each character as it begins to go out and, before it returns, the
    // speeds and the time the piece took. Returns once the piece is keyed or a stop ended it: false when a
    // stop came before its last step began. A Speed step holds until end(); the weighting holds for the
    // piece.
    virtual bool keyPiece(const KeyingPiece &piece, KeyingProgress &progress) = 0;
    // The transmission pauses these seconds before its next piece (a beacon's pause between two passes); a
    // stop may end the pause early.
    virtual void pausing(int seconds) = 0;
    // After a transmission that began, however it ended: the key up. An output that switches PTT leaves
    // PTT on for release().
    virtual void end() = 0;
    // After end(), once the transmission has ended: what must follow the last key-up (the PTT tail), then
    // the output at rest. Returns early, PTT still on, when followed() says that the next transmission has
    // begun and will key on without a lead-in; a stop request cuts the tail short.
    virtual void release(const std::function<bool()> &followed) { (void)followed; }
    // A stop request was raised, perhaps while the output is idle. One that keys ahead of Keylark (a device's
    // buffer) drops what it holds at once; one that looks at the request between its elements does nothing.
    virtual void stop() = 0;
    // A setting changed. transmitting false: no transmission runs, and none begins until this returns.
    virtual void settingChanged(const QString &key, bool transmitting) = 0;
    // At Keylark's end, once no transmission runs: the output at rest and released.
    virtual void shutDown() = 0;
    // Who hears of the operator's own sending on the output (its paddles), before startUp(); an output
    // without paddles tells nothing.
    virtual void setOutputListener(OutputListener *listener) { (void)listener; }
};
