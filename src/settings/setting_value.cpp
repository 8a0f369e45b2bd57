#include "settings/setting_value.h"

#include <QDateTime>
#include <QLocale>
#include <QRegularExpression>

#include <algorithm>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdlib>

namespace {

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

QString twoDigits(int value)
{
    return QStringLiteral("%1").arg(value, 2, 10, QLatin1Char('0'));
}

// A boundary's text form: year-month-day hour:minute:second and a numeric zone offset. A date is
// written in the local zone; any other value as its plain text.
QString boundaryText(const QVariant &value)
{
    if (value.metaType().id() != QMetaType::QDateTime)
        return SettingValue::toText(value);
    const QDateTime local = value.toDateTime().toLocalTime();
    if (!local.isValid())
        return {};
    const int offsetMinutes = local.offsetFromUtc() / 60;
    const QChar sign = offsetMinutes < 0 ? u'-' : u'+';
    const int magnitude = std::abs(offsetMinutes);
    return local.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss ")) + sign + twoDigits(magnitude / 60) +
           twoDigits(magnitude % 60);
}

// Hour and minute exactly as written in the text form, whatever its zone; 00:00 when unreadable.
int minuteOfText(const QString &text)
{
    static const QRegularExpression form(
        QStringLiteral("^([0-9]{4})-([0-9]{2})-([0-9]{2}) ([0-9]{2}):([0-9]{2}):([0-9]{2}) [+-][0-9]{4}$"));
    const QRegularExpressionMatch match = form.match(text);
    if (!match.hasMatch())
        return 0;
    const auto field = [&match](int index) { return match.captured(index).toInt(); };
    const QTime time(field(4), field(5), field(6));
    if (!QDate(field(1), field(2), field(3)).isValid() || !time.isValid())
        return 0;
    return time.hour() * 60 + time.minute();
}

} // namespace

namespace SettingValue {

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

int toInt(const QVariant &value)
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

double toDouble(const QVariant &value)
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

bool toBool(const QVariant &value)
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

QString toText(const QVariant &value)
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

QTime boundaryTime(const QVariant &stored)
{
    const int minute = minuteOfText(boundaryText(stored));
    return QTime(minute / 60, minute % 60);
}

} // namespace SettingValue
