#include "network/text_queue.h"

#include "keying/wait_clock.h"

#include <algorithm>

TextQueue::TextQueue(WaitClock &clock, QObject *parent) : QObject(parent), clock_(clock) {}

bool TextQueue::push(KeyingPiece piece, qsizetype cost)
{
    cost = std::max<qsizetype>(cost, 1);
    const int seconds = tuneSecondsOf(piece);
    std::scoped_lock lock(mutex_);
    if (cost > capacity - used_)
        return false;
    lastPushed_ = std::max(lastPushed_, piece.id);
    entries_.push_back({std::move(piece), cost, seconds, clock_.now()});
    used_ += cost;
    tuneSeconds_ += seconds;
    return true;
}

qsizetype TextQueue::used() const
{
    std::scoped_lock lock(mutex_);
    return used_;
}

int TextQueue::tuneSeconds() const
{
    std::scoped_lock lock(mutex_);
    return tuneSeconds_;
}

int TextQueue::tuneSecondsOf(const KeyingPiece &piece)
{
    int seconds = 0;
    for (const KeyingStep &step : piece.steps) {
        if (step.kind == KeyingStep::Kind::Tune)
            seconds += std::clamp(step.value, 0, KeyingPiece::maxTuneSeconds);
    }
    return seconds;
}

void TextQueue::expire()
{
    std::uint64_t upTo = 0;
    {
        std::scoped_lock lock(mutex_);
        if (!keying_)
            upTo = expireWaiting(clock_.now());
    }
    if (upTo != 0)
        emit expired(upTo);
}

// A text waits from when it came or from when the queue last moved, whichever is later: the time it waits
// behind the queue's own texts while they key does not count. Those that waited too long lead the queue.
std::uint64_t TextQueue::expireWaiting(std::int64_t now)
{
    std::uint64_t upTo = 0;
    while (!entries_.empty() && now - std::max(entries_.front().queuedAt, lastMove_) > staleAfter) {
        upTo = entries_.front().piece.id;
        remove(entries_.front());
        entries_.pop_front();
    }
    return upTo;
}

void TextQueue::remove(const Entry &entry)
{
    used_ -= entry.cost;
    tuneSeconds_ -= entry.tuneSeconds;
}

std::optional<KeyingPiece> TextQueue::takePiece()
{
    std::optional<KeyingPiece> piece;
    std::uint64_t expiredUpTo = 0;
    {
        std::scoped_lock lock(mutex_);
        const std::int64_t now = clock_.now();
        expiredUpTo = expireWaiting(now);
        keying_ = !entries_.empty();
        if (keying_) {
            piece = std::move(entries_.front().piece);
            remove(entries_.front());
            entries_.pop_front();
            lastMove_ = now;
        }
    }
    if (expiredUpTo != 0)
        emit expired(expiredUpTo);
    if (piece)
        emit taken(piece->id, piece->speed);
    return piece;
}

void TextQueue::pieceKeyed(std::uint64_t id)
{
    {
        std::scoped_lock lock(mutex_);
        keying_ = false;
        lastMove_ = clock_.now();
    }
    emit keyed(id);
}

void TextQueue::dropPieces()
{
    std::uint64_t upTo = 0;
    {
        std::scoped_lock lock(mutex_);
        entries_.clear();
        used_ = 0;
        tuneSeconds_ = 0;
        keying_ = false;
        upTo = lastPushed_;
    }
    emit dropped(upTo);
}
