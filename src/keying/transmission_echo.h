#pragma once

#include "keying/console_log.h"
#include "keying/keying_progress.h"
#include "keying/paddle_echo.h"
#include "keying/transmission_listener.h"

#include <QDateTime>

#include <atomic>
#include <cstdint>

// The progress of a transmission as its output reports it: each character echoed to the console as it
// begins to go out, and each pass kept for the listener. On the worker's thread, but for setListener().
// The operator's paddle sending, where the output has paddles, goes to the same console and listener.
class TransmissionEcho : public KeyingProgress
{
public:
    // stop: stops the transmission when the paddles break in.
    TransmissionEcho(ConsoleLookup console, std::function<void()> stop);

    void setListener(TransmissionListener *listener);
    ConsoleLog *console() const;
    PaddleEcho &paddles() { return paddles_; }

    // Every pass but the first since the log was cleared opens a line of its own, after a timestamp.
    void beginPass();
    // The listener hears of a pass that keyed at least one character.
    void endPass(bool stopped, bool practice);
    // Milliseconds the pass has kept the transmitter busy so far.
    std::int64_t waited() const { return waited_; }

    void characterKeyed(unsigned char code) override;
    void speedKeyed(int wpm) override;
    void timeKeyed(std::int64_t milliseconds) override;

    QDateTime keyingDateLog();
    void keyingLog(char character);

private:
    ConsoleLookup console_;
    std::atomic<TransmissionListener *> listener_{nullptr};
    KeyedPass pass_; // the pass being keyed
    PaddleEcho paddles_;
    std::int64_t waited_ = 0;
};
