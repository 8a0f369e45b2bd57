#pragma once

#include "keying/serial_output.h"
#include "keying/transmission.h"

class LineSystem;

// The keying controller Keylark makes: the transmission, keying the DTR and RTS lines of a serial port. The
// constructor runs the start-up; the result shows in keying::initialized.
class SerialController : public Transmission
{
public:
    // line and clock: nullptr means the real system calls and the real clock.
    SerialController(SettingsStore &store, ConsoleLookup console, LineSystem *line = nullptr,
                     WaitClock *clock = nullptr);

    SerialOutput &output() { return *serial_; }

private:
    SerialOutput *serial_;
};
