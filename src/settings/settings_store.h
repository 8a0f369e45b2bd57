#pragma once

#include "settings/setting_value.h"
#include "settings/settings_file_keeper.h"

#include <QHash>
#include <QObject>
#include <QReadWriteLock>
#include <QSet>
#include <QString>
#include <QVariant>

#include <nlohmann/json.hpp>

#include <atomic>
#include <cstdint>
#include <map>

// Keylark's key-value store: a persistent layer kept in a JSON file and a registration layer of defaults
// held in memory. Values keep their kind: QString, qint64, double, bool or QDateTime. Reads and writes of
// one key are atomic against each other from any thread; writes reach the file shortly after, atomically.
class SettingsStore : public QObject
{
    Q_OBJECT

public:
    explicit SettingsStore(const QString &filePath, QObject *parent = nullptr);
    ~SettingsStore() override;

    // $XDG_CONFIG_HOME/Keylark/settings.json, or ~/.config/Keylark/settings.json.
    static QString defaultFilePath();
    QString filePath() const { return file_.filePath(); }

    QVariant value(const QString &key) const; // invalid when absent from both layers
    QVariant persistentValue(const QString &key) const;
    bool contains(const QString &key) const { return value(key).isValid(); }

    QString stringValue(const QString &key) const; // text as is, a number as decimal text, else null
    int intValue(const QString &key) const { return SettingValue::toInt(value(key)); }
    double doubleValue(const QString &key) const { return SettingValue::toDouble(value(key)); }
    bool boolValue(const QString &key) const { return SettingValue::toBool(value(key)); }
    // True only when the persistent layer holds the boolean true itself (1 and "1" do not count).
    bool isTrueByIdentity(const QString &key) const;
    // Grows with every change of a value in either layer: a reader that keeps values may read them again
    // only when it has moved.
    std::uint64_t revision() const { return revision_.load(std::memory_order_acquire); }

    // A stored text stays whole in the store, but what Keylark shows or sends of it is cut at this many
    // UTF-16 units: as many as a transmission carries bytes, and more than any window needs to show.
    static constexpr qsizetype usableTextLength = 4095;
    // The value and the text as Keylark puts them to use: a longer text is cut at a whole character, and
    // notice() carries one information line per key about it.
    QVariant usableValue(const QString &key) const;
    QString usableText(const QString &key) const;

    // Why the settings file found at start could not be used (it was kept aside or left alone), or empty.
    // The line went to standard error at once; the application shows it again once a window exists.
    QString loadProblem() const { return file_.loadProblem(); }

    void setValue(const QString &key, const QVariant &value);
    void remove(const QString &key);
    void registerDefaults(const QVariantHash &defaults);

    // Writes pending changes now; also runs shortly after every change and on destruction.
    bool flush();

signals:
    void changed(const QString &key);
    // An information line for the operator, such as a stored text cut for use; may come from any thread.
    void notice(const QString &line) const;

private:
    void cutForUse(const QString &key, QString &text) const;
    void stored(const QString &key);

    SettingsFileKeeper file_;
    mutable QReadWriteLock lock_;
    QHash<QString, QVariant> persistent_;
    QHash<QString, QVariant> registered_;
    std::map<std::string, nlohmann::json> foreign_; // entries of kinds Keylark does not use, kept as found
    bool dirty_ = false;
    mutable QSet<QString> cutReported_; // keys whose text was cut since it was last set
    std::atomic<std::uint64_t> revision_{0};
};
