#pragma once

#include "keying/keying_controller.h"

#include <QString>
#include <QStringList>

// Stands in for the serial controller: records every request in order and answers as told.
class RecordingKeyingController : public KeyingController
{
public:
    int cwSendString(const QString &text) override
    {
        requests.append(QStringLiteral("send:") + text);
        return sendResult;
    }
    int cwIsSending() const override { return busyFlag; }
    void cwSendStop() override { requests.append(QStringLiteral("stop")); }
    void cwSendClear() override { requests.append(QStringLiteral("clear")); }
    void cwBeaconTransmission() override { requests.append(QStringLiteral("beacon")); }
    bool cwBeaconArmed() const override { return false; }
    int cwBeaconPauseLeft() const override { return 0; }
    void cwBeaconDisarm() override { requests.append(QStringLiteral("disarm")); }

    QStringList requests;
    int sendResult = 0;
    int busyFlag = 0;
};
