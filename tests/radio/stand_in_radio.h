#pragma once

#include <QByteArray>
#include <QString>

#include <atomic>
#include <chrono>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

// Hamlib's numbers of the models the stand-ins answer as.
inline constexpr int ts590s = 2031;
inline constexpr int ic7300 = 3073;
// A failure must show well within this, whatever Hamlib waits.
inline constexpr int radioWaitMs = 30000;

// A radio of our own on a pseudo-terminal: it answers the CAT commands of its maker that Hamlib's backend
// sends, and keys the texts handed to it with a keyer of its own, a piece at a time into a buffer, each
// character at the speed last set. A maker's protocol is a subclass.
class StandInRadio
{
public:
    using Clock = std::chrono::steady_clock;

    struct Keyed
    {
        char character;
        Clock::time_point end;
    };

    // capacity: characters the keyer's buffer holds before the radio says that it is full.
    explicit StandInRadio(int capacity);
    virtual ~StandInRadio();

    QString path() const { return path_; }

    // Stops answering, as a radio that is off; or after the given number of KY pieces.
    void goSilent() { silentAfterPieces_ = 0; }
    void goSilentAfterPieces(int pieces) { silentAfterPieces_ = pieces; }
    void answerAgain() { silentAfterPieces_ = -1; }
    void setCapacity(int capacity) { capacity_ = capacity; }
    // Closes the terminal's other end: what Hamlib reads and writes then fails, as with a pulled cable.
    void pullCable();

    std::vector<QByteArray> commands() const;
    std::vector<QByteArray> pieces() const; // the texts of the KY commands, as sent
    std::vector<int> speeds() const;        // each KS set, in order
    QByteArray keyedText() const;           // what the keyer has keyed so far
    std::vector<Keyed> keyed() const;
    QByteArray buffered() const; // what the keyer still holds
    bool overflowed() const;     // a piece came while the buffer was full
    Clock::time_point firstPieceAt() const;
    int stops() const; // requests to stop the keyer

protected:
    // Starts and ends the protocol's thread: the constructor of a subclass calls start() last, its
    // destructor finish() first.
    void start();
    void finish();
    // Takes the next whole command off the input, or nothing while it is incomplete; with the mutex held.
    virtual std::optional<QByteArray> takeCommand(QByteArray &input) = 0;
    // The reply to a command, with the mutex held.
    virtual QByteArray answer(const QByteArray &command) = 0;

    // For the protocols, with the mutex held.
    void takePiece(const QByteArray &text, const QByteArray &keyed);
    void stopKeying();
    void setSpeed(int wpm);
    bool isFull() const { return buffer_.size() >= capacity_; }
    int speed() const { return speed_; }

private:
    void loop();
    void handle(const QByteArray &command);
    void keyDue();
    int unitsOf(char character) const;
    void write(const QByteArray &bytes);

    int master_ = -1;
    int slave_ = -1; // kept open so that the terminal lives between Hamlib's opens
    QString path_;
    std::atomic<int> capacity_;
    std::atomic<int> silentAfterPieces_{-1};
    std::atomic<bool> ending_{false};
    std::atomic<bool> pullRequested_{false};
    std::atomic<bool> pulled_{false};

    mutable std::mutex mutex_;
    QByteArray input_;
    std::vector<QByteArray> commands_;
    std::vector<QByteArray> pieces_;
    std::vector<int> speeds_;
    std::vector<Keyed> keyed_;
    QByteArray buffer_;
    Clock::time_point keyingFrom_{};
    Clock::time_point firstPieceAt_{};
    int speed_ = 20;
    bool overflowed_ = false;
    int stops_ = 0;
    std::thread thread_;
};
