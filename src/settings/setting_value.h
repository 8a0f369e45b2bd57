#pragma once

#include <QString>
#include <QTime>
#include <QVariant>

// The rules by which every reader turns a stored value into what it needs, whatever kind the value was
// stored as: a number, a text, a boolean or a date. They are lenient: text is read as far as it makes
// sense and the rest ignored, nothing fails and nothing is out of range of the result.
namespace SettingValue {

int toInt(const QVariant &value);       // a leading integer of a text; clamped to int
double toDouble(const QVariant &value); // a leading decimal number of a text
bool toBool(const QVariant &value);     // a text is true when it begins with y, t or a digit 1-9
QString toText(const QVariant &value);  // numbers as decimal text, a boolean as 1 or 0

// The value as one of the five kinds the store keeps: QString, qint64, double, bool or QDateTime.
QVariant normalized(const QVariant &value);

// The time of day a greeting boundary ("dayOfGm", "dayOfGa", "dayOfGe") stands for: hour and minute as
// written in its text form (a date in the local zone); 00:00 when it cannot be read.
QTime boundaryTime(const QVariant &stored);

} // namespace SettingValue
