#pragma once

#include <QByteArray>
#include <QHostAddress>

#include <cstdint>
#include <map>
#include <vector>

// A client of the network service: where a request came from and its replies go.
struct NetworkClient
{
    QHostAddress address;
    quint16 port = 0;

    friend bool operator==(const NetworkClient &, const NetworkClient &) = default;
};

struct NetworkReply
{
    QByteArray text;
    NetworkClient client;
};

// The replies that clients wait for: a text's own, asked for with "^", and the one a client stored with
// ESC "h" for its next text. Each goes out once its text has been keyed; a client whose text is stopped or
// dropped hears "break" instead, once however many of its replies went with it. Every byte held counts.
class WaitingReplies
{
public:
    qsizetype bytes() const { return bytes_; }

    // Stores the client's reply for its next text, in place of one it stored before.
    void store(NetworkReply reply);
    // Forgets the reply the client stored, if any.
    void forgetStored(const NetworkClient &client);
    // The replies that go out once the piece has been keyed, and after them the reply the client stored.
    void add(std::uint64_t piece, std::vector<NetworkReply> replies, const NetworkClient *client = nullptr);

    // What goes out now: pieces are keyed in order, so what still waits for an earlier piece went with a
    // stop.
    std::vector<NetworkReply> keyed(std::uint64_t piece);
    // The piece will not be keyed.
    std::vector<NetworkReply> refused(std::uint64_t piece);
    // Every piece up to the one named will not be keyed.
    std::vector<NetworkReply> dropped(std::uint64_t upTo);
    // No piece will be keyed and no stored reply sent.
    std::vector<NetworkReply> droppedAll();

    static NetworkReply breakFor(const NetworkClient &client);

private:
    void forget(const std::vector<NetworkReply> &replies);
    static void addBreaks(const std::vector<NetworkReply> &replies, std::vector<NetworkReply> &breaks);

    std::map<std::uint64_t, std::vector<NetworkReply>> pieces_;
    std::vector<NetworkReply> stored_;
    qsizetype bytes_ = 0;
};
