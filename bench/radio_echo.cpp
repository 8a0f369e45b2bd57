// The radio keyer against the tests' stand-in radios, through Hamlib on a pseudo-terminal:
// - send to the first piece at the radio, and stop to the radio's stop (Icom) or to its last piece keyed
//   (Kenwood, which Hamlib cannot stop), each over RUNS runs;
// - a send request of Keylark's (what a key press makes) to the first piece at the radio, through the
//   transmission and its radio output;
// - the estimated echo against the stand-in's own keying of a text of about 60 s: for each character,
//   how far the echo ran ahead of (negative) or behind (positive) the radio.
// Usage: bench_radio_echo [seconds of text, default 60]
#include "icom_stand_in.h"
#include "kenwood_stand_in.h"
#include "keying/transmission.h"
#include "radio/radio_alphabet.h"
#include "radio/radio_keyer.h"
#include "radio/radio_output.h"
#include "settings/settings_keys.h"
#include "settings/settings_store.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int runs = 10;

struct Family
{
    const char *name;
    int model;
    bool stops;
};

double ms(Clock::duration duration)
{
    return std::chrono::duration<double, std::milli>(duration).count();
}

template <typename Condition> bool waitFor(Condition condition, int timeoutMs = 30000)
{
    const auto until = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!condition()) {
        if (Clock::now() > until)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

std::unique_ptr<StandInRadio> standInFor(const Family &family)
{
    if (family.stops)
        return std::make_unique<IcomStandIn>();
    return std::make_unique<KenwoodStandIn>();
}

void printRow(const char *what, const Family &family, std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    if (values.empty()) {
        std::printf("%-34s %-8s no result\n", what, family.name);
        return;
    }
    std::printf("%-34s %-8s n=%-4zu min %8.1f  median %8.1f  max %8.1f ms\n", what, family.name,
                values.size(), values.front(), values[values.size() / 2], values.back());
}

// Opens the family's stand-in at wpm; the keyer's echo instants are written to echoes.
struct Bench
{
    Bench(const Family &family, int wpm) : radio(standInFor(family))
    {
        QObject::connect(
            &keyer, &RadioKeyer::characterKeyed, &keyer,
            [this](quint64, int) {
                std::scoped_lock lock(mutex);
                echoes.push_back(Clock::now());
            },
            Qt::DirectConnection);
        QObject::connect(
            &keyer, &RadioKeyer::textEnded, &keyer, [this](quint64, bool) { ++ended; }, Qt::DirectConnection);
        keyer.setSpeed(wpm);
        keyer.open(RadioConnection::onSerialPort(family.model, radio->path(), 19200));
        waitFor([this] { return keyer.state() == RadioKeyer::State::Ready; });
    }

    std::unique_ptr<StandInRadio> radio;
    RadioKeyer keyer;
    std::mutex mutex;
    std::vector<Clock::time_point> echoes;
    std::atomic<int> ended{0};
};

void latencies(const Family &family)
{
    std::vector<double> toFirstPiece, toStop;
    for (int run = 0; run < runs; ++run) {
        Bench bench(family, 30);
        const auto sent = Clock::now();
        bench.keyer.send("TEST TEST TEST");
        if (!waitFor([&] { return !bench.radio->pieces().empty(); }))
            continue;
        toFirstPiece.push_back(ms(bench.radio->firstPieceAt() - sent));
        waitFor([&] {
            std::scoped_lock lock(bench.mutex);
            return !bench.echoes.empty();
        });
        const auto stopped = Clock::now();
        bench.keyer.stop();
        if (family.stops) {
            if (waitFor([&] { return bench.radio->stops() > 0; }))
                toStop.push_back(ms(Clock::now() - stopped));
        } else if (waitFor([&] { return bench.radio->buffered().isEmpty(); })) {
            toStop.push_back(ms(bench.radio->keyed().back().end - stopped));
        }
    }
    printRow("send to the first piece at radio", family, toFirstPiece);
    printRow(family.stops ? "stop to the radio's stop" : "stop to the last piece keyed", family, toStop);
}

void sendRequests(const Family &family)
{
    QTemporaryDir dir;
    SettingsStore store(dir.filePath(QStringLiteral("settings.json")));
    store.registerDefaults(registeredDefaults());
    store.setValue(KLKWpmKey, 30);
    std::vector<double> toFirstPiece;
    for (int run = 0; run < runs; ++run) {
        const std::unique_ptr<StandInRadio> radio = standInFor(family);
        store.setValue(KLKRadioModelKey, family.model);
        store.setValue(KLKRadioPortKey, radio->path());
        Transmission transmission(store, {});
        auto output =
            std::make_unique<RadioOutput>(store, transmission.clock(), *transmission.elementTimeline());
        RadioKeyer &keyer = output->keyer();
        transmission.attach(std::move(output));
        if (!waitFor([&] { return keyer.state() == RadioKeyer::State::Ready; }))
            continue;
        const auto sent = Clock::now();
        transmission.cwSendString(QStringLiteral("TEST TEST TEST"));
        if (waitFor([&] { return !radio->pieces().empty(); }))
            toFirstPiece.push_back(ms(radio->firstPieceAt() - sent));
        transmission.cwSendStop();
        transmission.joinWorkers();
    }
    printRow("send request to the first piece", family, toFirstPiece);
}

void echo(const Family &family, int seconds)
{
    constexpr int wpm = 25;
    const QByteArray words[] = {"CQ ", "TEST ", "DE ", "K1ABC "};
    QByteArray text;
    for (int i = 0; RadioAlphabet::milliseconds(RadioAlphabet::units(text), wpm) < seconds * 1000.0; ++i)
        text += words[i % 4];
    text.chop(1);
    Bench bench(family, wpm);
    bench.keyer.send(text);
    waitFor([&] { return bench.ended > 0; }, seconds * 2000);
    waitFor([&] { return bench.radio->buffered().isEmpty(); });
    const auto keyed = bench.radio->keyed();
    std::vector<double> offsets;
    std::scoped_lock lock(bench.mutex);
    // The echo names every character, spaces too, and the stand-in keys every one of them.
    for (std::size_t i = 0; i < bench.echoes.size() && i < keyed.size(); ++i)
        offsets.push_back(ms(bench.echoes[i] - keyed[i].end));
    if (bench.echoes.size() != keyed.size())
        std::printf("%zu echoes for %zu characters keyed\n", bench.echoes.size(), keyed.size());
    std::printf("%d characters at %d wpm, %.1f s\n", int(text.size()), wpm,
                RadioAlphabet::milliseconds(RadioAlphabet::units(text), wpm) / 1000.0);
    printRow("echo minus radio, per character", family, offsets);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 60;
    const Family families[] = {{"Kenwood", 2031, false}, {"Icom", 3073, true}};
    for (const Family &family : families) {
        latencies(family);
        sendRequests(family);
    }
    for (const Family &family : families)
        echo(family, seconds);
    return 0;
}
