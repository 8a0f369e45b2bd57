#pragma once

#include "stand_in_radio.h"

// An Icom IC-7300 on CI-V: each frame echoed, as on the radio's bus, then answered; command 17 takes
// text to key, and 17 FF stops the keyer and empties its buffer.
class IcomStandIn : public StandInRadio
{
public:
    explicit IcomStandIn(int capacity = 48);
    ~IcomStandIn() override;

protected:
    std::optional<QByteArray> takeCommand(QByteArray &input) override;
    QByteArray answer(const QByteArray &command) override;
};
