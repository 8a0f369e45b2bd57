#pragma once

#include "keying/console_log.h"
#include "keying/element_timeline.h"
#include "keying/keying_controller.h"
#include "keying/practice_line.h"
#include "keying/queued_keying.h"
#include "keying/text_source.h"
#include "keying/transmission_echo.h"
#include "keying/wait_schedule.h"
#include "keying/worker_threads.h"

#include <QObject>
#include <QSet>
#include <QString>

#include <atomic>
#include <cstddef>
#include <memory>
#include <mutex>
#include <optional>

class KeyingLine;
struct SettingRange;
class LineSystem;
class SettingsStore;
class WaitClock;

// The keying engine's module state: one Morse table, one speed, one port per process.
namespace keying {

inline constexpr int codeTableSize = 512;
inline constexpr std::size_t devicePathSize = 4096;
inline constexpr std::size_t textBufferSize = 4096;

extern const char *codetable[codeTableSize];

// Single precision on purpose: the whole milliseconds waited depend on it.
extern float wpm;
extern float dit_time;
extern float dah_time;
extern float intra_time;
extern float letter_time;
extern float word_time;

extern int initialized; // -1 not started, 1 started
extern int serialStartUpOpen;
extern char devicePath[devicePathSize];

// Whole milliseconds of a duration: truncated toward zero; negative, NaN and infinite give 0 and very long
// finite durations are held to what the platform's wait could ever express.
std::int64_t wholeMilliseconds(float duration);
inline constexpr std::int64_t longestWait = 4'294'967; // ms, usleep's 32-bit microsecond limit

} // namespace keying

// Sends text as Morse code on the RTS/DTR lines of a serial port, one worker thread per send request.
// The constructor runs the start-up; the result shows in keying::initialized.
class SerialController : public KeyingController, public QueuedKeying
{
public:
    // line and clock: nullptr means the real system calls and the real clock.
    SerialController(SettingsStore &store, ConsoleLookup console, LineSystem *line = nullptr,
                     WaitClock *clock = nullptr);
    ~SerialController() override;

    SerialController(const SerialController &) = delete;
    SerialController &operator=(const SerialController &) = delete;

    int cwSendString(const QString &text) override;
    int cwIsSending() const override;
    void cwSendStop() override;
    void cwSendClear() override;
    void cwBeaconTransmission() override;
    bool cwBeaconArmed() const override;
    int cwBeaconPauseLeft() const override;
    void cwBeaconDisarm() override;
    void setTransmissionListener(TransmissionListener *listener) override;
    QueuedKeying *queuedKeying() override { return this; }

    void setTextSource(TextSource *source) override;
    int cwSendQueued() override;
    void cwStopQueued() override;
    ElementTimeline *elementTimeline() override { return &timeline_; }

    void codeInit();
    void cwSetWpm(int wpm);
    void timer(float duration);
    void keying(const char *pattern);
    void getSerialDevice(char *buffer);
    void getSerialStartUpOpen();

    void sendCWThread(const QString &text);
    void sendQueuedThread();
    void sendCWCancel();

    // Waits for every worker to end on its own.
    void joinWorkers() { workers_.join(); }
    // Workers not yet joined, running or finished.
    std::size_t workerCount() { return workers_.count(); }
    // Raises the stop request, joins the workers and closes the line in the key-up state.
    void shutdown();

private:
    void init();
    void requestStop();
    void dropSourcePieces();
    void copyText(const QString &text, char *buffer);
    void transmitOnTheLine(const QString &text);
    bool openForTransmission();
    void restAfterTransmission();
    void lineSettingChanged(const QString &key);
    bool practising() const;
    bool openOnTheAir();
    void transmit(const char *buffer);
    bool sendPass(const char *buffer);
    void beginPass();
    void endPass(bool whole);
    void keyCharacter(unsigned char byte);
    std::optional<KeyingPiece> takePiece();
    void keyQueuedPieces(KeyingPiece piece);
    bool keyPiece(const KeyingPiece &piece);
    void tune(int seconds);
    bool keyDown(std::int64_t plannedNs);
    bool keyUp();
    bool stopRequested() const;
    int speedOf(int stored) const;
    bool beaconPause();
    float ratio(const QString &key);
    void reportOutOfRange(const QString &key, SettingRange range, double stored, double used);

    SettingsStore &store_;
    WaitClock &clock_;
    WaitSchedule schedule_;
    std::unique_ptr<KeyingLine> line_; // the serial port
    PracticeLine practiceLine_;
    KeyingLine *keyingLine_; // the line the transmission in progress keys
    ElementTimeline timeline_;
    std::mutex lineMutex_; // held by a transmission, and by a change of the line settings while idle
    QMetaObject::Connection lineSettingsWatch_;
    std::atomic<bool> closing_{false};
    std::atomic<int> beaconPauseLeft_{0};
    QSet<QString> reportedKeys_; // settings out of range already reported in this transmission
    std::mutex sourceMutex_;     // held while a worker or a stop request uses the source
    TextSource *source_ = nullptr;
    std::atomic<bool> keyingQueued_{false};
    // Of the queued transmission that runs, on the worker thread only; 0 for every other.
    int speedStep_ = 0;
    int weighting_ = 0;
    TransmissionEcho echo_;
    WorkerThreads workers_;
};
