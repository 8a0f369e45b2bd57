#pragma once

#include <QString>

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
};
