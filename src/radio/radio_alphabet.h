#pragma once

#include <QByteArray>

#include <vector>

// The characters the radios' own keyers take over CAT (Kenwood and Elecraft KY, Icom's command 17, Yaesu
// KM/KY), and how long each keys: Keylark estimates from it when each character goes out, since the radio
// keys on its own and says nothing of its progress.
class RadioAlphabet
{
public:
    // At most this many characters go to the radio in one command: Kenwood's KY takes 24.
    static constexpr int longestPiece = 24;

    // Dit lengths of a character and the letter gap after it; 4 more for a space (a word gap is 7); 0 for a
    // character the radio's keyer does not take.
    static int units(char character);
    static bool takes(char character) { return units(character) > 0; }
    // The whole text's length in dits.
    static int units(const QByteArray &text);
    // Milliseconds of the given dit units at a speed in words per minute (PARIS: 50 dits a word).
    static double milliseconds(int units, int wpm);

    // The text cut into the pieces that go to the radio one by one: each a word with the spaces after it,
    // a word longer than a piece cut at the piece's length. Stopping between two pieces stops within a
    // word; the radio's keyer ends each piece with a word gap of its own.
    static std::vector<QByteArray> pieces(const QByteArray &text);
};
