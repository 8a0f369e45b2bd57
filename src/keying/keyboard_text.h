#pragma once

#include "keying/text_source.h"

#include <QObject>
#include <QString>

#include <chrono>
#include <condition_variable>
#include <mutex>

// What the operator types in keyboard mode: the text of a burst, of which the worker takes one character
// at a time. Taken characters are fixed; the rest waits and may still change. The worker keys a burst as
// one pass while characters keep coming: once none waits it waits a little for the next before it ends,
// so that one log line, one record and one announcement cover what was typed in one go. Only the worker
// takes, and only the interface thread changes the text, so a character is never keyed twice.
// The text is set on the interface thread; the signals come from the worker's.
class KeyboardText : public QObject, public TextSource
{
    Q_OBJECT

public:
    static constexpr std::chrono::milliseconds defaultBurstEnd{2000};

    explicit KeyboardText(std::chrono::milliseconds burstEnd = defaultBurstEnd);

    // The whole text of the burst as edited; refused, and false, when it changes a taken character.
    bool setText(const QString &text);
    QString text() const;
    // How many characters of text() the worker has taken.
    qsizetype taken() const;
    bool waits() const;
    void setBurstEnd(std::chrono::milliseconds burstEnd);

    std::optional<KeyingPiece> takePiece() override;
    void pieceKeyed(std::uint64_t) override {}
    // A stop: what waits is dropped and a waiting worker goes on at once.
    void dropPieces() override;

    // On the worker: true once a character waits, false after the burst's end or a wake.
    bool awaitPiece();
    // The worker's pass is over; told by burstEnded.
    void endBurst();
    // The taken characters leave the text, on the interface thread once it has shown them.
    void dropTaken();
    // Ends the wait of awaitPiece without dropping what waits.
    void wake();

signals:
    void characterTaken();
    void burstEnded();

private:
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    QString text_;
    qsizetype taken_ = 0;
    std::chrono::milliseconds burstEnd_;
    bool woken_ = false;
    std::uint64_t nextId_ = 1;
};
