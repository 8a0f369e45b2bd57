#include "network/waiting_replies.h"

#include <algorithm>

namespace {

auto storedBy(std::vector<NetworkReply> &stored, const NetworkClient &client)
{
    return std::find_if(stored.begin(), stored.end(),
                        [&](const NetworkReply &r) { return r.client == client; });
}

} // namespace

void WaitingReplies::store(NetworkReply reply)
{
    forgetStored(reply.client);
    bytes_ += reply.text.size();
    stored_.push_back(std::move(reply));
}

void WaitingReplies::forgetStored(const NetworkClient &client)
{
    if (const auto found = storedBy(stored_, client); found != stored_.end()) {
        bytes_ -= found->text.size();
        stored_.erase(found);
    }
}

// The stored reply's bytes were counted when it was stored.
void WaitingReplies::add(std::uint64_t piece, std::vector<NetworkReply> replies, const NetworkClient *client)
{
    for (const NetworkReply &reply : replies)
        bytes_ += reply.text.size();
    if (client) {
        if (const auto found = storedBy(stored_, *client); found != stored_.end()) {
            replies.push_back(std::move(*found));
            stored_.erase(found);
        }
    }
    if (!replies.empty())
        pieces_[piece] = std::move(replies);
}

std::vector<NetworkReply> WaitingReplies::keyed(std::uint64_t piece)
{
    std::vector<NetworkReply> out = piece > 0 ? dropped(piece - 1) : std::vector<NetworkReply>{};
    if (const auto entry = pieces_.find(piece); entry != pieces_.end()) {
        forget(entry->second);
        out.insert(out.end(), entry->second.begin(), entry->second.end());
        pieces_.erase(entry);
    }
    return out;
}

std::vector<NetworkReply> WaitingReplies::refused(std::uint64_t piece)
{
    std::vector<NetworkReply> breaks;
    if (const auto entry = pieces_.find(piece); entry != pieces_.end()) {
        forget(entry->second);
        addBreaks(entry->second, breaks);
        pieces_.erase(entry);
    }
    return breaks;
}

std::vector<NetworkReply> WaitingReplies::dropped(std::uint64_t upTo)
{
    std::vector<NetworkReply> breaks;
    while (!pieces_.empty() && pieces_.begin()->first <= upTo) {
        forget(pieces_.begin()->second);
        addBreaks(pieces_.begin()->second, breaks);
        pieces_.erase(pieces_.begin());
    }
    return breaks;
}

std::vector<NetworkReply> WaitingReplies::droppedAll()
{
    std::vector<NetworkReply> breaks = dropped(UINT64_MAX);
    addBreaks(stored_, breaks);
    stored_.clear();
    bytes_ = 0;
    return breaks;
}

NetworkReply WaitingReplies::breakFor(const NetworkClient &client)
{
    return {QByteArrayLiteral("break\r\n"), client};
}

void WaitingReplies::forget(const std::vector<NetworkReply> &replies)
{
    for (const NetworkReply &reply : replies)
        bytes_ -= reply.text.size();
}

// One "break" to each client, in the order they asked.
void WaitingReplies::addBreaks(const std::vector<NetworkReply> &replies, std::vector<NetworkReply> &breaks)
{
    for (const NetworkReply &reply : replies) {
        const bool told = std::any_of(breaks.begin(), breaks.end(),
                                      [&](const NetworkReply &b) { return b.client == reply.client; });
        if (!told)
            breaks.push_back(breakFor(reply.client));
    }
}
