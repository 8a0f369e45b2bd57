#include "icom_stand_in.h"

namespace {

constexpr char preamble = char(0xfe);
constexpr char endOfFrame = char(0xfd);
constexpr char ok = char(0xfb);

int fromBcd(const QByteArray &bytes)
{
    int value = 0;
    for (char byte : bytes)
        value = value * 100 + ((byte >> 4) & 0x0f) * 10 + (byte & 0x0f);
    return value;
}

} // namespace

IcomStandIn::IcomStandIn(int capacity) : StandInRadio(capacity)
{
    start();
}

IcomStandIn::~IcomStandIn()
{
    finish();
}

std::optional<QByteArray> IcomStandIn::takeCommand(QByteArray &input)
{
    const qsizetype end = input.indexOf(endOfFrame);
    if (end < 0)
        return std::nullopt;
    QByteArray frame = input.left(end + 1);
    input.remove(0, end + 1);
    return frame;
}

// A frame is FE FE, the radio's address, the controller's, the command, its data and FD.
QByteArray IcomStandIn::answer(const QByteArray &frame)
{
    if (frame.size() < 6 || frame[0] != preamble || frame[1] != preamble)
        return frame;
    const char command = frame[4];
    const QByteArray data = frame.mid(5, frame.size() - 6);
    const QByteArray head = QByteArray() + preamble + preamble + frame[3] + frame[2];
    auto reply = [&](const QByteArray &body) { return frame + head + body + endOfFrame; };
    if (command == 0x03)
        return reply(QByteArray::fromHex("030050021400"));
    if (command == 0x04)
        return reply(QByteArray::fromHex("040301"));
    if (command == 0x17 && data == QByteArray(1, char(0xff))) {
        stopKeying();
        return reply(QByteArray(1, ok));
    }
    if (command == 0x17) {
        takePiece(data, data);
        return reply(QByteArray(1, ok));
    }
    if (command == 0x14 && data.size() == 3 && data[0] == 0x0c)
        setSpeed(6 + (fromBcd(data.mid(1)) * 42 + 127) / 255); // 0 to 255 for 6 to 48 wpm
    return reply(QByteArray(1, ok));
}
