#pragma once

#include "keying/diagnostic.h"
#include "network/allowed_senders.h"
#include "network/request_parser.h"
#include "network/text_queue.h"
#include "network/waiting_replies.h"

#include <QHostAddress>
#include <QObject>
#include <QSet>
#include <QString>
#include <QTimer>

#include <vector>

class QUdpSocket;
class QueuedKeying;
class SettingsStore;
class WaitClock;

// Lets loggers key Keylark over the cwdaemon protocol: one UDP datagram is one request. Texts wait in a
// bounded queue and key through the engine as queued transmissions; requests for a speed or a weighting
// apply to the texts after them; the replies go back to whoever asked for them. Off by default; it follows
// its settings while it runs, and a port it cannot have leaves Keylark running without it. What waits is
// dropped, with "break" to each client that waits for a reply, when the service stops or moves, and when
// practice mode, the port or its lines change: nothing queued for one of them keys on another.
class NetworkKeyingService : public QObject
{
    Q_OBJECT

public:
    enum class State { Off, Listening, Failed };

    static constexpr qsizetype largestDatagram = 65536;
    static constexpr int retryInterval = 50;    // ms between two asks to key while another transmission runs
    static constexpr int datagramsPerTurn = 64; // then the interface thread has its turn before the socket
    static constexpr int reportedSenders = 64;  // senders refused with a line each; later ones quietly

    // clock: nullptr means the real one.
    NetworkKeyingService(SettingsStore &store, QueuedKeying &keying, WaitClock *clock = nullptr,
                         QObject *parent = nullptr);
    ~NetworkKeyingService() override;

    State state() const { return state_; }
    // What the status bar shows: where the service listens, or why it does not; empty while it is off.
    QString stateText() const { return stateText_; }
    quint16 port() const;
    // The address the socket is bound to; null while it is not listening.
    QHostAddress address() const;
    const TextQueue &queue() const { return queue_; }
    // Bytes a client has made Keylark keep: the texts that wait and the replies not yet sent.
    qsizetype held() const { return queue_.used() + replies_.bytes(); }

    // One request from the given sender, as if it had come in on the socket.
    void handleDatagram(const QByteArray &datagram, const QHostAddress &sender, quint16 senderPort);

signals:
    void stateChanged();
    // A reply for the sender; written to the socket while the service listens.
    void replied(const QByteArray &reply, const QHostAddress &address, quint16 port);

private:
    void settingChanged(const QString &key);
    void applySettings();
    void listen();
    void sayWhoMayKey(int port);
    void updateAllowedSenders();
    void stopListening();
    void setState(State state, const QString &text);
    void readDatagrams();
    bool allowed(const QHostAddress &sender);
    void handleRequest(const NetworkRequest &request, const NetworkClient &from);
    void queueText(const NetworkRequest &request, const NetworkClient &from);
    void queueTune(int seconds);
    void switchPtt(bool on);
    // A piece costs the bytes of its text, one more, and those of its own reply; a reply the client stored
    // is counted already.
    bool queuePiece(KeyingPiece piece, qsizetype size, std::vector<NetworkReply> replies,
                    const NetworkClient *client = nullptr);
    void storeReply(const NetworkRequest &request, const NetworkClient &from);
    void reportDropped(qsizetype cost, qsizetype size);
    void keyWaitingPieces();
    void setSpeed(int speed);
    void reset();
    void abort();
    void pieceTaken(quint64 id, int speed);
    void pieceKeyed(quint64 id);
    void piecesDropped(quint64 upTo);
    void piecesExpired(quint64 upTo);
    void send(const std::vector<NetworkReply> &replies);
    void reportOnce(const QString &kind, const QString &line,
                    Diagnostic::Failure failure = Diagnostic::Failure::None);

    SettingsStore &store_;
    QueuedKeying &keying_;
    TextQueue queue_;
    WaitingReplies replies_;
    AllowedSenders allowed_;
    QUdpSocket *socket_ = nullptr;
    QTimer retry_;
    State state_ = State::Off;
    QString stateText_;
    // What the requests so far ask of the texts after them.
    int speed_ = 0; // wpm, 0 for the operator's
    int weighting_ = 0;
    int pttLead_ = -1; // ms, -1 for the operator's
    bool newSpeed_ = false;
    std::uint64_t nextId_ = 1;
    QSet<QString> reported_;
    QSet<QHostAddress> refusedSenders_;
    bool queueFullReported_ = false;
    bool tuneRefusedReported_ = false;
    bool expiryReported_ = false;
};
