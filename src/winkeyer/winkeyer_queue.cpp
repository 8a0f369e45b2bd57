#include "winkeyer/winkeyer_queue.h"

#include "winkeyer/winkeyer_protocol.h"

#include <algorithm>

using winkeyer::keyerHas;
using winkeyer::upperCase;

bool WinkeyerItem::valid() const
{
    switch (kind) {
    case Kind::Character:
        return winkeyer::patternOf(first) != nullptr;
    case Kind::Merged:
        return keyerHas(first) && keyerHas(second);
    case Kind::Speed:
        return wpm >= 5 && wpm <= 99;
    }
    return false;
}

QByteArray WinkeyerItem::bytes() const
{
    switch (kind) {
    case Kind::Character:
        return QByteArray(1, upperCase(first));
    case Kind::Merged:
        return QByteArray(1, char(winkeyer::mergeLetters)) + upperCase(first) + upperCase(second);
    case Kind::Speed:
        return QByteArray(1, char(winkeyer::bufferedSpeed)) + char(wpm);
    }
    return {};
}

QByteArray WinkeyerItem::echoes() const
{
    return kind == Kind::Speed ? QByteArray() : bytes().right(kind == Kind::Merged ? 2 : 1);
}

void WinkeyerQueue::append(const std::vector<WinkeyerItem> &items)
{
    std::copy_if(items.begin(), items.end(), std::back_inserter(waiting_),
                 [](const WinkeyerItem &item) { return item.valid(); });
}

std::optional<WinkeyerItem> WinkeyerQueue::take(bool blocked)
{
    if (blocked || waiting_.empty())
        return std::nullopt;
    const int size = int(waiting_.front().bytes().size());
    if (writtenBytes_ + size > window)
        return std::nullopt;
    written_.push_back(waiting_.front());
    waiting_.pop_front();
    writtenBytes_ += size;
    return written_.back();
}

// An echo that skips a written sign means the keyer sent it without an echo (some keyers do not echo the
// word space); each sign is reported once, in the order written.
bool WinkeyerQueue::echo(char character, std::vector<WinkeyerItem> &keyed)
{
    character = upperCase(character);
    int skipped = echoed_;
    for (std::size_t i = 0; i < written_.size(); ++i) {
        const QByteArray expected = written_[i].echoes();
        const int at = int(expected.indexOf(character, i == 0 ? skipped : 0));
        if (at < 0)
            continue;
        for (std::size_t done = 0; done < i; ++done)
            complete(keyed);
        echoed_ = at + 1;
        if (echoed_ == expected.size())
            complete(keyed);
        return true;
    }
    return false;
}

bool WinkeyerQueue::settle(std::vector<WinkeyerItem> &keyed)
{
    if (!waiting_.empty())
        return true;
    const bool unechoed = std::any_of(written_.begin(), written_.end(), [](const WinkeyerItem &item) {
        return !item.echoes().isEmpty() && item.first != ' ';
    });
    if (unechoed)
        return false;
    while (!written_.empty())
        complete(keyed);
    return true;
}

void WinkeyerQueue::clear()
{
    waiting_.clear();
    written_.clear();
    writtenBytes_ = 0;
    echoed_ = 0;
}

bool WinkeyerQueue::awaitingEcho() const
{
    return !waiting_.empty() || std::any_of(written_.begin(), written_.end(), [](const WinkeyerItem &item) {
        return !item.echoes().isEmpty();
    });
}

void WinkeyerQueue::complete(std::vector<WinkeyerItem> &keyed)
{
    const WinkeyerItem item = written_.front();
    written_.pop_front();
    writtenBytes_ -= int(item.bytes().size());
    echoed_ = 0;
    if (item.kind != WinkeyerItem::Kind::Speed)
        keyed.push_back(item);
}
