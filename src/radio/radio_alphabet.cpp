#include "radio/radio_alphabet.h"

#include <algorithm>
#include <cstring>

namespace {

// clang-format off
const char *const letters[26] = {
    ".-", "-...", "-.-.", "-..", ".", "..-.", "--.", "....", "..", ".---", "-.-", ".-..", "--",
    "-.", "---", ".--.", "--.-", ".-.", "...", "-", "..-", "...-", ".--", "-..-", "-.--", "--..",
};
const char *const digits[10] = {
    "-----", ".----", "..---", "...--", "....-", ".....", "-....", "--...", "---..", "----.",
};
// The signs every family's keyer takes, in the order of their patterns below.
const char signs[] = "/?.,-=+()':@";
const char *const signPatterns[] = {
    "-..-.", "..--..", ".-.-.-", "--..--", "-....-", "-...-", ".-.-.", "-.--.", "-.--.-", ".----.",
    "---...", ".--.-.",
};
// clang-format on

const char *patternOf(char character)
{
    if (character >= 'A' && character <= 'Z')
        return letters[character - 'A'];
    if (character >= '0' && character <= '9')
        return digits[character - '0'];
    const char *sign = character ? std::strchr(signs, character) : nullptr;
    return sign ? signPatterns[sign - signs] : nullptr;
}

} // namespace

int RadioAlphabet::units(char character)
{
    if (character == ' ')
        return 4;
    const char *pattern = patternOf(character);
    if (!pattern)
        return 0;
    int units = 2; // the letter gap of 3 less the element gap counted after the last element
    for (const char *element = pattern; *element; ++element)
        units += (*element == '-' ? 3 : 1) + 1;
    return units;
}

int RadioAlphabet::units(const QByteArray &text)
{
    int total = 0;
    for (char character : text)
        total += units(character);
    return total;
}

double RadioAlphabet::milliseconds(int units, int wpm)
{
    return units * 1200.0 / std::max(wpm, 1);
}

std::vector<QByteArray> RadioAlphabet::pieces(const QByteArray &text)
{
    std::vector<QByteArray> pieces;
    qsizetype start = 0;
    while (start < text.size()) {
        qsizetype end = start;
        while (end < text.size() && text[end] != ' ' && end - start < longestPiece)
            ++end;
        while (end < text.size() && text[end] == ' ' && end - start < longestPiece)
            ++end;
        pieces.push_back(text.mid(start, end - start));
        start = end;
    }
    return pieces;
}
