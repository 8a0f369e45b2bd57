#include "settings/settings_store.h"

#include "settings/settings_file.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QReadLocker>
#include <QSaveFile>
#include <QThread>
#include <QWriteLocker>

#include <algorithm>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdio>

using json = nlohmann::json;

namespace {

constexpr int writeDelayMs = 200;

void warn(const QString &line)
{
    std::fprintf(stderr, "%s\n", line.toLocal8Bit().constData());
    std::fflush(stderr);
}

json toJson(const QVariant &value)
{
    switch (value.metaType().id()) {
    case QMetaType::LongLong:
        return value.toLongLong();
    case QMetaType::Double:
        return value.toDouble();
    case QMetaType::Bool:
        return value.toBool();
    case QMetaType::QDateTime: {
        // Milliseconds only when there are some, so that whole-second dates are written as they always were.
        const QDateTime date = value.toDateTime();
        const auto format = date.time().msec() != 0 ? Qt::ISODateWithMs : Qt::ISODate;
        return json{{SettingsFile::dateTag.toStdString(), date.toString(format).toStdString()}};
    }
    default:
        return value.toString().toStdString();
    }
}

// Brings a value to one of the five kinds the store keeps.
QVariant normalized(const QVariant &value)
{
    switch (value.metaType().id()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::LongLong:
        return value.toLongLong();
    case QMetaType::ULongLong:
    case QMetaType::ULong:
        return value.toULongLong() <= quint64(LLONG_MAX) ? QVariant(value.toLongLong())
                                                         : QVariant(value.toDouble());
    case QMetaType::Float:
    case QMetaType::Double:
        return value.toDouble();
    case QMetaType::Bool:
    case QMetaType::QString:
    case QMetaType::QDateTime:
        return value;
    default:
        return value.toString();
    }
}

const char *skipSpace(const char *p, const char *end)
{
    while (p < end && (*p == ' ' || (*p >= '\t' && *p <= '\r')))
        ++p;
    return p;
}

const char *skipDigits(const char *p, const char *end)
{
    while (p < end && *p >= '0' && *p <= '9')
        ++p;
    return p;
}

int clampToInt(double value)
{
    if (std::isnan(value))
        return 0;
    if (value >= double(INT_MAX))
        return INT_MAX;
    if (value <= double(INT_MIN))
        return INT_MIN;
    return int(value);
}

// The leading decimal integer after optional white space and sign; 0 when there is none.
int leadingInt(const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    const char *end = bytes.constEnd();
    const char *p = skipSpace(bytes.constBegin(), end);
    const bool negative = p < end && *p == '-';
    if (p < end && (*p == '-' || *p == '+'))
        ++p;
    long long magnitude = 0;
    for (; p < end && *p >= '0' && *p <= '9'; ++p)
        magnitude = std::min(magnitude * 10 + (*p - '0'), (long long)INT_MAX + 1);
    return clampToInt(double(negative ? -magnitude : magnitude));
}

// The leading decimal number (digits, fraction, exponent) after optional white space and sign; 0 when
// there is none. Words such as "nan" or "inf" are not numbers here.
double leadingDouble(const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    const char *end = bytes.constEnd();
    const char *p = skipSpace(bytes.constBegin(), end);
    const bool negative = p < end && *p == '-';
    if (p < end && (*p == '-' || *p == '+'))
        ++p;
    const char *start = p;
    p = skipDigits(p, end);
    bool digits = p > start;
    if (p < end && *p == '.') {
        const char *fraction = p + 1;
        p = skipDigits(fraction, end);
        digits = digits || p > fraction;
    }
    if (!digits)
        return 0;
    if (p < end && (*p == 'e' || *p == 'E')) {
        const char *exponent = p + 1;
        if (exponent < end && (*exponent == '-' || *exponent == '+'))
            ++exponent;
        const char *exponentEnd = skipDigits(exponent, end);
        if (exponentEnd > exponent)
            p = exponentEnd;
    }
    double value = 0;
    if (std::from_chars(start, p, value, std::chars_format::general).ec == std::errc::result_out_of_range)
        value = std::find(start, p, '-') != p ? 0.0 : HUGE_VAL; // underflow or overflow, as strtod
    return negative ? -value : value;
}

bool leadingTrue(const QString &text)
{
    int i = 0;
    while (i < text.size() && text.at(i).isSpace())
        ++i;
    if (i < text.size() && (text.at(i) == u'-' || text.at(i) == u'+'))
        ++i;
    while (i < text.size() && text.at(i) == u'0')
        ++i;
    if (i == text.size())
        return false;
    const QChar c = text.at(i);
    return c == u'Y' || c == u'y' || c == u'T' || c == u't' || (c >= u'1' && c <= u'9');
}

} // namespace

SettingsStore::SettingsStore(const QString &filePath, QObject *parent) : QObject(parent), filePath_(filePath)
{
    writeTimer_.setSingleShot(true);
    writeTimer_.setInterval(writeDelayMs);
    connect(&writeTimer_, &QTimer::timeout, this, &SettingsStore::flush);
    load();
}

SettingsStore::~SettingsStore()
{
    flush();
}

QString SettingsStore::defaultFilePath()
{
    QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (base.isEmpty() || QDir::isRelativePath(base))
        base = QDir::homePath() + QStringLiteral("/.config");
    return base + QStringLiteral("/Keylark/settings.json");
}

QVariant SettingsStore::value(const QString &key) const
{
    QReadLocker locker(&lock_);
    auto found = persistent_.constFind(key);
    if (found != persistent_.constEnd())
        return *found;
    return registered_.value(key);
}

QVariant SettingsStore::persistentValue(const QString &key) const
{
    QReadLocker locker(&lock_);
    return persistent_.value(key);
}

QString SettingsStore::stringValue(const QString &key) const
{
    const QVariant stored = value(key);
    if (stored.metaType().id() == QMetaType::QDateTime)
        return {};
    return stored.isValid() ? toText(stored) : QString();
}

bool SettingsStore::isTrueByIdentity(const QString &key) const
{
    const QVariant stored = persistentValue(key);
    return stored.metaType().id() == QMetaType::Bool && stored.toBool();
}

QVariant SettingsStore::usableValue(const QString &key) const
{
    const QVariant stored = value(key);
    if (stored.metaType().id() != QMetaType::QString || stored.toString().size() <= usableTextLength)
        return stored;
    QString text = stored.toString();
    cutForUse(key, text);
    return text;
}

QString SettingsStore::usableText(const QString &key) const
{
    QString text = stringValue(key);
    cutForUse(key, text);
    return text;
}

void SettingsStore::cutForUse(const QString &key, QString &text) const
{
    const qsizetype length = text.size();
    if (length <= usableTextLength)
        return;
    text.truncate(text.at(usableTextLength - 1).isHighSurrogate() ? usableTextLength - 1 : usableTextLength);
    {
        QWriteLocker locker(&lock_);
        if (cutReported_.contains(key))
            return;
        cutReported_.insert(key);
    }
    emit notice(QStringLiteral("#.. Keylark : The text stored under %1 is %2 characters long; Keylark uses "
                               "its first %3.")
                    .arg(key)
                    .arg(length)
                    .arg(text.size()));
}

void SettingsStore::setValue(const QString &key, const QVariant &value)
{
    if (!value.isValid()) {
        remove(key);
        return;
    }
    const QVariant stored = normalized(value);
    {
        QWriteLocker locker(&lock_);
        auto found = persistent_.constFind(key);
        if (found != persistent_.constEnd() && found->metaType() == stored.metaType() && *found == stored)
            return;
        persistent_.insert(key, stored);
        foreign_.erase(key.toStdString());
        cutReported_.remove(key);
        dirty_ = true;
    }
    scheduleWrite();
    emit changed(key);
}

void SettingsStore::remove(const QString &key)
{
    {
        QWriteLocker locker(&lock_);
        const bool removed = persistent_.remove(key) > 0 || foreign_.erase(key.toStdString()) > 0;
        if (!removed)
            return;
        dirty_ = true;
    }
    scheduleWrite();
    emit changed(key);
}

void SettingsStore::registerDefaults(const QVariantHash &defaults)
{
    {
        QWriteLocker locker(&lock_);
        registered_.clear();
        for (auto it = defaults.constBegin(); it != defaults.constEnd(); ++it)
            registered_.insert(it.key(), normalized(it.value()));
    }
    for (auto it = defaults.constBegin(); it != defaults.constEnd(); ++it)
        emit changed(it.key());
}

// Only the copy is made under the lock: the worker reads settings before every element, and building and
// writing the file while holding it would stall the keying.
bool SettingsStore::flush()
{
    QHash<QString, QVariant> persistent;
    std::map<std::string, nlohmann::json> foreign;
    {
        QWriteLocker locker(&lock_);
        if (!dirty_ || !writable_)
            return writable_;
        persistent = persistent_; // shared until the next write
        foreign = foreign_;
        dirty_ = false;
    }
    json document = json::object();
    for (const auto &[key, value] : foreign)
        document[key] = value;
    for (auto it = persistent.constBegin(); it != persistent.constEnd(); ++it)
        document[it.key().toStdString()] = toJson(it.value());
    QDir().mkpath(QFileInfo(filePath_).absolutePath());
    QSaveFile file(filePath_);
    const std::string text = document.dump(2) + "\n";
    if (file.open(QIODevice::WriteOnly) &&
        file.write(text.data(), qint64(text.size())) == qint64(text.size()) && file.commit())
        return true;
    warn(QStringLiteral(
             "Keylark: could not write the settings file %1 (%2); will try again on the next change.")
             .arg(filePath_, file.errorString()));
    QWriteLocker locker(&lock_);
    dirty_ = true;
    return false;
}

void SettingsStore::load()
{
    QFile file(filePath_);
    if (!file.exists())
        return;
    if (!QFileInfo(file).isFile()) {
        moveAsideCorrupt(QStringLiteral("not a regular file")); // a pipe, say, could block the start
        return;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        writable_ = false;
        reportLoadProblem(QStringLiteral("Keylark: could not read the settings file %1 (%2); starting on the "
                                         "defaults and leaving the file untouched.")
                              .arg(filePath_, file.errorString()));
        return;
    }
    // One byte past the limit is enough to know the file is too large, whatever its size claims to be.
    SettingsFile contents = SettingsFile::parse(file.read(SettingsFile::maxBytes + 1));
    file.close();
    if (!contents.problem.isEmpty()) {
        moveAsideCorrupt(contents.problem);
        return;
    }
    persistent_ = std::move(contents.values);
    foreign_ = std::move(contents.foreign);
}

void SettingsStore::moveAsideCorrupt(const QString &reason)
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

void SettingsStore::reportLoadProblem(const QString &line)
{
    loadProblem_ = line;
    warn(line);
}

void SettingsStore::scheduleWrite()
{
    if (!QCoreApplication::instance())
        return; // no event loop to write from: flush() or the destructor writes
    if (QThread::currentThread() == thread()) {
        if (!writeTimer_.isActive())
            writeTimer_.start();
        return;
    }
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (!writeTimer_.isActive())
                writeTimer_.start();
        },
        Qt::QueuedConnection);
}

int SettingsStore::toInt(const QVariant &value)
{
    switch (value.metaType().id()) {
    case QMetaType::LongLong:
    case QMetaType::Int:
        return clampToInt(double(value.toLongLong()));
    case QMetaType::Double:
        return clampToInt(value.toDouble());
    case QMetaType::Bool:
        return value.toBool() ? 1 : 0;
    case QMetaType::QString:
        return leadingInt(value.toString());
    default:
        return 0;
    }
}

double SettingsStore::toDouble(const QVariant &value)
{
    switch (value.metaType().id()) {
    case QMetaType::LongLong:
    case QMetaType::Int:
    case QMetaType::Double:
        return value.toDouble();
    case QMetaType::Bool:
        return value.toBool() ? 1 : 0;
    case QMetaType::QString:
        return leadingDouble(value.toString());
    default:
        return 0;
    }
}

bool SettingsStore::toBool(const QVariant &value)
{
    switch (value.metaType().id()) {
    case QMetaType::LongLong:
    case QMetaType::Int:
        return value.toLongLong() != 0;
    case QMetaType::Double:
        return value.toDouble() != 0;
    case QMetaType::Bool:
        return value.toBool();
    case QMetaType::QString:
        return leadingTrue(value.toString());
    default:
        return false;
    }
}

QString SettingsStore::toText(const QVariant &value)
{
    switch (value.metaType().id()) {
    case QMetaType::Double:
        return QString::number(value.toDouble(), 'g', QLocale::FloatingPointShortest);
    case QMetaType::Bool:
        return value.toBool() ? QStringLiteral("1") : QStringLiteral("0");
    case QMetaType::QDateTime:
        return value.toDateTime().toString(Qt::ISODate);
    default:
        return value.toString();
    }
}
