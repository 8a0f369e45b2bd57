#include "network/text_queue.h"

bool TextQueue::push(KeyingPiece piece, qsizetype cost)
{
    cost = std::max<qsizetype>(cost, 1);
    std::scoped_lock lock(mutex_);
    if (cost > capacity - used_)
        return false;
    lastPushed_ = std::max(lastPushed_, piece.id);
    entries_.push_back({std::move(piece), cost});
    used_ += cost;
    return true;
}

qsizetype TextQueue::used() const
{
    std::scoped_lock lock(mutex_);
    return used_;
}

std::optional<KeyingPiece> TextQueue::takePiece()
{
    std::scoped_lock lock(mutex_);
    if (entries_.empty())
        return std::nullopt;
    Entry entry = std::move(entries_.front());
    entries_.pop_front();
    used_ -= entry.cost;
    return std::move(entry.piece);
}

void TextQueue::pieceKeyed(std::uint64_t id)
{
    emit keyed(id);
}

void TextQueue::dropPieces()
{
    std::uint64_t upTo = 0;
    {
        std::scoped_lock lock(mutex_);
        entries_.clear();
        used_ = 0;
        upTo = lastPushed_;
    }
    emit dropped(upTo);
}
