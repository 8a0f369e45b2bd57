#pragma once

#include "radio/radio_connection.h"

#include <QByteArray>
#include <QString>

#include <chrono>
#include <mutex>

struct s_rig;

// One answer of Hamlib: its code (0 is success) and, on failure, Hamlib's own text for it.
struct RigResult
{
    int code = 0;
    QString text;

    bool ok() const { return code == 0; }
    // The radio or its backend cannot do what was asked; the rest of it still works.
    bool unsupported() const;
    // What the operator should look at, for a radio on a serial port or behind rigctld.
    QString hint(bool rigctld) const;
    static RigResult of(int code);
    // The radio did not answer within the deadline that Keylark gives a call.
    static RigResult noAnswerWithin(std::chrono::milliseconds deadline);
};

// One radio through Hamlib. Every call may block for as long as Hamlib waits for the radio; the radio
// keyer makes them on a thread of their own. Hamlib's waits are kept short here: a radio that does not
// answer fails a command after at most twice the timeout below, not after Hamlib's own retries.
class HamlibRig
{
public:
    static constexpr int longestSerialTimeout = 1000; // ms a serial radio has to answer one command
    static constexpr int rigctldTimeout = 3000;       // ms, rigctld answers once the radio behind it has
    static constexpr int retries = 1;

    HamlibRig() = default;
    ~HamlibRig();

    HamlibRig(const HamlibRig &) = delete;
    HamlibRig &operator=(const HamlibRig &) = delete;

    RigResult open(const RadioConnection &connection);
    RigResult setSpeed(int wpm);
    // The speed within the range the model's keyer has, when Hamlib knows it.
    int keyerSpeedNearest(int wpm) const;
    // Through a rigctld that puts a space before each text, to a radio that keys it, one space after the
    // text goes instead.
    RigResult sendMorse(const QByteArray &text);
    RigResult stopMorse();
    void close();

    bool isOpen() const { return open_; }
    // From another thread, while a call of this radio's hangs: points the radio's descriptor at /dev/null,
    // so that the port or connection is let go at once and the hung call fails at its next read or write.
    void cutOff();
    // Whether the model's backend can stop its keyer mid-text; rigctld passes the request on to the
    // radio behind it, which may not.
    bool canStopMidText() const;

    // Hamlib's debug output, to standard error, is off unless asked for; it is the same for every radio.
    static void setDebugOutput(bool on);
    // Sets Hamlib's debug level to the one asked for, before Hamlib first runs.
    static void applyDebugOutput();
    // rigctld of this Hamlib's version (before 4.6) passes on the space between its command and the text.
    // An Icom keys it, a word gap more before each piece; Kenwood's and Elecraft's keyers leave out the
    // spaces before a text.
    static bool rigctldAddsSpace(const char *version);
    static bool keysLeadingSpaces(int model);
    // The text to hand Hamlib, so that the radio keys the text given.
    static QByteArray morseText(const QByteArray &text, bool spaceAdded);

private:
    void setConf(const char *name, const QByteArray &value);
    void limitWaits(const RadioConnection &connection);

    s_rig *rig_ = nullptr;
    bool open_ = false;
    bool spaceAdded_ = false; // rigctld puts a space before each text
    std::mutex fdMutex_;      // held while the descriptor is cut off, and while it is let go before closing
    int fd_ = -1;
};
