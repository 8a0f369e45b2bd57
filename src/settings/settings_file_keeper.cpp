#include "settings/settings_file_keeper.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QThread>

#include <cstdio>

namespace {

constexpr int writeDelayMs = 200;

void warn(const QString &line)
{
    std::fprintf(stderr, "%s\n", line.toLocal8Bit().constData());
    std::fflush(stderr);
}

} // namespace

SettingsFileKeeper::SettingsFileKeeper(const QString &filePath, QObject *parent)
    : QObject(parent), filePath_(filePath)
{
    writeTimer_.setSingleShot(true);
    writeTimer_.setInterval(writeDelayMs);
    connect(&writeTimer_, &QTimer::timeout, this, &SettingsFileKeeper::writeDue);
}

SettingsFile SettingsFileKeeper::load()
{
    QFile file(filePath_);
    if (!file.exists())
        return {};
    if (!QFileInfo(file).isFile()) {
        setAside(QStringLiteral("not a regular file")); // a pipe, say, could block the start
        return {};
    }
    if (!file.open(QIODevice::ReadOnly)) {
        writable_ = false;
        reportLoadProblem(QStringLiteral("Keylark: could not read the settings file %1 (%2); starting on the "
                                         "defaults and leaving the file untouched.")
                              .arg(filePath_, file.errorString()));
        return {};
    }
    // One byte past the limit is enough to know the file is too large, whatever its size claims to be.
    SettingsFile contents = SettingsFile::parse(file.read(SettingsFile::maxBytes + 1));
    if (contents.problem.isEmpty())
        return contents;
    file.close();
    setAside(contents.problem);
    return {};
}

void SettingsFileKeeper::setAside(const QString &reason)
{
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString aside = filePath_ + QStringLiteral(".corrupt-") + stamp;
    for (int n = 2; QFile::exists(aside); ++n)
        aside = filePath_ + QStringLiteral(".corrupt-%1-%2").arg(stamp).arg(n);
    if (QFile::rename(filePath_, aside)) {
        reportLoadProblem(
            QStringLiteral(
                "Keylark: the settings file %1 could not be read (%2); it was kept as %3 and Keylark "
                "starts on the defaults.")
                .arg(filePath_, reason, aside));
        return;
    }
    writable_ = false;
    reportLoadProblem(QStringLiteral("Keylark: the settings file %1 could not be read (%2) nor moved aside; "
                                     "Keylark starts on the defaults and will not write it.")
                          .arg(filePath_, reason));
}

void SettingsFileKeeper::reportLoadProblem(const QString &line)
{
    loadProblem_ = line;
    warn(line);
}

void SettingsFileKeeper::writeSoon()
{
    if (!QCoreApplication::instance())
        return; // no event loop to write from: the store's flush() or its destructor writes
    const auto start = [this] {
        if (!writeTimer_.isActive())
            writeTimer_.start();
    };
    if (QThread::currentThread() == thread())
        start();
    else
        QMetaObject::invokeMethod(this, start, Qt::QueuedConnection);
}

bool SettingsFileKeeper::write(const SettingsFile &contents)
{
    QDir().mkpath(QFileInfo(filePath_).absolutePath());
    QSaveFile file(filePath_);
    const QByteArray bytes = contents.bytes();
    if (file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit())
        return true;
    warn(QStringLiteral(
             "Keylark: could not write the settings file %1 (%2); will try again on the next change.")
             .arg(filePath_, file.errorString()));
    return false;
}
