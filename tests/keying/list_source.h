#pragma once

#include "keying/text_source.h"

#include <QByteArray>

#include <atomic>
#include <deque>
#include <future>
#include <mutex>
#include <vector>

// A text source that hands out the pieces the test adds and records what the worker reports.
class ListSource : public TextSource
{
public:
    void add(KeyingPiece piece)
    {
        std::scoped_lock lock(mutex_);
        pieces_.push_back(std::move(piece));
    }
    std::optional<KeyingPiece> takePiece() override
    {
        std::scoped_lock lock(mutex_);
        if (pieces_.empty())
            return std::nullopt;
        KeyingPiece piece = std::move(pieces_.front());
        pieces_.pop_front();
        return piece;
    }
    void pieceKeyed(std::uint64_t id) override
    {
        std::scoped_lock lock(mutex_);
        keyed_.push_back(id);
    }
    void dropPieces() override
    {
        std::scoped_lock lock(mutex_);
        pieces_.clear();
        ++drops;
    }

    std::size_t waiting() const
    {
        std::scoped_lock lock(mutex_);
        return pieces_.size();
    }
    std::vector<std::uint64_t> keyed() const
    {
        std::scoped_lock lock(mutex_);
        return keyed_;
    }

    std::atomic<int> drops{0};

private:
    mutable std::mutex mutex_;
    std::deque<KeyingPiece> pieces_;
    std::vector<std::uint64_t> keyed_;
};

// The steps of a text written with the network's marks: "+" and "-" step the speed by 2 wpm, "~" is a half
// letter gap, "|" a tune of one second; every other byte is a character.
inline std::vector<KeyingStep> stepsOf(const QByteArray &text)
{
    std::vector<KeyingStep> steps;
    for (const char c : text) {
        if (c == '+' || c == '-')
            steps.push_back({KeyingStep::Kind::Speed, c == '+' ? 2 : -2});
        else if (c == '~')
            steps.push_back({KeyingStep::Kind::HalfSpace});
        else if (c == '|')
            steps.push_back({KeyingStep::Kind::Tune, 1});
        else
            steps.push_back({KeyingStep::Kind::Character, int(uchar(c))});
    }
    return steps;
}

// Holds a worker where the test says until the test lets it go on.
class Gate
{
public:
    // Called on the worker: the first call blocks until open(); later calls pass.
    void pass()
    {
        if (passed_.exchange(true))
            return;
        reached_.set_value();
        opened_.wait();
    }
    void waitUntilReached() { reached_.get_future().wait(); }
    void open() { release_.set_value(); }

private:
    std::atomic<bool> passed_{false};
    std::promise<void> reached_;
    std::promise<void> release_;
    std::shared_future<void> opened_ = release_.get_future().share();
};
