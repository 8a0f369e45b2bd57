#pragma once

#include "keying/text_source.h"

#include <QObject>

#include <deque>
#include <mutex>

class WaitClock;

// The network's texts that wait to be keyed, in the order they came, within a fixed room. The service adds
// them on the interface thread; the transmission worker takes them on its own.
// A text that waits too long while none of the queue is keyed (behind the operator's beacon, say) is
// dropped, never keyed late. The signals are emitted on the thread that caused them.
class TextQueue : public QObject, public TextSource
{
    Q_OBJECT

public:
    static constexpr qsizetype capacity = 4096; // bytes of the requests that wait, each counted one more
    static constexpr int tuneLimit = KeyingPiece::maxTuneSeconds; // seconds of tune the service lets wait
    static constexpr std::int64_t staleAfter = 20'000'000'000;    // ns a text may wait while none keys

    explicit TextQueue(WaitClock &clock, QObject *parent = nullptr);

    // Adds the piece when its cost fits in the room left; false, and nothing added, when it does not.
    bool push(KeyingPiece piece, qsizetype cost);
    qsizetype used() const;
    int tuneSeconds() const; // of the tunes that wait
    bool isEmpty() const { return used() == 0; }
    // Drops the texts that have waited too long, unless one of the queue is being keyed.
    void expire();

    static int tuneSecondsOf(const KeyingPiece &piece);

    std::optional<KeyingPiece> takePiece() override;
    void pieceKeyed(std::uint64_t id) override;
    void dropPieces() override;

signals:
    void taken(quint64 id, int speed); // the piece begins to key, at its own speed or 0
    void keyed(quint64 id);
    // Every piece up to the given id that had not been keyed is gone: waiting, or stopped while keyed.
    void dropped(quint64 upTo);
    // The pieces up to the given id waited too long and are gone.
    void expired(quint64 upTo);

private:
    struct Entry
    {
        KeyingPiece piece;
        qsizetype cost;
        int tuneSeconds;
        std::int64_t queuedAt;
    };

    std::uint64_t expireWaiting(std::int64_t now);
    void remove(const Entry &entry);

    WaitClock &clock_;
    mutable std::mutex mutex_;
    std::deque<Entry> entries_;
    qsizetype used_ = 0;
    int tuneSeconds_ = 0;
    std::uint64_t lastPushed_ = 0;
    bool keying_ = false;       // a piece has been taken and not yet reported keyed or dropped
    std::int64_t lastMove_ = 0; // when a piece was last taken or keyed: no text waits from before it
};
