#include "keying/line_control.h"

#include "keying/diagnostics.h"
#include "settings/settings_keys.h"
#include "settings/settings_store.h"

#include <sys/ioctl.h>

namespace keying {

int dtr_line = 0;
int dtr_line_reverse = 0;
int rts_line = 0;
int rts_line_reverse = 0;
int rtsdtr_on = 0;
int rtsdtr_off = 0;
int ser_fd = 0;
int ptt_line = 0;
int ptt_on = 0;
int ptt_off = 0;

namespace {

int flag(const SettingsStore &store, const QString &key)
{
    return store.isTrueByIdentity(key) ? 1 : 0;
}

// Adds the line's bit to the key-up set when it is active-low, else to the key-down set; a line that
// does not take part in keying never appears in the key-down set.
void placeBit(int bit, int line, int reverse)
{
    if (bit == ptt_line)
        return;
    if (reverse == 1)
        rtsdtr_off |= bit;
    else
        rtsdtr_on |= bit;
    if (line == 0)
        rtsdtr_on &= ~bit;
}

} // namespace

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

int pttLineOf(const QString &setting)
{
    return setting == QLatin1String("DTR") ? TIOCM_DTR : setting == QLatin1String("RTS") ? TIOCM_RTS : 0;
}

// Any other value than "DTR" or "RTS" is no PTT line; one that is not "none" either is said once.
void getPTT(const SettingsStore &store)
{
    static bool reported = false;
    const QString line = store.stringValue(KLKSerialPTTKey);
    ptt_line = pttLineOf(line);
    if (ptt_line == 0 && !line.isNull() && line != QLatin1String("none") && !reported) {
        reported = true;
        Diagnostics::out(QStringLiteral("#.. Keylark : \"%1\" \"%2\" is not none, DTR or RTS; no PTT line.")
                             .arg(KLKSerialPTTKey, line.left(16)));
    }
    const bool reverse = store.boolValue(KLKSerialPTTReverseKey);
    ptt_on = reverse ? 0 : ptt_line;
    ptt_off = reverse ? ptt_line : 0;
}

void getRTSDTR(const SettingsStore &store)
{
    rtsdtr_on = 0;
    rtsdtr_off = 0;
    getPTT(store);
    getDTR(store);
    getDTRReverse(store);
    placeBit(TIOCM_DTR, dtr_line, dtr_line_reverse);
    getRTS(store);
    getRTSReverse(store);
    placeBit(TIOCM_RTS, rts_line, rts_line_reverse);
}

} // namespace keying
