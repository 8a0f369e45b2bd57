#pragma once

class SettingsStore;

// The keying line's settings: the serial port's descriptor and the two modem-control bit sets that key the
// transmitter through DTR and RTS.
namespace keying {

extern int dtr_line;
extern int dtr_line_reverse;
extern int rts_line;
extern int rts_line_reverse;
extern int rtsdtr_on;  // key down
extern int rtsdtr_off; // key up and idle
extern int ser_fd;     // 0: no port open

void getDTR(const SettingsStore &store);
void getDTRReverse(const SettingsStore &store);
void getRTS(const SettingsStore &store);
void getRTSReverse(const SettingsStore &store);
void getRTSDTR(const SettingsStore &store);

} // namespace keying
