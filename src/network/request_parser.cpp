#include "network/request_parser.h"

#include <charconv>
#include <cstring>
#include <optional>

namespace {

constexpr char escape = 27;

struct Prosign
{
    char character;
    const char *letters;
};

// clang-format off
constexpr Prosign prosigns[] = {
    {'*', "AR"}, {'=', "BT"}, {'<', "SK"}, {'(', "KN"}, {'!', "SN"}, {'&', "AS"}, {'>', "BK"},
};
// clang-format on

// Letters, digits, the space and the punctuation of the international Morse code that no prosign uses.
bool hasMorseSign(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
           (c != '\0' && std::strchr(" .,?/')\":;@_", c) != nullptr);
}

const Prosign *prosignOf(char c)
{
    for (const Prosign &prosign : prosigns) {
        if (prosign.character == c)
            return &prosign;
    }
    return nullptr;
}

NetworkRequest request(NetworkRequest::Kind kind, char letter = 0, int value = 0, const QByteArray &text = {})
{
    NetworkRequest made;
    made.kind = kind;
    made.letter = letter;
    made.value = value;
    made.text = text;
    return made;
}

KeyingStep character(char c)
{
    return {KeyingStep::Kind::Character, int(static_cast<unsigned char>(c))};
}

// A whole number with optional blanks before it and blanks or line ends after it, as clients send them.
std::optional<int> number(const QByteArray &text)
{
    const QByteArray trimmed = text.trimmed();
    const char *begin = trimmed.constData();
    const char *end = begin + trimmed.size();
    if (begin != end && *begin == '+')
        ++begin;
    int value = 0;
    const auto [stop, error] = std::from_chars(begin, end, value);
    if (error != std::errc() || stop != end || begin == end)
        return std::nullopt;
    return value;
}

NetworkRequest numberRequest(NetworkRequest::Kind kind, char letter, const QByteArray &text, int lowest,
                             int highest)
{
    const std::optional<int> value = number(text);
    if (!value || *value < lowest || *value > highest)
        return request(NetworkRequest::Kind::Malformed, letter, 0, text);
    return request(kind, letter, *value);
}

} // namespace

NetworkRequest RequestParser::parse(const QByteArray &datagram)
{
    // A client written in C may send the zero byte that ends its string: nothing after it counts.
    const qsizetype zero = datagram.indexOf('\0');
    const QByteArray body = zero < 0 ? datagram : datagram.first(zero);
    if (body.isEmpty())
        return {};
    if (body.front() == escape)
        return escapeRequest(body.mid(1));
    NetworkRequest text = request(NetworkRequest::Kind::Text);
    const qsizetype caret = body.indexOf('^');
    text.replyWanted = caret >= 0;
    text.text = caret < 0 ? body : body.first(caret);
    text.steps = steps(text.text, &text.skipped);
    return text;
}

NetworkRequest RequestParser::escapeRequest(const QByteArray &body)
{
    using Kind = NetworkRequest::Kind;
    if (body.isEmpty())
        return request(Kind::Unknown);
    const char letter = body.front();
    const QByteArray rest = body.mid(1);
    switch (letter) {
    case '0':
        return request(Kind::Reset, letter);
    case '2':
        return numberRequest(Kind::Speed, letter, rest, lowestSpeed, highestSpeed);
    case '4':
        return request(Kind::Abort, letter);
    case '5':
        return request(Kind::Exit, letter);
    case '7':
        return numberRequest(Kind::Weighting, letter, rest, -KeyingPiece::maxWeighting,
                             KeyingPiece::maxWeighting);
    case '8':
        return request(Kind::Device, letter, 0, rest);
    case 'c':
        return numberRequest(Kind::Tune, letter, rest, 0, KeyingPiece::maxTuneSeconds);
    case 'h':
        return request(Kind::Reply, letter, 0, rest);
    case 'a':
        return numberRequest(Kind::Ptt, letter, rest, 0, 1);
    case 'd':
        return numberRequest(Kind::PttDelay, letter, rest, 0, longestPttDelay);
    case '3': // tone
    case '6': // word mode
    case '9': // port, no longer used by any client
    case 'b': // SSB source
    case 'e': // band output
    case 'f': // sound system
    case 'g': // volume
        return request(Kind::Ignored, letter);
    default:
        return request(Kind::Unknown, letter);
    }
}

std::vector<KeyingStep> RequestParser::steps(const QByteArray &text, int *skipped)
{
    std::vector<KeyingStep> result;
    result.reserve(text.size());
    int left = 0;
    for (const char byte : text) {
        const char c = byte >= 'a' && byte <= 'z' ? char(byte - 'a' + 'A') : byte;
        if (c == '+' || c == '-') {
            result.push_back({KeyingStep::Kind::Speed, c == '+' ? speedStep : -speedStep});
        } else if (c == '~') {
            result.push_back({KeyingStep::Kind::HalfSpace});
        } else if (const Prosign *prosign = prosignOf(c)) {
            // Keylark's join markers key the two letters as one sign.
            for (const char part : {'%', prosign->letters[0], prosign->letters[1], '%'})
                result.push_back(character(part));
        } else if (hasMorseSign(c)) {
            result.push_back(character(c));
        } else if (c != '\r' && c != '\n') { // loggers end their texts with a line end
            ++left;
        }
    }
    if (skipped)
        *skipped = left;
    return result;
}
