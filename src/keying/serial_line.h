#pragma once

#include "keying/keying_line.h"

#include <cstdint>

class LineSystem;
class SettingsStore;
class WaitClock;

// The keying line on a serial port: DTR and RTS set whole with the modem-control request, by the bit sets
// of line_control.h. Every rule that keeps the transmitter safe on a real port lives here: the key goes down
// only while PTT is on, and PTT goes off only once the key is known to be up.
class SerialLine : public KeyingLine
{
public:
    SerialLine(const SettingsStore &store, LineSystem &system, WaitClock &clock);

    void configure() override;
    bool open(const char *path) override;
    bool isOpen() const override;
    bool keyDown() override;
    bool keyUp() override;
    bool close() override;
    bool hasPtt() const override;
    bool isPttOn() const override { return pttOn_; }
    bool pttOn() override;
    bool pttOff() override;
    std::int64_t keyUpAt() const override { return keyUpAt_; }

    int openSerial(const char *path); // the descriptor, or negative when the open failed
    int closeSerial();                // 1 closed, 0 nothing open, -1 key-up failed and the port stays open

private:
    int moveAboveStandardStreams(int fd);
    void holdLinesAtRest(int fd);
    bool setLines(int bits, const char *failure);
    bool restoreKeyUp(int fd, const char *failure);
    bool restKey(const char *failure);
    int restBits() const;

    const SettingsStore &store_;
    LineSystem &system_;
    WaitClock &clock_;
    bool pttOn_ = false;
    bool keyUp_ = true; // the last request left the key up
    std::int64_t keyUpAt_ = 0;
};
