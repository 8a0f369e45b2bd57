#pragma once

#include "winkeyer/winkeyer_listener.h"
#include "winkeyer/winkeyer_port.h"
#include "winkeyer/winkeyer_queue.h"
#include "winkeyer/winkeyer_settings.h"

#include <QObject>
#include <QTimer>

#include <vector>

// One WinKeyer in host mode, driven from the thread the session lives on: opening (reset wait, null
// commands, echo test, host open, settings), the text with the keyer's flow control, what the keyer sends
// back, and the watch on a keyer that falls silent. Nothing here ever blocks but the bounded drain when
// host mode closes.
class WinkeyerSession : public QObject
{
    Q_OBJECT

public:
    static constexpr std::uint8_t probe = 0x55; // the echo test's byte
    static constexpr int paceBacklog = 2;       // bytes the port may hold before more text is written

    WinkeyerSession(WinkeyerListener &listener, WinkeyerTiming timing);
    ~WinkeyerSession() override;

    void open(const QString &path, const WinkeyerSettings &settings);
    void configure(const WinkeyerSettings &settings);
    void send(const std::vector<WinkeyerItem> &items);
    void clear();
    void tune(int ms);
    // Keys up, clears the buffer and closes host mode, so the keyer returns to its own use.
    void close();

private:
    enum class State : std::uint8_t { Closed, Resetting, Detecting, HostOpening, Ready };

    void start();
    void detect();
    void receive(const QByteArray &bytes);
    void handle(std::uint8_t byte);
    void answer(std::uint8_t byte);
    void hostOpened(int firmware);
    void statusArrived(WinkeyerStatus status);
    void echoArrived(char character);
    void watchExpired();
    void quietExpired();
    void beginText();
    void keyUp();
    void writeSettings(const WinkeyerSettings *previous);
    void write(const QByteArray &bytes);
    void feed();
    void settle();
    void report(const std::vector<WinkeyerItem> &keyed);
    void endIfKeyed();
    void endClear();
    void end(WinkeyerListener::End end);
    void fail(const QString &reason);
    void release();

    WinkeyerListener &listener_;
    const WinkeyerTiming timing_;
    WinkeyerPort port_;
    QString path_;
    WinkeyerSettings settings_;
    State state_ = State::Closed;
    QTimer watch_; // the reset wait, an answer awaited, or a keyer with text that has gone quiet
    QTimer tuneTimer_;
    QTimer pace_;
    WinkeyerQueue queue_;
    WinkeyerStatus status_;
    bool textActive_ = false;
    bool clearing_ = false;        // cleared, and waiting for the echoes sent before the clear
    bool probing_ = false;         // a status byte was asked for and nothing has come since
    bool wroteSinceQuiet_ = false; // text written since the keyer was last found quiet
    int idleRounds_ = 0;           // quiet rounds in a row with the keyer idle and the text unechoed
    int pendingTune_ = 0;          // ms of carrier asked for while host mode opens
};
