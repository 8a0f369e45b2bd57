#pragma once

#include "keying/keying_output.h"
#include "keying/wait_schedule.h"

#include <QSet>
#include <QString>

#include <cstdint>
#include <memory>

class ElementTimeline;
class KeyingLine;
class SettingsStore;
struct SettingRange;
class WaitClock;

// The Morse engine's module state: one table and one speed for the process.
namespace keying {

inline constexpr int codeTableSize = 512;

extern const char *codetable[codeTableSize];

// Single precision on purpose: the whole milliseconds waited depend on it.
extern float wpm;
extern float dit_time;
extern float dah_time;
extern float intra_time;
extern float letter_time;
extern float word_time;

// Whole milliseconds of a duration: truncated toward zero; negative, NaN and infinite give 0 and very long
// finite durations are held to what the platform's wait could ever express.
std::int64_t wholeMilliseconds(float duration);
inline constexpr std::int64_t longestWait = 4'294'967; // ms, usleep's 32-bit microsecond limit

} // namespace keying

// Keys text element by element on a line, by Keylark's Morse table at the speed of the moment. Every
// key-down and key-up goes on the line and, once, on the element timeline that the sidetone and the key
// lamp follow; the waits run against a schedule, so that their lengths do not add up over a text. With the
// practice line it is the output of practice mode; SerialOutput adds the serial port's session.
class LineOutput : public KeyingOutput
{
public:
    LineOutput(SettingsStore &store, std::unique_ptr<KeyingLine> line, WaitClock &clock,
               ElementTimeline &timeline);
    ~LineOutput() override;

    LineOutput(const LineOutput &) = delete;
    LineOutput &operator=(const LineOutput &) = delete;

    Abilities abilities() const override;
    bool startUp(bool practising) override;
    bool begin() final;
    bool keyPiece(const KeyingPiece &piece, KeyingProgress &progress) override;
    void pausing(int seconds) override;
    void end() final;
    void release(const std::function<bool()> &followed) final;
    void stop() override {}
    void settingChanged(const QString &, bool) override {}
    void shutDown() override {}

    void codeInit();
    void cwSetWpm(int wpm);
    void timer(float duration);
    void keying(const char *pattern);

protected:
    // Readies the line for a transmission; false when it cannot be keyed (reported).
    virtual bool openLine() { return true; }
    // Puts the line at rest after a transmission; true when it was also released.
    virtual bool restLine() { return true; }
    KeyingLine &line() { return *line_; }
    SettingsStore &store() { return store_; }

private:
    void keyCharacter(unsigned char byte, KeyingProgress &progress);
    void keyPattern(const char *pattern);
    void reportCharacter();
    void pend(float duration);
    bool settle();
    void readSettings();
    void tune(int seconds);
    void holdPtt(int seconds);
    bool pttReady();
    bool waitTail(const std::function<bool()> &followed);
    std::int64_t pttTail() const; // ns
    bool keyDown(std::int64_t plannedNs);
    bool keyUp();
    int speedOf(int stored) const;
    void noteSpeed();
    float ratio(const QString &key, double stored);
    void reportOutOfRange(const QString &key, SettingRange range, double stored, double used);

    SettingsStore &store_;
    std::unique_ptr<KeyingLine> line_;
    WaitClock &clock_;
    WaitSchedule schedule_;
    ElementTimeline &timeline_;
    QSet<QString> reportedKeys_; // settings out of range already reported in this transmission
    static constexpr std::uint64_t unread = ~std::uint64_t(0);
    std::uint64_t settingsRevision_ = unread; // of the store when the timing settings were last read
    int storedWpm_ = 0;
    double storedDah_ = 3;
    double storedLetter_ = 3;
    double storedWord_ = 7;
    std::int64_t pendingMs_ = 0;         // waited just before the next edge
    std::int64_t waitedMs_ = 0;          // in the piece that runs
    KeyingProgress *progress_ = nullptr; // of the character not yet reported
    unsigned char unreported_ = 0;
    // Of the transmission that runs, on its worker only; 0 for the operator's texts.
    int speedStep_ = 0;
    int weighting_ = 0;
    int pieceSpeed_ = 0; // the piece's own speed, 0 for the stored one
    int pttLead_ = 0;    // ms, of the piece that runs
    // The speeds keyed in the piece that runs.
    int slowest_ = 0;
    int fastest_ = 0;
};
