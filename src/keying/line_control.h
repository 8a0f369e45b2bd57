#pragma once

class QString;
class SettingsStore;

// The keying line's settings: the serial port's descriptor and the two modem-control bit sets that key the
// transmitter through DTR and RTS. A line chosen for PTT takes no part in keying: it has bit sets of its own.
namespace keying {

extern int dtr_line;
extern int dtr_line_reverse;
extern int rts_line;
extern int rts_line_reverse;
extern int rtsdtr_on;  // key down
extern int rtsdtr_off; // key up and idle
extern int ser_fd;     // 0: no port open
extern int ptt_line;   // TIOCM_DTR or TIOCM_RTS; 0: none
extern int ptt_on;     // the PTT line's bit while PTT is on
extern int ptt_off;    // its bit while PTT is off, Keylark's rest

void getDTR(const SettingsStore &store);
void getDTRReverse(const SettingsStore &store);
void getRTS(const SettingsStore &store);
void getRTSReverse(const SettingsStore &store);
int pttLineOf(const QString &setting); // TIOCM_DTR, TIOCM_RTS, or 0 for none
void getPTT(const SettingsStore &store);
void getRTSDTR(const SettingsStore &store); // reads the PTT line too

} // namespace keying
