#include "settings/settings_file.h"

#include <QDateTime>

#include <climits>

using json = nlohmann::json;

namespace {

// Walks the document without building it and stops at the first value beyond the limits.
class LimitCheck : public nlohmann::json_sax<json>
{
public:
    QString problem;

    bool null() override { return count(); }
    bool boolean(bool) override { return count(); }
    bool number_integer(number_integer_t) override { return count(); }
    bool number_unsigned(number_unsigned_t) override { return count(); }
    bool number_float(number_float_t, const string_t &) override { return count(); }
    bool string(string_t &) override { return count(); }
    bool binary(binary_t &) override { return count(); }
    bool start_object(std::size_t) override { return enter(); }
    bool key(string_t &) override { return true; }
    bool end_object() override { return leave(); }
    bool start_array(std::size_t) override { return enter(); }
    bool end_array() override { return leave(); }
    bool parse_error(std::size_t position, const std::string &, const nlohmann::detail::exception &) override
    {
        problem = QStringLiteral("not valid JSON: error at byte %1").arg(position);
        return false;
    }

private:
    bool count()
    {
        if (++values_ <= SettingsFile::maxValues)
            return true;
        problem = QStringLiteral("more than %1 values").arg(SettingsFile::maxValues);
        return false;
    }
    bool enter()
    {
        if (++depth_ <= SettingsFile::maxDepth)
            return count();
        problem = QStringLiteral("nested deeper than %1 levels").arg(SettingsFile::maxDepth);
        return false;
    }
    bool leave()
    {
        --depth_;
        return true;
    }

    int depth_ = 0;
    std::size_t values_ = 0;
};

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

} // namespace

SettingsFile SettingsFile::parse(const QByteArray &bytes)
{
    SettingsFile file;
    if (bytes.size() > maxBytes) {
        file.problem = QStringLiteral("larger than %1 MiB").arg(maxBytes / (1024 * 1024));
        return file;
    }
    LimitCheck check;
    if (!json::sax_parse(bytes.constBegin(), bytes.constEnd(), &check)) {
        file.problem = check.problem.isEmpty() ? QStringLiteral("not valid JSON") : check.problem;
        return file;
    }
    json document = json::parse(bytes.constBegin(), bytes.constEnd(), nullptr, false);
    if (!document.is_object()) {
        file.problem =
            document.is_discarded() ? QStringLiteral("not valid JSON") : QStringLiteral("not a JSON object");
        return file;
    }
    for (const auto &[key, entry] : document.items()) {
        const QVariant value = fromJson(entry);
        if (value.isValid())
            file.values.insert(QString::fromStdString(key), value);
        else
            file.foreign.emplace(key, std::move(entry));
    }
    return file;
}

QVariant SettingsFile::fromJson(const json &value)
{
    switch (value.type()) {
    case json::value_t::string:
        return QString::fromStdString(value.get<std::string>());
    case json::value_t::number_integer:
        return qint64(value.get<std::int64_t>());
    case json::value_t::number_unsigned:
        return value.get<std::uint64_t>() <= std::uint64_t(LLONG_MAX)
                   ? QVariant(qint64(value.get<std::uint64_t>()))
                   : QVariant(value.get<double>());
    case json::value_t::number_float:
        return value.get<double>();
    case json::value_t::boolean:
        return value.get<bool>();
    case json::value_t::object:
        if (value.size() == 1 && value.contains(dateTag.toStdString()) && value.begin()->is_string()) {
            const auto date = QDateTime::fromString(QString::fromStdString(value.begin()->get<std::string>()),
                                                    Qt::ISODateWithMs);
            if (date.isValid())
                return date;
        }
        return {};
    default:
        return {};
    }
}

QByteArray SettingsFile::bytes() const
{
    json document = json::object();
    for (const auto &[key, value] : foreign)
        document[key] = value;
    for (const auto &[key, value] : values.asKeyValueRange())
        document[key.toStdString()] = toJson(value);
    const std::string text = document.dump(2) + "\n";
    return QByteArray(text.data(), qsizetype(text.size()));
}
