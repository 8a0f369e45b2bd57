#include "keying/line_control.h"

#include "keying/diagnostics.h"
#include "keying/line_system.h"
#include "keying/shared_flags.h"
#include "settings/settings_keys.h"
#include "settings/settings_store.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/ioctl.h>

namespace keying {

int dtr_line = 0;
int dtr_line_reverse = 0;
int rts_line = 0;
int rts_line_reverse = 0;
int rtsdtr_on = 0;
int rtsdtr_off = 0;
int ser_fd = 0;

namespace {

LineSystem *activeLine = nullptr;

int flag(const SettingsStore &store, const QString &key)
{
    return store.isTrueByIdentity(key) ? 1 : 0;
}

// Adds the line's bit to the key-up set when it is active-low, else to the key-down set; a line that
// does not take part in keying never appears in the key-down set.
void placeBit(int bit, int line, int reverse)
{
    if (reverse == 1)
        rtsdtr_off |= bit;
    else
        rtsdtr_on |= bit;
    if (line == 0)
        rtsdtr_on &= ~bit;
}

} // namespace

void setLineSystem(LineSystem *line)
{
    activeLine = line;
}

LineSystem &lineSystem()
{
    return activeLine ? *activeLine : LineSystem::system();
}

void getDTR(const SettingsStore &store)
{
    dtr_line = flag(store, KLKSerialDTRKey);
}

void getDTRReverse(const SettingsStore &store)
{
    dtr_line_reverse = flag(store, KLKSerialDTRReverseKey);
}

void getRTS(const SettingsStore &store)
{
    rts_line = flag(store, KLKSerialRTSKey);
}

void getRTSReverse(const SettingsStore &store)
{
    rts_line_reverse = flag(store, KLKSerialRTSReverseKey);
}

void getRTSDTR(const SettingsStore &store)
{
    rtsdtr_on = 0;
    rtsdtr_off = 0;
    getDTR(store);
    getDTRReverse(store);
    placeBit(TIOCM_DTR, dtr_line, dtr_line_reverse);
    getRTS(store);
    getRTSReverse(store);
    placeBit(TIOCM_RTS, rts_line, rts_line_reverse);
}

int openSerial(const char *path)
{
    if (ser_fd != 0)
        return ser_fd;
    // Without O_NONBLOCK the open of a real UART waits for carrier detect, which a keying interface never
    // raises; without O_NOCTTY an unplugged adapter could end Keylark with SIGHUP.
    const int fd = lineSystem().open(path, O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
        Diagnostics::systemError(QStringLiteral("*** Keylark : Serial device "), errno);
        return fd;
    }
    lineSystem().setModemLines(fd, rtsdtr_off);
    return fd;
}

int closeSerial()
{
    sendStopFlag = 0;
    beaconFlag = 0;
    if (ser_fd == 0)
        return 0;
    if (lineSystem().setModemLines(ser_fd, rtsdtr_off) < 0) {
        Diagnostics::systemError(QStringLiteral("*** Keylark : Serial RTS/DTR Clear failed"), errno);
        return -1;
    }
    lineSystem().close(ser_fd);
    ser_fd = 0;
    return 1;
}

} // namespace keying
