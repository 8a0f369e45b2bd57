// One datagram as a logger's network client would send it, read by the request parser and queued as the
// service queues a text. Whatever the bytes, a text keys only its own characters (prosigns as their two
// letters), every value stays within its range, and the queue never holds more than its room.
#include "fuzz_check.h"
#include "keying/wait_clock.h"
#include "network/request_parser.h"
#include "network/text_queue.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

constexpr char escape = 27;
constexpr const char *prosignCharacters = "*=<(!&>";
constexpr const char *prosignLetters = "%ARBTSKNSNASBK";

bool printable(int c)
{
    return c >= 32 && c < 127;
}

void checkText(const NetworkRequest &request, const QByteArray &body)
{
    const qsizetype caret = body.indexOf('^');
    FUZZ_CHECK(request.replyWanted == (caret >= 0));
    FUZZ_CHECK(request.text == (caret < 0 ? body : body.first(caret)));
    const QByteArray capitals = request.text.toUpper();
    qsizetype prosigns = 0;
    qsizetype speeds = 0;
    qsizetype halfSpaces = 0;
    qsizetype lineEnds = 0;
    for (const char c : request.text) {
        lineEnds += c == '\r' || c == '\n';
        prosigns += c != '\0' && std::strchr(prosignCharacters, c) != nullptr;
        speeds += c == '+' || c == '-';
        halfSpaces += c == '~';
    }
    qsizetype stepsOfKind[4] = {};
    for (const KeyingStep &step : request.steps) {
        ++stepsOfKind[int(step.kind)];
        if (step.kind == KeyingStep::Kind::Speed)
            FUZZ_CHECK(step.value == RequestParser::speedStep || step.value == -RequestParser::speedStep);
        if (step.kind != KeyingStep::Kind::Character)
            continue;
        FUZZ_CHECK(printable(step.value));
        const char c = char(step.value);
        FUZZ_CHECK(capitals.contains(c) || (prosigns > 0 && std::strchr(prosignLetters, c) != nullptr));
    }
    FUZZ_CHECK(stepsOfKind[int(KeyingStep::Kind::Speed)] == speeds);
    FUZZ_CHECK(stepsOfKind[int(KeyingStep::Kind::HalfSpace)] == halfSpaces);
    FUZZ_CHECK(stepsOfKind[int(KeyingStep::Kind::Tune)] == 0);
    // Every byte is one step, a prosign four, a line end nothing, or left out and counted.
    FUZZ_CHECK(qsizetype(request.steps.size()) ==
               request.text.size() - lineEnds - request.skipped + 3 * prosigns);
}

void checkEscape(const NetworkRequest &request, const QByteArray &body)
{
    using Kind = NetworkRequest::Kind;
    FUZZ_CHECK(request.kind != Kind::Text && request.kind != Kind::Empty);
    FUZZ_CHECK(request.steps.empty());
    FUZZ_CHECK(request.letter == (body.size() > 1 ? body[1] : 0));
    switch (request.kind) {
    case Kind::Speed:
        FUZZ_CHECK(request.value >= RequestParser::lowestSpeed &&
                   request.value <= RequestParser::highestSpeed);
        break;
    case Kind::Weighting:
        FUZZ_CHECK(std::abs(request.value) <= KeyingPiece::maxWeighting);
        break;
    case Kind::Tune:
        FUZZ_CHECK(request.value >= 0 && request.value <= KeyingPiece::maxTuneSeconds);
        break;
    case Kind::Ptt:
        FUZZ_CHECK(request.value == 0 || request.value == 1);
        break;
    case Kind::PttDelay:
        FUZZ_CHECK(request.value >= 0 && request.value <= RequestParser::longestPttDelay);
        break;
    case Kind::Malformed:
        FUZZ_CHECK(request.letter == '2' || request.letter == '7' || request.letter == 'c' ||
                   request.letter == 'a' || request.letter == 'd');
        break;
    default:
        FUZZ_CHECK(request.value == 0);
        break;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static TextQueue *queue =
        new TextQueue(WaitClock::system()); // never destroyed; it fills as a flood would
    const QByteArray datagram(reinterpret_cast<const char *>(data), qsizetype(size));
    const qsizetype zero = datagram.indexOf('\0');
    const QByteArray body = zero < 0 ? datagram : datagram.first(zero);

    const NetworkRequest request = RequestParser::parse(datagram);
    if (body.isEmpty()) {
        FUZZ_CHECK(request.kind == NetworkRequest::Kind::Empty);
        return 0;
    }
    if (body.front() == escape) {
        checkEscape(request, body);
        return 0;
    }
    FUZZ_CHECK(request.kind == NetworkRequest::Kind::Text);
    checkText(request, body);

    const qsizetype before = queue->used();
    const qsizetype cost = request.text.size() + 1;
    const bool taken = queue->push({0, request.steps, 0}, cost);
    FUZZ_CHECK(taken == (cost <= TextQueue::capacity - before));
    FUZZ_CHECK(queue->used() == (taken ? before + cost : before));
    FUZZ_CHECK(queue->used() <= TextQueue::capacity);
    if (!taken)
        queue->dropPieces();
    return 0;
}
