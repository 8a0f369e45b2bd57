#include "keying/diagnostics.h"

#include <QMutex>
#include <QMutexLocker>

#include <cstdio>
#include <cstring>

namespace {

QMutex observerMutex;
Diagnostics::Observer observer;
int observerNumber = 0;

void write(FILE *stream, const Diagnostic &diagnostic)
{
    const QByteArray bytes = diagnostic.line.toUtf8() + '\n';
    std::fwrite(bytes.constData(), 1, bytes.size(), stream);
    std::fflush(stream);
    QMutexLocker locker(&observerMutex);
    if (observer)
        observer(diagnostic);
}

} // namespace

void Diagnostics::out(const QString &line, Diagnostic::Failure failure)
{
    if (failure != Diagnostic::Failure::None || line.startsWith(QLatin1String("***")))
        write(stdout, Diagnostic::errorLine(line, failure));
    else
        write(stdout, Diagnostic::informationLine(line));
}

void Diagnostics::systemError(const QString &prefix, int err)
{
    Diagnostic failed = Diagnostic::errorLine(QString(), Diagnostic::Failure::SystemCall);
    failed.call = prefix.trimmed();
    failed.reason = QString::fromLocal8Bit(std::strerror(err));
    failed.errorNumber = err;
    failed.line = prefix + QStringLiteral(": ") + failed.reason;
    write(stderr, failed);
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
