#include "preferences/keying_lines.h"

#include <QCoreApplication>

namespace {

QString level(bool high)
{
    return high ? QCoreApplication::translate("KeyingLines", "high")
                : QCoreApplication::translate("KeyingLines", "low");
}

QString cell(bool high)
{
    const QString colour = high ? QStringLiteral("#15803d") : QStringLiteral("#64748b");
    const QString weight = high ? QStringLiteral("bold") : QStringLiteral("normal");
    return QStringLiteral("<td align=\"center\" style=\"color:%1; font-weight:%2\">%3</td>")
        .arg(colour, weight, level(high));
}

} // namespace

KeyingLines::KeyingLines(bool dtr, bool dtrReverse, bool rts, bool rtsReverse, Ptt ptt, bool pttReverse)
    : dtr_(dtr), dtrReverse_(dtrReverse), rts_(rts), rtsReverse_(rtsReverse), ptt_(ptt),
      pttReverse_(pttReverse)
{
}

QString KeyingLines::summary() const
{
    return QCoreApplication::translate("KeyingLines", "Key up: DTR %1, RTS %2 / Key down: DTR %3, RTS %4")
        .arg(level(dtrKeyUp()), level(rtsKeyUp()), level(dtrKeyDown()), level(rtsKeyDown()));
}

QString KeyingLines::table() const
{
    const QString row = QStringLiteral("<tr><td style=\"padding-right:16px\">%1</td>%2%3</tr>");
    return QStringLiteral("<table cellspacing=\"0\" cellpadding=\"3\">"
                          "<tr><td></td><th width=\"64\">DTR</th><th width=\"64\">RTS</th></tr>") +
           row.arg(QCoreApplication::translate("KeyingLines", "Key up"), cell(dtrKeyUp()), cell(rtsKeyUp())) +
           row.arg(QCoreApplication::translate("KeyingLines", "Key down"), cell(dtrKeyDown()),
                   cell(rtsKeyDown())) +
           QStringLiteral("</table>");
}
