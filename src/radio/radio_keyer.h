#pragma once

#include "radio/radio_connection.h"
#include "radio/radio_timeline.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

class HamlibRig;
class RigThread;
struct RigResult;

// Keys texts with the radio's own keyer through Hamlib. Texts go to the radio a word at a time, each just
// before the radio has keyed the one before, so that a stop leaves at most the piece the radio holds; the
// speed is set before each piece and at once on a change. The radio says nothing of its progress, so the
// echo is estimated from the speed. Every Hamlib call runs on a thread of its own within a deadline: the
// caller never waits for the radio, and a radio that does not answer fails the transmission with Hamlib's
// text. The next text tries the radio again.
//
// The public functions may be called from any thread; the signals come from the keyer's own thread.
class RadioKeyer : public QObject
{
    Q_OBJECT

public:
    enum class State { Closed, Opening, Ready, Failed };

    using Clock = std::chrono::steady_clock;
    // The next piece goes to the radio this long before the radio is estimated to have keyed the one
    // before: enough for the command to arrive, little enough that a stop leaves at most that piece.
    static constexpr std::chrono::milliseconds lead{300};
    static constexpr std::chrono::milliseconds openDeadline{20000};
    static constexpr std::chrono::milliseconds callDeadline{8000};

    explicit RadioKeyer(QObject *parent = nullptr);
    ~RadioKeyer() override;

    // Opens the radio on the keyer's thread, closing the one open before; opened() or failed() tells.
    void open(const RadioConnection &connection);
    void close();
    void setSpeed(int wpm);
    // Queues a text in the radio's alphabet behind the ones waiting; returns its number for the signals.
    quint64 send(const QByteArray &text);
    // Drops every text not yet at the radio and stops the radio's keyer where Hamlib can.
    void stop();

    State state() const;
    // Known once the radio is open; through rigctld, once a stop has been tried.
    bool stopsMidText() const;
    bool isSending() const;
    // Why the radio failed last, in Hamlib's words, and what to look at; empty while it works.
    QString failure() const;
    QString hint() const;

signals:
    void stateChanged(RadioKeyer::State state);
    // The character at index of the text is estimated to have gone out.
    void characterKeyed(quint64 text, int index);
    // The text is done: whole, or cut short by a stop or a failure.
    void textEnded(quint64 text, bool whole);
    // A stop could not stop the radio's keyer: it keys the piece it holds to its end. Once for each open.
    void cannotStopMidText();

private:
    struct Text
    {
        quint64 id;
        std::vector<QByteArray> pieces;
        std::size_t nextPiece = 0;
        int nextIndex = 0; // of the first character of the next piece
    };
    struct Requests
    {
        std::optional<RadioConnection> open;
        bool close = false;
        bool stop = false;
        std::vector<quint64> dropped; // by the stop
        bool speedChanged = false;
    };
    using Call = std::function<RigResult(HamlibRig &)>;

    void run();
    bool waitForWork(std::unique_lock<std::mutex> &lock);
    Clock::time_point nextPieceTime() const;
    void openRadio(const RadioConnection &connection);
    void closeRadio(State state);
    bool ensureOpen();
    void stopRadio(const std::vector<quint64> &dropped);
    void noteCannotStop();
    void changeSpeed(int wpm);
    bool setRadioSpeed(int wpm);
    void sendNextPiece(std::unique_lock<std::mutex> &lock);
    std::optional<RigResult> call(const Call &fn, std::chrono::milliseconds deadline);
    bool succeeded(const std::optional<RigResult> &result, std::chrono::milliseconds deadline);
    void fail(const RigResult &result);
    void endEverything();
    void endCut(std::vector<quint64> texts);
    void echoDue();
    void setState(State state);

    mutable std::mutex mutex_;
    std::condition_variable wake_;
    Requests requests_;
    std::deque<Text> waiting_;
    int speed_ = 20;
    quint64 lastId_ = 0;
    bool ending_ = false;
    bool sending_ = false;
    State state_ = State::Closed;
    bool stopsMidText_ = false;
    QString failure_;
    QString hint_;
    RigThread *rigInCall_ = nullptr; // given up at once when the keyer is destroyed

    // The keyer's thread only.
    std::optional<RadioConnection> connection_;
    std::unique_ptr<RigThread> rig_;
    RadioTimeline timeline_;
    int radioSpeed_ = 0; // as last set on the radio
    bool stopNoticeGiven_ = false;
    std::thread thread_;
};
