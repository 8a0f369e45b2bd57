#pragma once

#include "keying/text_source.h"

#include <QObject>

#include <deque>
#include <mutex>

// The network's texts that wait to be keyed, in the order they came, within a fixed room. The service adds
// them on the interface thread; the transmission worker takes them on its own. keyed() and dropped() are
// emitted on the thread that caused them.
class TextQueue : public QObject, public TextSource
{
    Q_OBJECT

public:
    static constexpr qsizetype capacity = 4096; // bytes of the requests that wait, each counted one more

    explicit TextQueue(QObject *parent = nullptr) : QObject(parent) {}

    // Adds the piece when its cost fits in the room left; false, and nothing added, when it does not.
    bool push(KeyingPiece piece, qsizetype cost);
    qsizetype used() const;
    bool isEmpty() const { return used() == 0; }

    std::optional<KeyingPiece> takePiece() override;
    void pieceKeyed(std::uint64_t id) override;
    void dropPieces() override;

signals:
    void keyed(quint64 id);
    // Every piece up to the given id that had not been keyed is gone: waiting, or stopped while keyed.
    void dropped(quint64 upTo);

private:
    struct Entry
    {
        KeyingPiece piece;
        qsizetype cost;
    };

    mutable std::mutex mutex_;
    std::deque<Entry> entries_;
    qsizetype used_ = 0;
    std::uint64_t lastPushed_ = 0;
};
