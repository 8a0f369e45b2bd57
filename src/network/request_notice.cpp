#include "network/request_notice.h"

namespace {

// What a request that Keylark accepts and ignores would set.
QString ignoredSetting(char letter)
{
    switch (letter) {
    case '3':
        return QStringLiteral("the tone");
    case '6':
        return QStringLiteral("word mode");
    case '9':
        return QStringLiteral("the port (a request no longer in use)");
    case 'b':
        return QStringLiteral("the SSB source");
    case 'e':
        return QStringLiteral("the band output");
    case 'f':
        return QStringLiteral("the sound system");
    default:
        return QStringLiteral("the volume");
    }
}

QString rangeOf(char letter)
{
    switch (letter) {
    case '2':
        return QStringLiteral("a speed of %1 to %2 wpm")
            .arg(RequestParser::lowestSpeed)
            .arg(RequestParser::highestSpeed);
    case '7':
        return QStringLiteral("a weighting of -%1 to %1").arg(KeyingPiece::maxWeighting);
    case 'a':
        return QStringLiteral("1 for PTT on or 0 for off");
    case 'd':
        return QStringLiteral("a PTT delay of 0 to %1 ms").arg(RequestParser::longestPttDelay);
    default:
        return QStringLiteral("0 to %1 seconds of tuning").arg(KeyingPiece::maxTuneSeconds);
    }
}

// A value as received, fit for one diagnostic line whatever bytes it holds.
QString printable(const QByteArray &value)
{
    QString text;
    for (const char byte : value.first(std::min<qsizetype>(value.size(), 16)))
        text += byte >= 32 && byte < 127 ? QChar(byte) : QChar(u'?');
    return value.size() > 16 ? text + QStringLiteral("…") : text;
}

QString letterText(char letter)
{
    return letter >= 32 && letter < 127 ? QString(QChar(letter))
                                        : QStringLiteral("\\x%1").arg(uchar(letter), 2, 16, QChar(u'0'));
}

} // namespace

std::optional<RequestNotice::Notice> RequestNotice::of(const NetworkRequest &request)
{
    using Kind = NetworkRequest::Kind;
    const char letter = request.letter;
    switch (request.kind) {
    case Kind::Exit:
        return Notice{QStringLiteral("5"),
                      QStringLiteral("#.. Keylark : A logger asked Keylark to quit; refused: "
                                     "only the operator quits Keylark.")};
    case Kind::Device:
        return Notice{QStringLiteral("8"),
                      QStringLiteral("#.. Keylark : A logger asked Keylark to key another "
                                     "device; refused: the port is chosen in Preferences.")};
    case Kind::Ignored:
        return Notice{
            QString(QChar(letter)),
            QStringLiteral("#.. Keylark : A logger's request to set %1 was ignored: Keylark keys only "
                           "the line.")
                .arg(ignoredSetting(letter))};
    case Kind::Malformed:
        return Notice{QStringLiteral("bad ") + QChar(letter),
                      QStringLiteral("#.. Keylark : A logger's request ESC \"%1\" with the value \"%2\" was "
                                     "ignored: it takes %3.")
                          .arg(QChar(letter), printable(request.text), rangeOf(letter))};
    case Kind::Unknown:
        return Notice{
            QStringLiteral("unknown ") + letterText(letter),
            letter == 0 ? QStringLiteral("#.. Keylark : A logger's request held nothing after ESC; ignored.")
                        : QStringLiteral("#.. Keylark : A logger's request ESC \"%1\" is unknown; ignored.")
                              .arg(letterText(letter))};
    default:
        return std::nullopt;
    }
}
