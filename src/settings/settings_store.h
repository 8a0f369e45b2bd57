#pragma once

#include <QHash>
#include <QObject>
#include <QReadWriteLock>
#include <QString>
#include <QTimer>
#include <QVariant>

#include <nlohmann/json.hpp>

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
    QString filePath() const { return filePath_; }

    QVariant value(const QString &key) const; // invalid when absent from both layers
    QVariant persistentValue(const QString &key) const;
    bool contains(const QString &key) const { return value(key).isValid(); }

    QString stringValue(const QString &key) const; // text as is, a number as decimal text, else null
    int intValue(const QString &key) const { return toInt(value(key)); }
    double doubleValue(const QString &key) const { return toDouble(value(key)); }
    bool boolValue(const QString &key) const { return toBool(value(key)); }
    // True only when the persistent layer holds the boolean true itself (1 and "1" do not count).
    bool isTrueByIdentity(const QString &key) const;

    void setValue(const QString &key, const QVariant &value);
    void remove(const QString &key);
    void registerDefaults(const QVariantHash &defaults);

    // Writes pending changes now; also runs shortly after every change and on destruction.
    bool flush();

    // The conversion rules every reader follows.
    static int toInt(const QVariant &value);
    static double toDouble(const QVariant &value);
    static bool toBool(const QVariant &value);
    static QString toText(const QVariant &value);

signals:
    void changed(const QString &key);

private:
    void load();
    void moveAsideCorrupt(const QString &reason);
    void scheduleWrite();

    QString filePath_;
    mutable QReadWriteLock lock_;
    QHash<QString, QVariant> persistent_;
    QHash<QString, QVariant> registered_;
    std::map<std::string, nlohmann::json> foreign_; // entries of kinds Keylark does not use, kept as found
    bool dirty_ = false;
    bool writable_ = true; // false when the file on disk could not be read: never overwrite it
    QTimer writeTimer_;
};
