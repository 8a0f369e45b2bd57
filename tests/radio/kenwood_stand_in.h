#pragma once

#include <QByteArray>
#include <QString>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

// A Kenwood TS-590S of our own on a pseudo-terminal, answering the CAT commands Hamlib's backend sends and
// keying what KY hands it with a keyer of its own: the text a piece at a time into a buffer, keyed at the
// KS speed. As the TS-590 does, it leaves out the spaces before a piece and keys those after it as one.
class KenwoodStandIn
{
public:
    using Clock = std::chrono::steady_clock;

    struct Keyed
    {
        char character;
        Clock::time_point end;
    };

    // capacity: characters the keyer's buffer holds before KY answers that it is full.
    explicit KenwoodStandIn(int capacity = 48);
    ~KenwoodStandIn();

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

private:
    void loop();
    void handle(const QByteArray &command);
    QByteArray answer(const QByteArray &command);
    void takePiece(const QByteArray &command);
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
    std::thread thread_;
};
