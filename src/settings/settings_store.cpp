#include "settings/settings_store.h"

#include <QDir>
#include <QReadLocker>
#include <QWriteLocker>

SettingsStore::SettingsStore(const QString &filePath, QObject *parent) : QObject(parent), file_(filePath)
{
    connect(&file_, &SettingsFileKeeper::writeDue, this, &SettingsStore::flush);
    SettingsFile contents = file_.load();
    persistent_ = std::move(contents.values);
    foreign_ = std::move(contents.foreign);
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
    return stored.isValid() ? SettingValue::toText(stored) : QString();
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
    const QVariant normalized = SettingValue::normalized(value);
    {
        QWriteLocker locker(&lock_);
        auto found = persistent_.constFind(key);
        if (found != persistent_.constEnd() && found->metaType() == normalized.metaType() &&
            *found == normalized)
            return;
        persistent_.insert(key, normalized);
        foreign_.erase(key.toStdString());
        cutReported_.remove(key);
        dirty_ = true;
        ++revision_;
    }
    stored(key);
}

void SettingsStore::remove(const QString &key)
{
    {
        QWriteLocker locker(&lock_);
        const bool removed = persistent_.remove(key) > 0 || foreign_.erase(key.toStdString()) > 0;
        if (!removed)
            return;
        dirty_ = true;
        ++revision_;
    }
    stored(key);
}

void SettingsStore::stored(const QString &key)
{
    file_.writeSoon();
    emit changed(key);
}

void SettingsStore::registerDefaults(const QVariantHash &defaults)
{
    {
        QWriteLocker locker(&lock_);
        registered_.clear();
        for (auto it = defaults.constBegin(); it != defaults.constEnd(); ++it)
            registered_.insert(it.key(), SettingValue::normalized(it.value()));
        ++revision_;
    }
    for (auto it = defaults.constBegin(); it != defaults.constEnd(); ++it)
        emit changed(it.key());
}

// Only the copy is made under the lock: the worker reads settings before every element, and building and
// writing the file while holding it would stall the keying.
bool SettingsStore::flush()
{
    if (!file_.isWritable())
        return false;
    SettingsFile contents;
    {
        QWriteLocker locker(&lock_);
        if (!dirty_)
            return true;
        contents.values = persistent_; // shared until the next write
        contents.foreign = foreign_;
        dirty_ = false;
    }
    if (file_.write(contents))
        return true;
    QWriteLocker locker(&lock_);
    dirty_ = true;
    return false;
}
