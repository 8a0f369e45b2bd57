#pragma once

#include <QString>

class QueuedKeying;
class ElementTimeline;
class TransmissionListener;

// The requests the message composer makes of the keying engine. SerialController is the real one;
// tests give the composer a recording one.
class KeyingController
{
public:
    virtual ~KeyingController() = default;

    virtual int cwSendString(const QString &text) = 0; // 0 = a worker was started, -1 = refused
    virtual int cwIsSending() const = 0;
    virtual void cwSendStop() = 0;
    virtual void cwSendClear() = 0;
    virtual void cwBeaconTransmission() = 0;

    // The beacon is armed from its request until the transmission that repeats the text ends. Between two
    // passes it pauses; the whole seconds left of that pause, 0 while it keys or when it does not run.
    virtual bool cwBeaconArmed() const = 0;
    virtual int cwBeaconPauseLeft() const = 0;
    // Takes back a beacon request; a running beacon ends after its current pass.
    virtual void cwBeaconDisarm() = 0;

    // Keying of texts from other sources than the console; nullptr where the controller offers none.
    virtual QueuedKeying *queuedKeying() { return nullptr; }
    // Every key-down and key-up the engine keys, on the air and in practice; none for a double.
    virtual ElementTimeline *elementTimeline() { return nullptr; }
    // Who hears of every pass keyed from now on; nullptr for nobody. A controller that keys nothing tells
    // nothing.
    virtual void setTransmissionListener(TransmissionListener *) {}
};
