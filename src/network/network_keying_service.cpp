#include "network/network_keying_service.h"

#include "keying/diagnostics.h"
#include "keying/line_control.h"
#include "keying/queued_keying.h"
#include "keying/wait_clock.h"
#include "network/request_notice.h"
#include "settings/settings_keys.h"
#include "settings/settings_store.h"

#include <QNetworkDatagram>
#include <QUdpSocket>

namespace {

const QByteArray lineEnd = QByteArrayLiteral("\r\n");

// What the texts queued for one mode, port or set of lines must never be keyed on another.
bool changesWhereTextsKey(const QString &key)
{
    return key == KLKPracticeModeKey || key == KLKSerialDeviceKey || key == KLKSerialStartUpOpenKey ||
           key == KLKSerialDTRKey || key == KLKSerialDTRReverseKey || key == KLKSerialRTSKey ||
           key == KLKSerialRTSReverseKey || key == KLKSerialPTTKey || key == KLKSerialPTTReverseKey;
}

} // namespace

NetworkKeyingService::NetworkKeyingService(SettingsStore &store, QueuedKeying &keying, WaitClock *clock,
                                           QObject *parent)
    : QObject(parent), store_(store), keying_(keying), queue_(clock ? *clock : WaitClock::system())
{
    keying_.setTextSource(&queue_);
    // Queued always: the worker reports from its own thread, and a stop may drop pieces in the middle of
    // a request of the service's own.
    connect(&queue_, &TextQueue::taken, this, &NetworkKeyingService::pieceTaken, Qt::QueuedConnection);
    connect(&queue_, &TextQueue::keyed, this, &NetworkKeyingService::pieceKeyed, Qt::QueuedConnection);
    connect(&queue_, &TextQueue::dropped, this, &NetworkKeyingService::piecesDropped, Qt::QueuedConnection);
    connect(&queue_, &TextQueue::expired, this, &NetworkKeyingService::piecesExpired, Qt::QueuedConnection);
    connect(&store_, &SettingsStore::changed, this, &NetworkKeyingService::settingChanged);
    retry_.setInterval(retryInterval);
    connect(&retry_, &QTimer::timeout, this, &NetworkKeyingService::keyWaitingPieces);
    applySettings();
}

// The clients that wait hear "break" before the socket goes.
NetworkKeyingService::~NetworkKeyingService()
{
    abort();
    keying_.setTextSource(nullptr);
    delete socket_;
}

quint16 NetworkKeyingService::port() const
{
    return socket_ ? socket_->localPort() : 0;
}

QHostAddress NetworkKeyingService::address() const
{
    return socket_ ? socket_->localAddress() : QHostAddress();
}

void NetworkKeyingService::settingChanged(const QString &key)
{
    if (key == KLKNetworkKeyingKey || key == KLKNetworkAllInterfacesKey || key == KLKNetworkPortKey)
        applySettings();
    else if (key == KLKNetworkAllowedSendersKey)
        updateAllowedSenders();
    else if (changesWhereTextsKey(key))
        abort();
}

void NetworkKeyingService::applySettings()
{
    const bool wasListening = socket_ != nullptr;
    stopListening();
    updateAllowedSenders();
    if (store_.boolValue(KLKNetworkKeyingKey)) {
        listen();
        return;
    }
    if (wasListening)
        Diagnostics::out(QStringLiteral("#.. Keylark : Network keying is off."));
    setState(State::Off, {});
}

void NetworkKeyingService::listen()
{
    const int port = store_.intValue(KLKNetworkPortKey);
    const bool everywhere = store_.boolValue(KLKNetworkAllInterfacesKey);
    const QString where = everywhere ? QStringLiteral("all interfaces") : QStringLiteral("127.0.0.1");
    if (!KLKNetworkPortRange.contains(port)) {
        Diagnostics::out(
            QStringLiteral("*** Keylark : Network keying port %1 is outside %2 to %3; Keylark goes "
                           "on without network keying.")
                .arg(port)
                .arg(KLKNetworkPortRange.minimum)
                .arg(KLKNetworkPortRange.maximum));
        setState(State::Failed, tr("Network keying off: port %1 is not allowed").arg(port));
        return;
    }
    socket_ = new QUdpSocket(this);
    const QHostAddress address = everywhere ? QHostAddress(QHostAddress::Any) : QHostAddress::LocalHost;
    // Not shared: a second listener on the port (cwdaemon, another Keylark) must make this one fail.
    if (!socket_->bind(address, quint16(port), QAbstractSocket::DontShareAddress)) {
        const bool inUse = socket_->error() == QAbstractSocket::AddressInUseError;
        const QString reason = inUse ? QStringLiteral("another program uses it") : socket_->errorString();
        Diagnostics::out(QStringLiteral("*** Keylark : Network keying cannot listen on %1 port %2 (%3); "
                                        "Keylark goes on without network keying.")
                             .arg(where)
                             .arg(port)
                             .arg(reason),
                         Diagnostic::Failure::NetworkListen);
        delete socket_;
        socket_ = nullptr;
        setState(State::Failed, inUse ? tr("Network keying off: port %1 is in use").arg(port)
                                      : tr("Network keying off: %1").arg(reason));
        return;
    }
    connect(socket_, &QUdpSocket::readyRead, this, &NetworkKeyingService::readDatagrams);
    reset();
    reported_.clear();
    refusedSenders_.clear();
    sayWhoMayKey(port);
    setState(State::Listening, everywhere ? tr("Network: all interfaces, port %1").arg(port)
                                          : tr("Network: 127.0.0.1 port %1").arg(port));
}

// Other computers reach a service that listens on all interfaces; only those listed may key.
void NetworkKeyingService::sayWhoMayKey(int port)
{
    const bool everywhere = store_.boolValue(KLKNetworkAllInterfacesKey);
    if (!everywhere) {
        Diagnostics::out(
            QStringLiteral("#.. Keylark : Network keying listens on 127.0.0.1 port %1.").arg(port));
        return;
    }
    const QStringList others = allowed_.entries();
    Diagnostics::out(QStringLiteral("#.. Keylark : Network keying listens on all interfaces, port %1; %2 "
                                    "may key the transmitter.")
                         .arg(port)
                         .arg(others.isEmpty() ? QStringLiteral("only this computer")
                                               : QStringLiteral("this computer and ") +
                                                     others.join(QStringLiteral(", "))));
    for (const QString &entry : allowed_.rejected())
        Diagnostics::out(QStringLiteral("#.. Keylark : \"%1\" among the senders allowed to key is no address "
                                        "or network; left out.")
                             .arg(entry));
}

void NetworkKeyingService::updateAllowedSenders()
{
    const bool everywhere = store_.boolValue(KLKNetworkAllInterfacesKey);
    allowed_ = AllowedSenders(everywhere ? store_.stringValue(KLKNetworkAllowedSendersKey) : QString());
}

// What the service had queued or keys goes with it, and the clients hear so while the socket is still open.
void NetworkKeyingService::stopListening()
{
    if (!socket_)
        return;
    abort();
    delete socket_;
    socket_ = nullptr;
}

void NetworkKeyingService::setState(State state, const QString &text)
{
    if (state == state_ && text == stateText_)
        return;
    state_ = state;
    stateText_ = text;
    emit stateChanged();
}

// Qt tells of the next datagram only after a read has followed its last readyRead: every turn reads at
// least once, and one that stops at its share leaves the socket readable, so that the next turn comes.
void NetworkKeyingService::readDatagrams()
{
    for (int count = 0; socket_ && count < datagramsPerTurn; ++count) {
        const QNetworkDatagram datagram = socket_->receiveDatagram(largestDatagram);
        if (datagram.isValid())
            handleDatagram(datagram.data(), datagram.senderAddress(), quint16(datagram.senderPort()));
        else if (!socket_->hasPendingDatagrams()) // an error of the socket's own has been read, or nothing
            return;
    }
}

void NetworkKeyingService::handleDatagram(const QByteArray &datagram, const QHostAddress &sender,
                                          quint16 senderPort)
{
    if (allowed(sender))
        handleRequest(RequestParser::parse(datagram), {sender, senderPort});
}

bool NetworkKeyingService::allowed(const QHostAddress &sender)
{
    if (allowed_.allows(sender))
        return true;
    const QHostAddress address = AllowedSenders::plain(sender);
    if (refusedSenders_.size() < reportedSenders && !refusedSenders_.contains(address)) {
        refusedSenders_.insert(address);
        Diagnostics::out(QStringLiteral("#.. Keylark : Requests from %1 are ignored: it is not among the "
                                        "computers allowed to key (Preferences, Network).")
                             .arg(address.toString()));
        if (refusedSenders_.size() == reportedSenders)
            Diagnostics::out(QStringLiteral("#.. Keylark : Requests from further computers that may not key "
                                            "are ignored without a line."));
    }
    return false;
}

void NetworkKeyingService::handleRequest(const NetworkRequest &request, const NetworkClient &from)
{
    using Kind = NetworkRequest::Kind;
    switch (request.kind) {
    case Kind::Empty:
        return;
    case Kind::Text:
        queueText(request, from);
        return;
    case Kind::Reset:
        reset();
        return;
    case Kind::Speed:
        setSpeed(request.value);
        return;
    case Kind::Abort:
        abort();
        return;
    case Kind::Weighting:
        weighting_ = request.value;
        return;
    case Kind::Tune:
        queueTune(request.value);
        return;
    case Kind::Ptt:
        switchPtt(request.value != 0);
        return;
    case Kind::PttDelay:
        pttLead_ = request.value;
        return;
    case Kind::Reply:
        storeReply(request, from);
        return;
    default:
        if (const std::optional<RequestNotice::Notice> notice = RequestNotice::of(request))
            reportOnce(notice->kind, notice->line);
        return;
    }
}

void NetworkKeyingService::queueText(const NetworkRequest &request, const NetworkClient &from)
{
    std::vector<NetworkReply> replies;
    if (request.replyWanted)
        replies.push_back({request.text + lineEnd, from});
    if (request.skipped > 0)
        reportOnce(QStringLiteral("skipped"), QStringLiteral("#.. Keylark : A logger's text held characters "
                                                             "without a Morse sign; they were left out."));
    queuePiece({0, request.steps}, request.text.size(), std::move(replies), &from);
}

// The seconds of every tune that waits count against one limit: when none waits any longer, at most one
// tune keys, and the engine rests after each, so that the key is never held down longer than one.
void NetworkKeyingService::queueTune(int seconds)
{
    if (seconds <= 0)
        return;
    if (queue_.tuneSeconds() + seconds > TextQueue::tuneLimit) {
        if (!tuneRefusedReported_)
            Diagnostics::out(QStringLiteral("#.. Keylark : A logger's tune of %1 s was refused: %2 s of "
                                            "tuning already wait, and at most %3 s may.")
                                 .arg(seconds)
                                 .arg(queue_.tuneSeconds())
                                 .arg(TextQueue::tuneLimit));
        tuneRefusedReported_ = true;
        return;
    }
    if (queuePiece({0, {{KeyingStep::Kind::Tune, seconds}}}, 0, {})) {
        tuneRefusedReported_ = false;
        Diagnostics::out(
            QStringLiteral("#.. Keylark : Tuning for %1 s at a logger's request; Esc ends it.").arg(seconds));
    }
}

// A voice keyer's PTT: held on from when its turn in the queue comes until the logger lets go, bounded like
// a tune.
void NetworkKeyingService::switchPtt(bool on)
{
    if (!on || keying::pttLineOf(store_.stringValue(KLKSerialPTTKey)) == 0)
        keying_.cwHoldPtt(false);
    if (!on)
        return;
    if (keying::pttLineOf(store_.stringValue(KLKSerialPTTKey)) == 0) {
        reportOnce(QStringLiteral("ptt"),
                   QStringLiteral("#.. Keylark : A logger's request to switch PTT was "
                                  "ignored: no PTT line is set (Preferences, Advanced)."));
        return;
    }
    keying_.cwHoldPtt(true);
    queuePiece({0, {{KeyingStep::Kind::PttHold, KeyingPiece::maxPttHoldSeconds}}}, 0, {});
}

bool NetworkKeyingService::queuePiece(KeyingPiece piece, qsizetype size, std::vector<NetworkReply> replies,
                                      const NetworkClient *client)
{
    const qsizetype textCost = size + 1;
    qsizetype cost = textCost;
    for (const NetworkReply &reply : replies)
        cost += reply.text.size();
    piece.id = nextId_++;
    piece.weighting = weighting_;
    piece.speed = speed_;
    piece.newSpeed = newSpeed_;
    piece.pttLead = pttLead_;
    piece.practice = store_.boolValue(KLKPracticeModeKey);
    const std::uint64_t id = piece.id;
    const bool queued = cost <= TextQueue::capacity - held() && queue_.push(std::move(piece), textCost);
    replies_.add(id, std::move(replies), client);
    if (!queued) {
        reportDropped(cost, size);
        send(replies_.refused(id));
        return false;
    }
    newSpeed_ = false;
    keyWaitingPieces();
    return true;
}

void NetworkKeyingService::storeReply(const NetworkRequest &request, const NetworkClient &from)
{
    NetworkReply reply{QByteArrayLiteral("h") + request.text + lineEnd, from};
    replies_.forgetStored(from);
    if (reply.text.size() > TextQueue::capacity - held()) {
        reportOnce(QStringLiteral("reply"),
                   QStringLiteral("#.. Keylark : A logger's reply of %1 bytes does not fit in the network "
                                  "queue; ignored.")
                       .arg(request.text.size()));
        return;
    }
    replies_.store(std::move(reply));
}

// A text longer than the whole queue is said once; a full queue once until it has emptied again.
void NetworkKeyingService::reportDropped(qsizetype cost, qsizetype size)
{
    if (cost > TextQueue::capacity) {
        reportOnce(
            QStringLiteral("too long"),
            QStringLiteral("#.. Keylark : A logger's text of %1 bytes is longer than the network queue "
                           "holds (%2 bytes, with the replies it asks for); text dropped.")
                .arg(size)
                .arg(TextQueue::capacity));
        return;
    }
    if (!queueFullReported_)
        Diagnostics::out(
            QStringLiteral("#.. Keylark : Network queue full (%1 bytes wait to be keyed or answered); text "
                           "dropped.")
                .arg(held()));
    queueFullReported_ = true;
}

void NetworkKeyingService::keyWaitingPieces()
{
    queue_.expire();
    if (queue_.isEmpty()) {
        retry_.stop();
        queueFullReported_ = false;
        return;
    }
    if (keying_.cwSendQueued() < 0) {
        reportOnce(QStringLiteral("refused"),
                   QStringLiteral("*** Keylark : Serial initialize error. Please restart this program."),
                   Diagnostic::Failure::SerialInitialize);
        queue_.dropPieces();
        retry_.stop();
        return;
    }
    // Another transmission may run, or the one that runs may end before it takes these: look again.
    if (!retry_.isActive())
        retry_.start();
}

// A speed outside Keylark's range is keyed at the nearest speed inside it, as the console keys one.
void NetworkKeyingService::setSpeed(int speed)
{
    const int used = int(KLKWpmRange.clamp(speed));
    if (used != speed)
        reportOnce(
            QStringLiteral("speed %1").arg(speed),
            QStringLiteral("#.. Keylark : A logger asked for %1 wpm; Keylark keys at %2 wpm, the nearest "
                           "speed of its range %3 to %4.")
                .arg(speed)
                .arg(used)
                .arg(KLKWpmRange.minimum)
                .arg(KLKWpmRange.maximum));
    speed_ = used;
    newSpeed_ = true;
}

// The logger's own speed, weighting and PTT lead-in end; the operator's speed is left as it is.
void NetworkKeyingService::reset()
{
    speed_ = 0;
    weighting_ = 0;
    pttLead_ = -1;
    newSpeed_ = true;
}

void NetworkKeyingService::abort()
{
    keying_.cwHoldPtt(false);
    queue_.dropPieces();
    keying_.cwStopQueued();
    send(replies_.droppedAll());
}

// The console shows the speed a logger's text keys at, as the speed it keys the operator's texts at after it.
void NetworkKeyingService::pieceTaken(quint64, int speed)
{
    if (speed > 0 && store_.intValue(KLKWpmKey) != speed)
        store_.setValue(KLKWpmKey, qint64(speed));
}

void NetworkKeyingService::pieceKeyed(quint64 id)
{
    expiryReported_ = false;
    send(replies_.keyed(id));
}

void NetworkKeyingService::piecesDropped(quint64 upTo)
{
    send(replies_.dropped(upTo));
}

// Said once until a text of the queue keys again.
void NetworkKeyingService::piecesExpired(quint64 upTo)
{
    if (!expiryReported_)
        Diagnostics::out(QStringLiteral("#.. Keylark : A logger's text waited more than %1 s behind another "
                                        "transmission; dropped, and so is every text that waits as long.")
                             .arg(TextQueue::staleAfter / 1'000'000'000));
    expiryReported_ = true;
    send(replies_.dropped(upTo));
}

void NetworkKeyingService::send(const std::vector<NetworkReply> &replies)
{
    for (const NetworkReply &reply : replies) {
        emit replied(reply.text, reply.client.address, reply.client.port);
        if (socket_)
            socket_->writeDatagram(reply.text, reply.client.address, reply.client.port);
    }
}

void NetworkKeyingService::reportOnce(const QString &kind, const QString &line, Diagnostic::Failure failure)
{
    if (reported_.contains(kind))
        return;
    reported_.insert(kind);
    Diagnostics::out(line, failure);
}
