#pragma once

#include "keying/console_log.h"
#include "keying/output_listener.h"
#include "keying/transmission_listener.h"

#include <QByteArray>
#include <QDateTime>

#include <atomic>
#include <functional>
#include <mutex>
#include <optional>

// The operator's paddle sending on the output, in the console's log and for the transmission's listener:
// each stretch of it is a line of its own after a timestamp and the paddle's mark, and a pass marked as
// the paddle's. While a pass of Keylark's keys, the paddle's characters wait and follow it on their own
// line, so that the two never mix on one line. A break-in stops the transmission and tells the console.
class PaddleEcho : public OutputListener
{
public:
    static inline const QString mark = QStringLiteral("paddle  ");

    PaddleEcho(ConsoleLookup console, std::function<void()> stop);

    void setListener(TransmissionListener *listener) { listener_ = listener; }

    // The worker's side: Keylark's pass begins, and ends.
    void passBegins();
    void passEnded();
    // Ends an open line, at Keylark's end.
    void finish();

    void paddleKeyed(char character) override;
    void paddlesIdle() override;
    void brokenIn() override;

private:
    ConsoleLog *console() const;
    void write(const QByteArray &characters, const QDateTime &start);
    void closeLine();

    ConsoleLookup console_;
    std::function<void()> stop_;
    std::atomic<TransmissionListener *> listener_{nullptr};
    std::mutex mutex_;
    bool keylarkPass_ = false;
    QByteArray waiting_;   // keyed with the paddles while Keylark's pass keys
    QDateTime waitedFrom_; // UTC, when the first of them came
    bool idleWhileWaiting_ = false;
    std::optional<KeyedPass> line_; // the paddle line open in the log
};
