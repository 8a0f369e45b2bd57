#include "network/network_keying_service.h"

#include "keying/diagnostics.h"
#include "keying/queued_keying.h"
#include "settings/settings_keys.h"
#include "settings/settings_store.h"

#include <QNetworkDatagram>
#include <QUdpSocket>

namespace {

constexpr int datagramsPerTurn = 64; // then the interface thread gets its turn before the socket again
const QByteArray lineEnd = QByteArrayLiteral("\r\n");
const QByteArray breakReply = QByteArrayLiteral("break\r\n");

// What a request that Keylark accepts and ignores would set.
QString ignoredSetting(char letter)
{
    switch (letter) {
    case '3':
        return QStringLiteral("the tone");
    case '6':
        return QStringLiteral("word mode");
    case '9':
        return QStringLiteral("the port (a request no longer in use)");
    case 'a':
        return QStringLiteral("PTT");
    case 'b':
        return QStringLiteral("the SSB source");
    case 'd':
        return QStringLiteral("the PTT delay");
    case 'e':
        return QStringLiteral("the band output");
    case 'f':
        return QStringLiteral("the sound system");
    default:
        return QStringLiteral("the volume");
    }
}

QString rangeOf(char letter)
{
    switch (letter) {
    case '2':
        return QStringLiteral("a speed of %1 to %2 wpm")
            .arg(RequestParser::lowestSpeed)
            .arg(RequestParser::highestSpeed);
    case '7':
        return QStringLiteral("a weighting of -%1 to %1").arg(KeyingPiece::maxWeighting);
    default:
        return QStringLiteral("0 to %1 seconds of tuning").arg(KeyingPiece::maxTuneSeconds);
    }
}

// A value as received, fit for one diagnostic line whatever bytes it holds.
QString printable(const QByteArray &value)
{
    QString text;
    for (const char byte : value.first(std::min<qsizetype>(value.size(), 16)))
        text += byte >= 32 && byte < 127 ? QChar(byte) : QChar(u'?');
    return value.size() > 16 ? text + QStringLiteral("…") : text;
}

QString letterText(char letter)
{
    return letter >= 32 && letter < 127 ? QString(QChar(letter))
                                        : QStringLiteral("\\x%1").arg(uchar(letter), 2, 16, QChar(u'0'));
}

} // namespace

NetworkKeyingService::NetworkKeyingService(SettingsStore &store, QueuedKeying &keying, QObject *parent)
    : QObject(parent), store_(store), keying_(keying), startSpeed_(store.intValue(KLKWpmKey))
{
    keying_.setTextSource(&queue_);
    // Queued always: the worker reports from its own thread, and a stop may drop pieces in the middle of
    // a request of the service's own.
    connect(&queue_, &TextQueue::keyed, this, &NetworkKeyingService::pieceKeyed, Qt::QueuedConnection);
    connect(&queue_, &TextQueue::dropped, this, &NetworkKeyingService::piecesDropped, Qt::QueuedConnection);
    connect(&store_, &SettingsStore::changed, this, &NetworkKeyingService::settingChanged);
    retry_.setInterval(retryInterval);
    connect(&retry_, &QTimer::timeout, this, &NetworkKeyingService::keyWaitingPieces);
    applySettings();
}

NetworkKeyingService::~NetworkKeyingService()
{
    keying_.setTextSource(nullptr);
    keying_.cwStopQueued();
}

quint16 NetworkKeyingService::port() const
{
    return socket_ ? socket_->localPort() : 0;
}

void NetworkKeyingService::settingChanged(const QString &key)
{
    if (key == KLKNetworkKeyingKey || key == KLKNetworkAllInterfacesKey || key == KLKNetworkPortKey)
        applySettings();
}

void NetworkKeyingService::applySettings()
{
    const bool wasListening = socket_ != nullptr;
    stopListening();
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
                             .arg(reason));
        delete socket_;
        socket_ = nullptr;
        setState(State::Failed, inUse ? tr("Network keying off: port %1 is in use").arg(port)
                                      : tr("Network keying off: %1").arg(reason));
        return;
    }
    connect(socket_, &QUdpSocket::readyRead, this, &NetworkKeyingService::readDatagrams);
    startSpeed_ = store_.intValue(KLKWpmKey);
    weighting_ = 0;
    reported_.clear();
    Diagnostics::out(
        everywhere ? QStringLiteral("#.. Keylark : Network keying listens on all interfaces, port "
                                    "%1: anyone who can reach it can key the transmitter.")
                         .arg(port)
                   : QStringLiteral("#.. Keylark : Network keying listens on 127.0.0.1 port %1.").arg(port));
    setState(State::Listening, everywhere ? tr("Network: all interfaces, port %1").arg(port)
                                          : tr("Network: 127.0.0.1 port %1").arg(port));
}

// What the service had queued or keys goes with it.
void NetworkKeyingService::stopListening()
{
    if (!socket_)
        return;
    delete socket_;
    socket_ = nullptr;
    abort();
}

void NetworkKeyingService::setState(State state, const QString &text)
{
    if (state == state_ && text == stateText_)
        return;
    state_ = state;
    stateText_ = text;
    emit stateChanged();
}

void NetworkKeyingService::readDatagrams()
{
    for (int count = 0; socket_ && socket_->hasPendingDatagrams(); ++count) {
        if (count == datagramsPerTurn) {
            QMetaObject::invokeMethod(this, &NetworkKeyingService::readDatagrams, Qt::QueuedConnection);
            return;
        }
        const QNetworkDatagram datagram = socket_->receiveDatagram(largestDatagram);
        handleDatagram(datagram.data(), datagram.senderAddress(), quint16(datagram.senderPort()));
    }
}

void NetworkKeyingService::handleDatagram(const QByteArray &datagram, const QHostAddress &sender,
                                          quint16 senderPort)
{
    using Kind = NetworkRequest::Kind;
    const NetworkRequest request = RequestParser::parse(datagram);
    const Reply from{{}, sender, senderPort};
    switch (request.kind) {
    case Kind::Empty:
        return;
    case Kind::Text:
        queueText(request, from);
        return;
    case Kind::Reset:
        setSpeed(startSpeed_);
        weighting_ = 0;
        return;
    case Kind::Speed:
        setSpeed(request.value);
        return;
    case Kind::Abort:
        abort();
        return;
    case Kind::Exit:
        reportOnce(QStringLiteral("5"),
                   QStringLiteral("#.. Keylark : A logger asked Keylark to quit; refused: "
                                  "only the operator quits Keylark."));
        return;
    case Kind::Weighting:
        weighting_ = request.value;
        return;
    case Kind::Device:
        reportOnce(QStringLiteral("8"),
                   QStringLiteral("#.. Keylark : A logger asked Keylark to key another "
                                  "device; refused: the port is chosen in Preferences."));
        return;
    case Kind::Tune:
        if (request.value > 0) {
            Diagnostics::out(
                QStringLiteral("#.. Keylark : Tuning for %1 s at a logger's request; Esc ends it.")
                    .arg(request.value));
            queuePiece({0, {{KeyingStep::Kind::Tune, request.value}}, 0}, 1, {});
        }
        return;
    case Kind::Reply:
        storedReply_ = Reply{QByteArrayLiteral("h") + request.text + lineEnd, sender, senderPort};
        return;
    case Kind::Ignored:
        reportOnce(QString(QChar(request.letter)),
                   QStringLiteral("#.. Keylark : A logger's request to set %1 was ignored: Keylark keys only "
                                  "the line.")
                       .arg(ignoredSetting(request.letter)));
        return;
    case Kind::Malformed:
        reportOnce(
            QStringLiteral("bad ") + QChar(request.letter),
            QStringLiteral("#.. Keylark : A logger's request ESC \"%1\" with the value \"%2\" was ignored: "
                           "it takes %3.")
                .arg(QChar(request.letter), printable(request.text), rangeOf(request.letter)));
        return;
    case Kind::Unknown:
        reportOnce(QStringLiteral("unknown ") + letterText(request.letter),
                   request.letter == 0
                       ? QStringLiteral("#.. Keylark : A logger's request held nothing after ESC; ignored.")
                       : QStringLiteral("#.. Keylark : A logger's request ESC \"%1\" is unknown; ignored.")
                             .arg(letterText(request.letter)));
        return;
    }
}

void NetworkKeyingService::queueText(const NetworkRequest &request, const Reply &sender)
{
    std::vector<Reply> replies;
    if (request.replyWanted)
        replies.push_back({request.text + lineEnd, sender.address, sender.port});
    if (storedReply_) {
        replies.push_back(*storedReply_);
        storedReply_.reset();
    }
    if (request.skipped > 0)
        reportOnce(QStringLiteral("skipped"), QStringLiteral("#.. Keylark : A logger's text held characters "
                                                             "without a Morse sign; they were left out."));
    queuePiece({0, request.steps, weighting_}, request.text.size() + 1, std::move(replies));
}

void NetworkKeyingService::queuePiece(KeyingPiece piece, qsizetype cost, std::vector<Reply> replies)
{
    piece.id = nextId_++;
    const std::uint64_t id = piece.id;
    if (cost > TextQueue::capacity || !queue_.push(std::move(piece), cost)) {
        reportDropped(cost);
        if (!replies.empty())
            sendReply({breakReply, replies.back().address, replies.back().port});
        return;
    }
    if (!replies.empty())
        pendingReplies_[id] = std::move(replies);
    keyWaitingPieces();
}

// A text longer than the whole queue is said once; a full queue once until it has emptied again.
void NetworkKeyingService::reportDropped(qsizetype cost)
{
    if (cost > TextQueue::capacity) {
        reportOnce(
            QStringLiteral("too long"),
            QStringLiteral("#.. Keylark : A logger's text of %1 bytes is longer than the network queue "
                           "holds (%2 bytes); text dropped.")
                .arg(cost - 1)
                .arg(TextQueue::capacity));
        return;
    }
    if (!queueFullReported_)
        Diagnostics::out(
            QStringLiteral("#.. Keylark : Network queue full (%1 bytes wait to be keyed); text dropped.")
                .arg(queue_.used()));
    queueFullReported_ = true;
}

void NetworkKeyingService::keyWaitingPieces()
{
    if (queue_.isEmpty()) {
        retry_.stop();
        queueFullReported_ = false;
        return;
    }
    if (keying_.cwSendQueued() < 0) {
        reportOnce(QStringLiteral("refused"), QStringLiteral("*** Keylark : Serial initialize error. Please "
                                                             "restart this program."));
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
    store_.setValue(KLKWpmKey, qint64(used));
}

void NetworkKeyingService::abort()
{
    storedReply_.reset();
    queue_.dropPieces();
    keying_.cwStopQueued();
}

// Pieces are keyed in order: a reply still waiting for an earlier piece belongs to one that was stopped.
void NetworkKeyingService::pieceKeyed(quint64 id)
{
    while (!pendingReplies_.empty() && pendingReplies_.begin()->first <= id) {
        const auto entry = pendingReplies_.begin();
        if (entry->first == id) {
            for (const Reply &reply : entry->second)
                sendReply(reply);
        } else {
            sendReply({breakReply, entry->second.back().address, entry->second.back().port});
        }
        pendingReplies_.erase(entry);
    }
}

// One "break" tells the client that waits for a reply that its text will not be keyed.
void NetworkKeyingService::piecesDropped(quint64 upTo)
{
    std::optional<Reply> last;
    while (!pendingReplies_.empty() && pendingReplies_.begin()->first <= upTo) {
        last = pendingReplies_.begin()->second.back();
        pendingReplies_.erase(pendingReplies_.begin());
    }
    if (last)
        sendReply({breakReply, last->address, last->port});
}

void NetworkKeyingService::sendReply(const Reply &reply)
{
    emit replied(reply.text, reply.address, reply.port);
    if (socket_)
        socket_->writeDatagram(reply.text, reply.address, reply.port);
}

void NetworkKeyingService::reportOnce(const QString &kind, const QString &line)
{
    if (reported_.contains(kind))
        return;
    reported_.insert(kind);
    Diagnostics::out(line);
}
