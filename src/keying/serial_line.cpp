#include "keying/serial_line.h"

#include "keying/diagnostics.h"
#include "keying/line_control.h"
#include "keying/line_system.h"
#include "keying/wait_clock.h"

#include <cerrno>
#include <cstdint>
#include <fcntl.h>
#include <termios.h>

using namespace keying;

namespace {

constexpr int keyUpRetries = 5;
constexpr std::int64_t retryPause = 10'000'000; // ns
const QString restFailure =
    QStringLiteral("*** Keylark : Serial line settings failed; the lines may move when the port closes");

} // namespace

SerialLine::SerialLine(const SettingsStore &store, LineSystem &system, WaitClock &clock)
    : store_(store), system_(system), clock_(clock)
{
}

// While PTT is on the lines keep the settings they were keyed with: a change applies once PTT is off.
void SerialLine::configure()
{
    if (!pttOn_)
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
    if (ptt_line != 0 && !pttOn_)
        return false;
    keyUp_ = false;
    return setLines(rtsdtr_on | ptt_on, "*** Keylrk : Serial RTS/DTR Set failed");
}

bool SerialLine::keyUp()
{
    return restKey("*** Keylrk : Serial RTS/DTR Clear failed");
}

bool SerialLine::close()
{
    return closeSerial() >= 0;
}

bool SerialLine::hasPtt() const
{
    return ptt_line != 0;
}

bool SerialLine::pttOn()
{
    if (pttOn_ || ptt_line == 0)
        return true;
    // A refused request leaves PTT off as far as Keylark knows: the key stays up, and the next
    // transmission asks again, with its lead-in.
    if (!keyUp_ || !setLines(rtsdtr_off | ptt_on, "*** Keylark : Serial PTT on failed"))
        return false;
    pttOn_ = true;
    keyUpAt_ = clock_.now();
    return true;
}

// PTT goes off in a request of its own, after the key-up: were both to change at once, or PTT first, an
// amplifier's relay could switch while the carrier is still there.
bool SerialLine::pttOff()
{
    if (!pttOn_)
        return true;
    if (!keyUp_ && !restKey("*** Keylark : Serial RTS/DTR Clear failed"))
        return false;
    if (clock_.now() < keyUpAt_ + shortestTail)
        clock_.sleepUntil(keyUpAt_ + shortestTail);
    pttOn_ = false;
    if (restoreKeyUp(ser_fd, "*** Keylark : Serial PTT off failed"))
        return true;
    pttOn_ = true;
    return false;
}

int SerialLine::openSerial(const char *path)
{
    if (ser_fd != 0)
        return ser_fd;
    // Without O_NONBLOCK the open of a real UART waits for carrier detect, which a keying interface never
    // raises; without O_NOCTTY an unplugged adapter could end Keylark with SIGHUP.
    int fd = system_.open(path, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd >= 0 && fd <= 2)
        fd = moveAboveStandardStreams(fd);
    if (fd < 0) {
        Diagnostics::systemError(QStringLiteral("*** Keylark : Serial device "), errno);
        return fd;
    }
    holdLinesAtRest(fd);
    keyUp_ = restoreKeyUp(fd, "*** Keylark : Serial RTS/DTR Clear failed");
    return fd;
}

// Keylark sends no data, so the port's speed and framing are free to keep the lines where Keylark puts
// them. With HUPCL cleared, closing the port or ending Keylark leaves the lines alone; with CLOCAL set and
// no hardware flow control, neither a carrier change nor the driver moves them. At speed B0 the kernel
// does not raise DTR and RTS when the port is next opened, which would key an active-high line; going to
// B0 drops both lines once, so a port whose every keying line is active-low (raised at rest) keeps a
// speed. This runs before the key-up set is applied, so that it also restores what a change of speed
// moved.
void SerialLine::holdLinesAtRest(int fd)
{
    termios attributes{};
    if (system_.getAttributes(fd, &attributes) < 0) {
        Diagnostics::systemError(restFailure, errno);
        return;
    }
    termios wanted = attributes;
    wanted.c_cflag = (wanted.c_cflag & ~tcflag_t(HUPCL | CRTSCTS)) | CLOCAL;
    const bool allActiveLow = (rtsdtr_on | ptt_on) == 0 && (rtsdtr_off | ptt_off) != 0;
    if (!allActiveLow)
        cfsetospeed(&wanted, B0);
    else if (cfgetospeed(&attributes) == B0)
        cfsetospeed(&wanted, B9600);
    if (wanted.c_cflag == attributes.c_cflag)
        return;
    if (system_.setAttributes(fd, &wanted) < 0)
        Diagnostics::systemError(restFailure, errno);
}

int SerialLine::closeSerial()
{
    if (ser_fd == 0)
        return 0;
    if (!restKey("*** Keylark : Serial RTS/DTR Clear failed") || !pttOff())
        return -1;
    system_.close(ser_fd);
    ser_fd = 0;
    return 1;
}

// A descriptor 0 would read as "no port open", and 0 to 2 are the standard streams, which a library may
// close or reopen: a port opened while one of them was closed is moved above them.
int SerialLine::moveAboveStandardStreams(int fd)
{
    const int moved = system_.duplicate(fd, 3);
    const int error = errno;
    system_.close(fd);
    errno = error;
    return moved;
}

// A USB adapter may refuse a request now and then; the key-up is tried again for some tens of milliseconds
// before Keylark says that the transmitter may be left keyed.
bool SerialLine::restoreKeyUp(int fd, const char *failure)
{
    if (system_.setModemLines(fd, restBits()) >= 0)
        return true;
    int error = errno;
    Diagnostics::systemError(QString::fromLatin1(failure), error);
    for (int retry = 0; retry < keyUpRetries; ++retry) {
        clock_.sleepUntil(clock_.now() + retryPause);
        if (system_.setModemLines(fd, restBits()) >= 0)
            return true;
        error = errno;
    }
    Diagnostics::systemError(
        QStringLiteral(
            "*** Keylark : Serial RTS/DTR Clear failed %1 times; the transmitter may still be keyed")
            .arg(keyUpRetries + 1),
        error);
    return false;
}

// The key up, PTT as it is. The tail counts from the moment the key went up, not from a repeated request.
bool SerialLine::restKey(const char *failure)
{
    if (!restoreKeyUp(ser_fd, failure))
        return false;
    if (!keyUp_)
        keyUpAt_ = clock_.now();
    keyUp_ = true;
    return true;
}

int SerialLine::restBits() const
{
    return rtsdtr_off | (pttOn_ ? ptt_on : ptt_off);
}

bool SerialLine::setLines(int bits, const char *failure)
{
    if (system_.setModemLines(ser_fd, bits) >= 0)
        return true;
    Diagnostics::systemError(QString::fromLatin1(failure), errno);
    return false;
}
