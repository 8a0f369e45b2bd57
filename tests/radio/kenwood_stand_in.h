#pragma once

#include "stand_in_radio.h"

// A Kenwood TS-590S: ID, IF, KS and KY among the rest, KY answering KY1 while its buffer is full. As the
// TS-590 does, it leaves out the spaces before a KY text and keys those after it as one.
class KenwoodStandIn : public StandInRadio
{
public:
    explicit KenwoodStandIn(int capacity = 48);
    ~KenwoodStandIn() override;

protected:
    std::optional<QByteArray> takeCommand(QByteArray &input) override;
    QByteArray answer(const QByteArray &command) override;
};
