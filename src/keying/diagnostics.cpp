#include "keying/diagnostics.h"

#include <QMutex>
#include <QMutexLocker>

#include <cstdio>
#include <cstring>

namespace {

QMutex observerMutex;
Diagnostics::Observer observer;
int observerNumber = 0;

void write(FILE *stream, const QString &line, int error = 0)
{
    const QByteArray bytes = line.toUtf8() + '\n';
    std::fwrite(bytes.constData(), 1, bytes.size(), stream);
    std::fflush(stream);
    QMutexLocker locker(&observerMutex);
    if (observer)
        observer(line, error);
}

} // namespace

void Diagnostics::out(const QString &line)
{
    write(stdout, line);
}

void Diagnostics::systemError(const QString &prefix, int err)
{
    write(stderr, prefix + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(err)), err);
}

int Diagnostics::setObserver(Observer newObserver)
{
    QMutexLocker locker(&observerMutex);
    observer = std::move(newObserver);
    return ++observerNumber;
}

void Diagnostics::removeObserver(int number)
{
    QMutexLocker locker(&observerMutex);
    if (number == observerNumber)
        observer = {};
}
