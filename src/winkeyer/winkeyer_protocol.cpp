#include "winkeyer/winkeyer_protocol.h"

namespace {

struct Sign
{
    char character;
    const char *pattern;
};

// Only the signs every WinKeyer generation sends alike; anything else goes as two merged letters.
// clang-format off
const Sign alphabet[] = {
    {'A', ".-"},    {'B', "-..."},  {'C', "-.-."},  {'D', "-.."},   {'E', "."},     {'F', "..-."},
    {'G', "--."},   {'H', "...."},  {'I', ".."},    {'J', ".---"},  {'K', "-.-"},   {'L', ".-.."},
    {'M', "--"},    {'N', "-."},    {'O', "---"},   {'P', ".--."},  {'Q', "--.-"},  {'R', ".-."},
    {'S', "..."},   {'T', "-"},     {'U', "..-"},   {'V', "...-"},  {'W', ".--"},   {'X', "-..-"},
    {'Y', "-.--"},  {'Z', "--.."},
    {'0', "-----"}, {'1', ".----"}, {'2', "..---"}, {'3', "...--"}, {'4', "....-"},
    {'5', "....."}, {'6', "-...."}, {'7', "--..."}, {'8', "---.."}, {'9', "----."},
    {' ', " "},     {'\'', ".----."}, {'(', "-.--."}, {')', "-.--.-"}, {'+', ".-.-."}, {',', "--..--"},
    {'-', "-....-"}, {'.', ".-.-.-"}, {'/', "-..-."}, {':', "---..."}, {'=', "-...-"}, {'?', "..--.."},
};
// clang-format on

} // namespace

const char *winkeyer::patternOf(char character)
{
    if (character >= 'a' && character <= 'z')
        character = char(character - 'a' + 'A');
    for (const Sign &sign : alphabet) {
        if (sign.character == character)
            return sign.pattern;
    }
    return nullptr;
}

WinkeyerStatus WinkeyerStatus::of(std::uint8_t byte)
{
    return {bool(byte & 0x10), bool(byte & 0x08), bool(byte & 0x04), bool(byte & 0x02), bool(byte & 0x01)};
}

std::uint8_t WinkeyerStatus::byte() const
{
    return std::uint8_t(0xC0 | wait << 4 | keyDown << 3 | busy << 2 | breakIn << 1 | int(xoff));
}
