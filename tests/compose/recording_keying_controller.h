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

    QStringList requests;
    int sendResult = 0;
    int busyFlag = 0;
};
