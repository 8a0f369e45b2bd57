#pragma once

#include "keying_doubles.h"
#include "settings/settings_keys.h"
#include "settings/settings_store.h"

#include <string>
#include <sys/ioctl.h>
#include <utility>

inline constexpr int bothLines = TIOCM_DTR | TIOCM_RTS;

// A serial port as the Linux serial core drives it: the first open raises DTR and RTS unless the stored
// speed is B0; the last close, and the end of the process holding the port, drop both while HUPCL is set;
// a change of speed to B0 drops both, one away from B0 raises them (RTS only without flow control). Its
// termios and its lines outlive the process, as the kernel keeps them for a port that stays plugged in.
class KernelLine : public RecordingLine
{
public:
    struct State
    {
        char event;    // 'o'pen, 't'ermios, 's'et lines, 'c'lose, e'x'it
        int requested; // the bits of a set
        int lines;     // DTR and RTS after the event
        double atMs;   // virtual time of the event
    };

    explicit KernelLine(VirtualClock *clock) : RecordingLine(clock) {}

    int open(const char *path, int flags) override
    {
        const int fd = RecordingLine::open(path, flags);
        if (fd >= 0 && openFiles_++ == 0 && cfgetospeed(&attributes) != B0)
            lines_ |= bothLines;
        log('o');
        return fd;
    }
    int duplicate(int fd, int lowest) override
    {
        const int copy = RecordingLine::duplicate(fd, lowest);
        openFiles_ += copy >= 0;
        return copy;
    }
    int setAttributes(int fd, const termios *wanted) override
    {
        const bool wasB0 = cfgetospeed(&attributes) == B0;
        RecordingLine::setAttributes(fd, wanted);
        const bool isB0 = cfgetospeed(&attributes) == B0;
        if (!wasB0 && isB0)
            lines_ = 0;
        else if (wasB0 && !isB0)
            lines_ |= TIOCM_DTR | (attributes.c_cflag & CRTSCTS ? 0 : TIOCM_RTS);
        log('t');
        return 0;
    }
    int setModemLines(int fd, int bits) override
    {
        const int result = RecordingLine::setModemLines(fd, bits);
        if (result == 0)
            lines_ = bits & bothLines;
        log('s', bits);
        return result;
    }
    int close(int fd) override
    {
        RecordingLine::close(fd);
        if (--openFiles_ == 0)
            hangUp('c');
        return 0;
    }
    // The process ends: the kernel closes what it still holds.
    void exitProcess()
    {
        if (openFiles_ == 0)
            return;
        openFiles_ = 0;
        hangUp('x');
    }

    std::vector<State> states() const
    {
        std::scoped_lock lock(mutex_);
        return states_;
    }
    int lines() const { return lines_; }

private:
    void hangUp(char event)
    {
        if (attributes.c_cflag & HUPCL)
            lines_ = 0;
        log(event);
    }
    void log(char event, int requested = 0)
    {
        std::scoped_lock lock(mutex_);
        states_.push_back({event, requested, lines_, stamp()});
    }

    std::atomic<int> lines_{0};
    int openFiles_ = 0;
    mutable std::mutex mutex_;
    std::vector<State> states_;
};

// The transmitter is keyed when an active-high line is raised or an active-low line dropped.
inline bool keyed(int lines, int on, int off)
{
    return (lines & on) != 0 || (~lines & off) != 0;
}

// The four keying line settings of a test's port, stored with the port's mode.
struct Wiring
{
    bool dtr, dtrReverse, rts, rtsReverse;

    void store(SettingsStore &store, bool openAtStart) const
    {
        const std::pair<QString, bool> settings[] = {{KLKSerialDTRKey, dtr},
                                                     {KLKSerialDTRReverseKey, dtrReverse},
                                                     {KLKSerialRTSKey, rts},
                                                     {KLKSerialRTSReverseKey, rtsReverse}};
        for (const auto &[key, set] : settings)
            store.setValue(key, set);
        store.setValue(KLKSerialStartUpOpenKey, openAtStart);
        store.setValue(KLKSerialDeviceKey, QStringLiteral("/dev/ttyUSB0"));
    }
    std::string name() const
    {
        std::string name;
        for (bool bit : {dtr, dtrReverse, rts, rtsReverse})
            name += bit ? '1' : '0';
        return name;
    }
};

inline std::string portMode(bool openAtStart)
{
    return openAtStart ? "OpenAtStart" : "PerTransmission";
}

// clang-format off
inline const Wiring allWirings[] = {
    {false, false, false, false}, {false, false, false, true}, {false, false, true, false},
    {false, false, true, true},   {false, true, false, false}, {false, true, false, true},
    {false, true, true, false},   {false, true, true, true},   {true, false, false, false},
    {true, false, false, true},   {true, false, true, false},  {true, false, true, true},
    {true, true, false, false},   {true, true, false, true},   {true, true, true, false},
    {true, true, true, true}};
// clang-format on
