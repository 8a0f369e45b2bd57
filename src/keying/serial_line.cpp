#include "keying/serial_line.h"

#include "keying/diagnostics.h"
#include "keying/line_control.h"
#include "keying/line_system.h"

#include <cerrno>
#include <fcntl.h>

using namespace keying;

SerialLine::SerialLine(const SettingsStore &store, LineSystem &system, WaitClock &clock)
    : store_(store), system_(system), clock_(clock)
{
}

void SerialLine::configure()
{
    getRTSDTR(store_);
}

bool SerialLine::open(const char *path)
{
    const int fd = openSerial(path);
    if (fd < 0)
        return false;
    ser_fd = fd;
    return true;
}

bool SerialLine::isOpen() const
{
    return ser_fd != 0;
}

bool SerialLine::keyDown()
{
    return setLines(rtsdtr_on, "*** Keylrk : Serial RTS/DTR Set failed");
}

bool SerialLine::keyUp()
{
    return setLines(rtsdtr_off, "*** Keylrk : Serial RTS/DTR Clear failed");
}

bool SerialLine::close()
{
    return closeSerial() >= 0;
}

int SerialLine::openSerial(const char *path)
{
    if (ser_fd != 0)
        return ser_fd;
    // Without O_NONBLOCK the open of a real UART waits for carrier detect, which a keying interface never
    // raises; without O_NOCTTY an unplugged adapter could end Keylark with SIGHUP.
    const int fd = system_.open(path, O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
        Diagnostics::systemError(QStringLiteral("*** Keylark : Serial device "), errno);
        return fd;
    }
    system_.setModemLines(fd, rtsdtr_off);
    return fd;
}

int SerialLine::closeSerial()
{
    if (ser_fd == 0)
        return 0;
    if (system_.setModemLines(ser_fd, rtsdtr_off) < 0) {
        Diagnostics::systemError(QStringLiteral("*** Keylark : Serial RTS/DTR Clear failed"), errno);
        return -1;
    }
    system_.close(ser_fd);
    ser_fd = 0;
    return 1;
}

bool SerialLine::setLines(int bits, const char *failure)
{
    if (system_.setModemLines(ser_fd, bits) >= 0)
        return true;
    Diagnostics::systemError(QString::fromLatin1(failure), errno);
    return false;
}
