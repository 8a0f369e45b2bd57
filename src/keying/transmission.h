#pragma once

#include "keying/console_log.h"
#include "keying/element_timeline.h"
#include "keying/keyboard_text.h"
#include "keying/keying_controller.h"
#include "keying/line_output.h"
#include "keying/queued_keying.h"
#include "keying/text_source.h"
#include "keying/transmission_echo.h"
#include "keying/worker_threads.h"

#include <QObject>
#include <QString>

#include <atomic>
#include <cstddef>
#include <memory>
#include <mutex>
#include <optional>

class SettingsStore;
class WaitClock;

namespace keying {

inline constexpr std::size_t textBufferSize = 4096;

extern int initialized; // -1 not started, 1 started

} // namespace keying

// Sends texts through a keying output, one worker thread per send request: the operator's texts with their
// busy rule and beacon, and the pieces of a TextSource that queue behind each other. It echoes what the
// output reports to the console and tells the listener of every pass. In practice mode it keys the practice
// line instead, with the same timing and echo, whatever output keys on the air.
class Transmission : public KeyingController, public QueuedKeying
{
public:
    // clock: nullptr means the real clock.
    Transmission(SettingsStore &store, ConsoleLookup console, WaitClock *clock = nullptr);
    ~Transmission() override;

    Transmission(const Transmission &) = delete;
    Transmission &operator=(const Transmission &) = delete;

    // The output on the air, made with this transmission's clock and timeline. Once, before any send: it
    // runs the output's start-up; the result shows in keying::initialized.
    void attach(std::unique_ptr<KeyingOutput> output);
    WaitClock &clock() const { return clock_; }

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
    ElementTimeline *elementTimeline() override { return &timeline_; }

    void setTextSource(TextSource *source) override;
    KeyboardText &keyboardText() override { return keyboard_; }
    int cwSendQueued() override;
    void cwStopQueued() override;
    void cwHoldPtt(bool on) override;

    void sendCWThread(const QString &text);
    void sendQueuedThread();
    void sendCWCancel();

    // Waits for every worker to end on its own.
    void joinWorkers() { workers_.join(); }
    // Workers not yet joined, running or finished.
    std::size_t workerCount() { return workers_.count(); }
    // Raises the stop request, joins the workers and leaves the output at rest and released.
    void shutdown();

private:
    void startUp();
    void raiseStop();
    void requestStop();
    void stopByPaddles();
    void dropSourcePieces();
    void settingChanged(const QString &key);
    bool practising() const;
    bool stopRequested() const;
    KeyingPiece pieceOf(const QString &text);
    void transmitText(const QString &text);
    bool openForTransmission();
    void restAfterTransmission();
    void releaseOutput();
    void transmit(const KeyingPiece &text);
    bool sendPass(const KeyingPiece &text);
    void endPass(bool whole);
    std::optional<KeyingPiece> takePiece();
    void keyQueuedPieces(KeyingPiece piece);
    void keyTypedBurst(KeyingPiece piece);
    std::optional<KeyingPiece> takeTyped();
    bool keyedHere(const KeyingPiece &piece) const;

    SettingsStore &store_;
    WaitClock &clock_;
    ElementTimeline timeline_;
    TransmissionEcho echo_;
    LineOutput practice_; // keys the practice line
    std::unique_ptr<KeyingOutput> output_;
    std::atomic<KeyingOutput *> keyingOutput_{nullptr}; // the output of the transmission in progress
    std::mutex sessionMutex_; // held by a transmission, and by an output's change of its settings while idle
    QMetaObject::Connection settingsWatch_;
    std::atomic<bool> closing_{false};
    std::atomic<int> beaconPauseLeft_{0};
    std::mutex sourceMutex_; // held while a worker or a stop request uses the source
    TextSource *source_ = nullptr;
    KeyboardText keyboard_;
    std::atomic<bool> keyingQueued_{false};
    std::atomic<int> unclaimed_{0}; // workers started that have not yet tried to claim the output
    std::atomic<int> releasing_{0}; // workers that wait out the output's PTT tail
    WorkerThreads workers_;
};
