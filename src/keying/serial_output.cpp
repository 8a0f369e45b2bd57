#include "keying/serial_output.h"

#include "keying/diagnostics.h"
#include "keying/line_control.h"
#include "keying/serial_line.h"
#include "settings/settings_keys.h"
#include "settings/settings_store.h"

#include <cstring>

namespace keying {

int serialStartUpOpen = 0;
char devicePath[devicePathSize];

} // namespace keying

using namespace keying;

SerialOutput::SerialOutput(SettingsStore &store, LineSystem &system, WaitClock &clock,
                           ElementTimeline &timeline)
    : LineOutput(store, std::make_unique<SerialLine>(store, system, clock), clock, timeline)
{
}

// The serial line switches PTT on a line of its own, with the lead-in and tail of the settings.
KeyingOutput::Abilities SerialOutput::abilities() const
{
    Abilities abilities = LineOutput::abilities();
    abilities.switchesPtt = true;
    return abilities;
}

// Practice needs no port: a port that is opened at start is opened by the first transmission on the air.
bool SerialOutput::startUp(bool practising)
{
    ser_fd = 0;
    getSerialDevice(devicePath);
    getSerialStartUpOpen();
    line().configure();
    if (serialStartUpOpen != 0 && !practising && !line().open(devicePath)) {
        Diagnostics::out(
            QStringLiteral(
                "*** Keylark : Serial open error. Please set serial device and restart this program."),
            Diagnostic::Failure::SerialOpenAtStart);
        return false;
    }
    return LineOutput::startUp(practising);
}

void SerialOutput::getSerialDevice(char *buffer)
{
    const QString path = store().stringValue(KLKSerialDeviceKey);
    if (path.isNull())
        return;
    const QByteArray bytes = path.toUtf8();
    if (std::size_t(bytes.size()) >= devicePathSize) {
        Diagnostics::out(QStringLiteral("#.. Keylark : Serial device path longer than %1 bytes; ignored.")
                             .arg(devicePathSize - 1));
        return;
    }
    std::memcpy(buffer, bytes.constData(), bytes.size() + 1);
}

void SerialOutput::getSerialStartUpOpen()
{
    serialStartUpOpen = store().intValue(KLKSerialStartUpOpenKey) != 0 ? 1 : 0;
}

bool SerialOutput::openLine()
{
    line().configure();
    if (!openOnTheAir())
        return false;
    if (serialStartUpOpen != 0)
        line().keyUp(); // the key-up set of the line settings just read
    return true;
}

// A port opened at start that practice mode kept closed is opened by the first transmission on the air.
bool SerialOutput::openOnTheAir()
{
    if (line().isOpen() || line().open(devicePath))
        return true;
    // ser_fd stays 0: the next transmission tries the port again
    Diagnostics::out(QStringLiteral("*** Keylark : Serial open error. Please set serial device."),
                     Diagnostic::Failure::SerialOpen);
    return false;
}

// Every transmission ends with the line at rest, however it ended, and in the settings of now.
bool SerialOutput::restLine()
{
    if (serialStartUpOpen == 0) {
        line().close();
        return true;
    }
    line().configure();
    line().keyUp();
    return false;
}

// The line rests in the key-up state of the settings the operator sees: a change made while the port is
// open and idle takes effect at once. During a transmission the worker applies it when it ends.
void SerialOutput::settingChanged(const QString &key, bool transmitting)
{
    if (key != KLKSerialDTRKey && key != KLKSerialDTRReverseKey && key != KLKSerialRTSKey &&
        key != KLKSerialRTSReverseKey && key != KLKSerialPTTKey && key != KLKSerialPTTReverseKey)
        return;
    if (transmitting || !line().isOpen())
        return;
    line().configure();
    line().keyUp();
}

void SerialOutput::shutDown()
{
    if (line().isOpen())
        line().close();
}
