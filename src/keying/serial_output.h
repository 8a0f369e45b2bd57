#pragma once

#include "keying/line_output.h"

#include <cstddef>

class LineSystem;

// The serial port's settings as the keying engine read them at start.
namespace keying {

inline constexpr std::size_t devicePathSize = 4096;

extern int serialStartUpOpen;
extern char devicePath[devicePathSize];

} // namespace keying

// Keys the DTR and RTS lines of a serial port: the element keying of LineOutput on a SerialLine, in the
// port's session. The port is opened at start or by each transmission, rests in the key-up state of the
// settings the operator sees, and is closed at the end.
class SerialOutput : public LineOutput
{
public:
    SerialOutput(SettingsStore &store, LineSystem &system, WaitClock &clock, ElementTimeline &timeline);

    Abilities abilities() const override;
    bool startUp(bool practising) override;
    void settingChanged(const QString &key, bool transmitting) override;
    void shutDown() override;

    void getSerialDevice(char *buffer);
    void getSerialStartUpOpen();

protected:
    bool openLine() override;
    bool restLine() override;

private:
    bool openOnTheAir();
};
