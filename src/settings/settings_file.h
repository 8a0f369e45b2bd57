#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QVariant>

#include <nlohmann/json.hpp>

#include <map>
#include <string>

// Keylark's settings file format, read and written: a JSON object whose entries of the five kinds the store
// keeps become values, and whose other entries are kept as found so that they are written back unchanged.
// A date is an object of one entry, "$date", holding its ISO 8601 text.
// The limits are checked by a streaming pass before any tree is built: whatever the file holds, nothing
// that later copies, compares or writes its values can run out of stack or memory.
struct SettingsFile
{
    static constexpr qint64 maxBytes = 16 * 1024 * 1024;
    static constexpr int maxDepth = 64;               // the object itself is level 1
    static constexpr std::size_t maxValues = 100'000; // every number, text, array, object... counts
    static inline const QString dateTag = QStringLiteral("$date");

    // Reads the bytes of a settings file; on any problem no value is taken and problem says why.
    static SettingsFile parse(const QByteArray &bytes);
    // One entry's value as the store keeps it; invalid for a kind Keylark does not use.
    static QVariant fromJson(const nlohmann::json &value);
    // The file's bytes for these values and foreign entries; a value written over a foreign entry of the
    // same key replaces it.
    QByteArray bytes() const;

    QString problem; // empty when the bytes can be used
    QHash<QString, QVariant> values;
    std::map<std::string, nlohmann::json> foreign;
};
