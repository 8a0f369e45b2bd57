#include "kenwood_stand_in.h"

namespace {

// The answers of a TS-590S on 14.025 MHz in CW, for the commands that only read.
QByteArray readAnswer(const QByteArray &command)
{
    static const std::pair<const char *, const char *> answers[] = {
        {"ID", "ID021;"},         {"PS", "PS1;"},
        {"FV", "FV1.04;"},        {"IF", "IF00014025000      000000003000000000000;"},
        {"AI", "AI0;"},           {"FA", "FA00014025000;"},
        {"FB", "FB00014025000;"}, {"FR", "FR0;"},
        {"FT", "FT0;"},           {"MD", "MD3;"},
        {"DA", "DA0;"},
    };
    for (const auto &[read, reply] : answers) {
        if (command == read)
            return reply;
    }
    return {};
}

QByteArray keyedOf(QByteArray text)
{
    while (text.startsWith(' '))
        text.remove(0, 1);
    const bool spaceAfter = text.endsWith(' ');
    while (text.endsWith(' '))
        text.chop(1);
    return spaceAfter ? text + ' ' : text;
}

} // namespace

KenwoodStandIn::KenwoodStandIn(int capacity) : StandInRadio(capacity)
{
    start();
}

KenwoodStandIn::~KenwoodStandIn()
{
    finish();
}

std::optional<QByteArray> KenwoodStandIn::takeCommand(QByteArray &input)
{
    const qsizetype end = input.indexOf(';');
    if (end < 0)
        return std::nullopt;
    QByteArray command = input.left(end);
    input.remove(0, end + 1);
    return command;
}

QByteArray KenwoodStandIn::answer(const QByteArray &command)
{
    if (command == "KS")
        return "KS" + QByteArray::number(speed()).rightJustified(3, '0') + ';';
    if (command.startsWith("KS")) {
        setSpeed(command.mid(2).toInt());
        return {};
    }
    if (command == "KY")
        return isFull() ? "KY1;" : "KY0;";
    if (command.startsWith("KY ")) {
        takePiece(command.mid(3), keyedOf(command.mid(3)));
        return {};
    }
    if (command.size() > 2 && !readAnswer(command.left(2)).isEmpty())
        return {}; // a set, as FR0 or AI0: no answer
    const QByteArray reply = readAnswer(command);
    return reply.isEmpty() ? QByteArray("?;") : reply;
}
