#include "record/sent_record.h"

#include "keying/diagnostics.h"
#include "settings/settings_keys.h"
#include "settings/settings_store.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QStandardPaths>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString prefix = QStringLiteral("sent-");
const QString suffix = QStringLiteral(".txt");

QString speedOf(const KeyedPass &pass)
{
    if (pass.slowest == pass.fastest)
        return QStringLiteral("%1 wpm").arg(pass.fastest);
    return QStringLiteral("%1-%2 wpm").arg(pass.slowest).arg(pass.fastest);
}

// One pass is one line: a control character in the text shows as a space.
QString oneLine(QString text)
{
    for (QChar &character : text) {
        if (character.unicode() < 0x20 || character.unicode() == 0x7f)
            character = QLatin1Char(' ');
    }
    return text;
}

// Writes all of bytes, or leaves the file as it was and returns the errno of the failure.
int writeWhole(int fd, const QByteArray &bytes)
{
    struct stat before
    {
    };
    if (fstat(fd, &before) != 0)
        return errno;
    qsizetype written = 0;
    while (written < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + written, std::size_t(bytes.size() - written));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            const int error = n < 0 ? errno : ENOSPC;
            if (ftruncate(fd, before.st_size) != 0) {
                // The part written stays; the next line starts on a line of its own all the same.
            }
            return error;
        }
        written += n;
    }
    return 0;
}

} // namespace

SentRecord::SentRecord(SettingsStore &store, const QString &folder, Clock clock)
    : store_(store), folder_(folder), clock_(std::move(clock))
{
    settingsWatch_ = QObject::connect(&store_, &SettingsStore::changed, [this](const QString &key) {
        if (key != KLKSentRecordDaysKey)
            return;
        std::scoped_lock lock(mutex_);
        pruneWanted_ = true;
        ++requested_;
        wake_.notify_one();
    });
    ++requested_; // the prune at the start
    writer_ = std::thread([this] { run(); });
}

SentRecord::~SentRecord()
{
    QObject::disconnect(settingsWatch_);
    {
        std::scoped_lock lock(mutex_);
        ending_ = true;
    }
    wake_.notify_one();
    writer_.join();
}

QString SentRecord::defaultFolder()
{
    const QString home = qEnvironmentVariable("XDG_DATA_HOME");
    const QString base =
        QDir::isAbsolutePath(home) ? home : QDir::homePath() + QStringLiteral("/.local/share");
    return base + QStringLiteral("/Keylark");
}

QString SentRecord::fileName(QDate day)
{
    return prefix + day.toString(Qt::ISODate) + suffix;
}

QByteArray SentRecord::line(const KeyedPass &pass)
{
    QString text = pass.start.toUTC().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzzZ")) +
                   QStringLiteral("  ") + (pass.paddle ? QStringLiteral("paddle") : speedOf(pass)) +
                   QStringLiteral("  ") + oneLine(pass.text);
    if (pass.stopped)
        text += QStringLiteral("  [stopped]");
    return text.toUtf8() + '\n';
}

void SentRecord::passKeyed(const KeyedPass &pass)
{
    if (pass.practice || !store_.boolValue(KLKSentRecordKey))
        return;
    Pass entry{pass.start.toUTC().date(), line(pass)};
    {
        std::scoped_lock lock(mutex_);
        if (pending_.size() >= maxPending) {
            ++lost_;
            return;
        }
        pending_.push_back(std::move(entry));
        newPasses_ = true;
        ++requested_;
    }
    wake_.notify_one();
}

void SentRecord::waitUntilTried()
{
    std::unique_lock lock(mutex_);
    tried_.wait(lock, [this] { return done_ == requested_; });
}

void SentRecord::run()
{
    std::unique_lock lock(mutex_);
    for (;;) {
        // Passes put back after a failure are tried again with the next pass, not in a loop against a
        // full disk.
        wake_.wait(lock, [this] { return ending_ || pruneWanted_ || newPasses_; });
        newPasses_ = false;
        std::deque<Pass> taken;
        taken.swap(pending_);
        const bool prune = pruneWanted_;
        pruneWanted_ = false;
        const std::uint64_t asked = requested_;
        const bool ending = ending_;
        lock.unlock();
        if (prune || prunedOn_ != today())
            removeOldFiles();
        writeTaken(taken);
        lock.lock();
        keepUnwritten(taken);
        done_ = asked;
        tried_.notify_all();
        if (ending)
            return;
    }
}

// Passes of one day go to their file with one write; a failure leaves those not written in taken.
void SentRecord::writeTaken(std::deque<Pass> &taken)
{
    while (!taken.empty()) {
        const QDate day = taken.front().day;
        QByteArray bytes;
        std::size_t count = 0;
        for (; count < taken.size() && taken[count].day == day; ++count)
            bytes += taken[count].line;
        const int error = append(day, bytes);
        if (error != 0) {
            if (!failing_) {
                Diagnostics::out(QStringLiteral("#.. Keylark : Sent record not written to %1 (%2); "
                                                "keying goes on.")
                                     .arg(QDir::toNativeSeparators(folder_),
                                          QString::fromLocal8Bit(std::strerror(error))));
            }
            failing_ = true;
            return;
        }
        taken.erase(taken.begin(), taken.begin() + std::ptrdiff_t(count));
        if (failing_) {
            failing_ = false;
            Diagnostics::out(QStringLiteral("#.. Keylark : Sent record written again to %1.")
                                 .arg(QDir::toNativeSeparators(folder_)));
        }
    }
}

// Called with the mutex held. What could not be written waits ahead of what came meanwhile, as long as
// the queue has room; the rest is counted as lost and told once it can be written again.
void SentRecord::keepUnwritten(std::deque<Pass> &unwritten)
{
    while (!unwritten.empty() && pending_.size() < maxPending) {
        pending_.push_front(std::move(unwritten.back()));
        unwritten.pop_back();
    }
    lost_ += unwritten.size();
    if (!failing_ && lost_ != 0) {
        Diagnostics::out(
            QStringLiteral("#.. Keylark : %1 passes were not recorded while the sent record could not be "
                           "written.")
                .arg(lost_));
        lost_ = 0;
    }
}

int SentRecord::append(QDate day, const QByteArray &bytes)
{
    const QByteArray path = QFile::encodeName(folder_ + QLatin1Char('/') + fileName(day));
    const auto openFile = [&path] {
        return ::open(path.constData(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    };
    int fd = openFile();
    if (fd < 0 && errno == ENOENT) {
        QDir().mkpath(folder_); // where it cannot be made, the second open says why
        fd = openFile();
    }
    if (fd < 0)
        return errno;
    int error = writeWhole(fd, bytes);
    if (::close(fd) != 0 && error == 0)
        error = errno;
    return error;
}

// A file is kept for the number of days set, today included.
void SentRecord::removeOldFiles()
{
    const QDate day = today();
    prunedOn_ = day;
    const QDate oldestKept =
        day.addDays(1 - qint64(KLKSentRecordDaysRange.clamp(store_.intValue(KLKSentRecordDaysKey))));
    static const QRegularExpression name(QStringLiteral("^sent-(\\d{4}-\\d{2}-\\d{2})\\.txt$"));
    const QDir dir(folder_);
    for (const QString &file : dir.entryList({prefix + QLatin1Char('*') + suffix}, QDir::Files)) {
        const QRegularExpressionMatch match = name.match(file);
        if (!match.hasMatch())
            continue;
        const QDate fileDay = QDate::fromString(match.captured(1), Qt::ISODate);
        if (fileDay.isValid() && fileDay < oldestKept)
            QFile::remove(dir.filePath(file));
    }
}

QDate SentRecord::today() const
{
    return (clock_ ? clock_() : QDateTime::currentDateTimeUtc()).toUTC().date();
}
