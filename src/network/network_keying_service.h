#pragma once

#include "network/request_parser.h"
#include "network/text_queue.h"

#include <QHostAddress>
#include <QObject>
#include <QSet>
#include <QString>
#include <QTimer>

#include <map>
#include <optional>
#include <vector>

class QUdpSocket;
class QueuedKeying;
class SettingsStore;

// Lets loggers key Keylark over the cwdaemon protocol: one UDP datagram is one request. Texts wait in a
// bounded queue and key through the engine as queued transmissions; the two replies go back to whoever
// asked for them. Off by default; it follows its settings while it runs, and a port it cannot have leaves
// Keylark running without it.
class NetworkKeyingService : public QObject
{
    Q_OBJECT

public:
    enum class State { Off, Listening, Failed };

    static constexpr qsizetype largestDatagram = 65536;
    static constexpr int retryInterval = 50; // ms between two asks to key while another transmission runs

    NetworkKeyingService(SettingsStore &store, QueuedKeying &keying, QObject *parent = nullptr);
    ~NetworkKeyingService() override;

    State state() const { return state_; }
    // What the status bar shows: where the service listens, or why it does not; empty while it is off.
    QString stateText() const { return stateText_; }
    quint16 port() const;
    const TextQueue &queue() const { return queue_; }

    // One request from the given sender, as if it had come in on the socket.
    void handleDatagram(const QByteArray &datagram, const QHostAddress &sender, quint16 senderPort);

signals:
    void stateChanged();
    // A reply for the sender; written to the socket while the service listens.
    void replied(const QByteArray &reply, const QHostAddress &address, quint16 port);

private:
    struct Reply
    {
        QByteArray text;
        QHostAddress address;
        quint16 port = 0;
    };

    void settingChanged(const QString &key);
    void applySettings();
    void listen();
    void stopListening();
    void setState(State state, const QString &text);
    void readDatagrams();
    void queueText(const NetworkRequest &request, const Reply &sender);
    void queuePiece(KeyingPiece piece, qsizetype cost, std::vector<Reply> replies);
    void reportDropped(qsizetype cost);
    void keyWaitingPieces();
    void setSpeed(int speed);
    void abort();
    void pieceKeyed(quint64 id);
    void piecesDropped(quint64 upTo);
    void sendReply(const Reply &reply);
    void reportOnce(const QString &kind, const QString &line);

    SettingsStore &store_;
    QueuedKeying &keying_;
    TextQueue queue_;
    QUdpSocket *socket_ = nullptr;
    QTimer retry_;
    State state_ = State::Off;
    QString stateText_;
    int startSpeed_ = 0; // the speed when the service started listening, restored by a reset request
    int weighting_ = 0;
    std::uint64_t nextId_ = 1;
    std::optional<Reply> storedReply_;                           // asked for with ESC "h"
    std::map<std::uint64_t, std::vector<Reply>> pendingReplies_; // by piece, until keyed or dropped
    QSet<QString> reported_;
    bool queueFullReported_ = false;
};
