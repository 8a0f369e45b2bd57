#include "keying/diagnostics.h"

#include <QMutex>
#include <QMutexLocker>

#include <cstdio>
#include <cstring>

namespace {

QMutex observerMutex;
Diagnostics::Observer observer;

void write(FILE *stream, const QString &line)
{
    const QByteArray bytes = line.toUtf8() + '\n';
    std::fwrite(bytes.constData(), 1, bytes.size(), stream);
    std::fflush(stream);
    QMutexLocker locker(&observerMutex);
    if (observer)
        observer(line);
}

} // namespace

void Diagnostics::out(const QString &line)
{
    write(stdout, line);
}

void Diagnostics::systemError(const QString &prefix, int err)
{
    write(stderr, prefix + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(err)));
}

void Diagnostics::setObserver(Observer newObserver)
{
    QMutexLocker locker(&observerMutex);
    observer = std::move(newObserver);
}
