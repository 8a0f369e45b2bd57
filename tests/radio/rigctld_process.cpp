#include "rigctld_process.h"

#include <QDeadlineTimer>
#include <QThread>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

sockaddr_in loopback(quint16 port)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

bool accepts(quint16 port)
{
    const int socket = ::socket(AF_INET, SOCK_STREAM, 0);
    const sockaddr_in address = loopback(port);
    const bool connected =
        ::connect(socket, reinterpret_cast<const sockaddr *>(&address), sizeof address) == 0;
    ::close(socket);
    return connected;
}

} // namespace

quint16 RigctldProcess::freePort()
{
    const int socket = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address = loopback(0);
    socklen_t length = sizeof address;
    ::bind(socket, reinterpret_cast<sockaddr *>(&address), sizeof address);
    ::getsockname(socket, reinterpret_cast<sockaddr *>(&address), &length);
    ::close(socket);
    return ntohs(address.sin_port);
}

RigctldProcess::RigctldProcess(int model, const QString &device) : port_(freePort())
{
    process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process_.start(QStringLiteral("rigctld"),
                   {QStringLiteral("-m"), QString::number(model), QStringLiteral("-r"), device,
                    QStringLiteral("-T"), QStringLiteral("127.0.0.1"), QStringLiteral("-t"),
                    QString::number(port_)});
    if (!process_.waitForStarted(5000))
        return;
    const QDeadlineTimer deadline(10000);
    while (!(listening_ = accepts(port_)) && !deadline.hasExpired() && process_.state() == QProcess::Running)
        QThread::msleep(20);
}

RigctldProcess::~RigctldProcess()
{
    process_.terminate();
    if (!process_.waitForFinished(3000))
        process_.kill();
    process_.waitForFinished(3000);
}
