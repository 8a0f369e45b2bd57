// The WinKeyer service against the tests' stand-in keyer on a pseudo-terminal, keying in real time:
// - send to the first text byte at the keyer, and clear to the clear command at the keyer, over RUNS runs;
// - each sign's echo from the keyer to the service's report of it (the true progress, late by this much).
// Usage: bench_winkeyer_latency
#include "stand_in_winkeyer.h"
#include "winkeyer/winkeyer_protocol.h"
#include "winkeyer/winkeyer_service.h"

#include <QCoreApplication>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int runs = 20;

double ms(Clock::duration duration)
{
    return std::chrono::duration<double, std::milli>(duration).count();
}

template <typename Condition> bool waitFor(Condition condition)
{
    const auto until = Clock::now() + std::chrono::seconds(10);
    while (!condition()) {
        if (Clock::now() > until)
            return false;
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    return true;
}

void printRow(const char *what, std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    if (values.empty()) {
        std::printf("%-40s no result\n", what);
        return;
    }
    std::printf("%-40s n=%-4zu min %7.2f  median %7.2f  max %7.2f ms\n", what, values.size(), values.front(),
                values[values.size() / 2], values.back());
}

// What the keyer saw and what the service told, each with its instant.
struct Times : WinkeyerListener
{
    std::vector<Clock::time_point> at(std::vector<Clock::time_point> &list)
    {
        std::scoped_lock lock(mutex);
        return list;
    }
    void note(std::vector<Clock::time_point> &list)
    {
        std::scoped_lock lock(mutex);
        list.push_back(Clock::now());
    }

    void keyerOpened(int) override { opened = true; }
    void keyerFailed(const QString &) override {}
    void signKeyed(const WinkeyerItem &) override { note(reported); }
    void paddleKeyed(char) override {}
    void statusChanged(WinkeyerStatus) override {}
    void knobMoved(int) override {}
    void textEnded(End) override { ++ended; }

    std::mutex mutex;
    std::vector<Clock::time_point> text, clears, echoes, reported;
    std::atomic<bool> opened{false};
    std::atomic<int> ended{0};
};

// One stand-in keyer serving on a thread of its own, and the service opened on it.
struct Bench
{
    Bench()
    {
        // Once the keyer is open, the host writes the text (behind its speed), a clear (with a request for
        // status) and the status requests of a quiet keyer, each in a write of its own.
        keyer.log = [this](const char *what, const QByteArray &bytes) {
            if (std::string(what) == "keyed")
                times.note(times.echoes);
            else if (!times.opened)
                return;
            else if (bytes.startsWith(char(winkeyer::clearBuffer)))
                times.note(times.clears);
            else if (bytes.contains('T'))
                times.note(times.text);
        };
        server = std::thread([this] { keyer.serve([this] { return !done; }); });
        service.open(keyer.path(), {.wpm = 30});
        waitFor([this] { return times.opened.load(); });
    }
    ~Bench()
    {
        done = true;
        server.join();
    }

    Times times;
    StandInWinkeyer keyer;
    std::atomic<bool> done{false};
    std::thread server;
    WinkeyerService service{times};
};

std::vector<WinkeyerItem> textOf(const char *text)
{
    std::vector<WinkeyerItem> items;
    for (const char *c = text; *c; ++c)
        items.push_back(WinkeyerItem::character(*c));
    return items;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    std::vector<double> toText, toClear, echoToReport;
    for (int run = 0; run < runs; ++run) {
        Bench bench;
        const auto sent = Clock::now();
        bench.service.send(textOf("TEST TEST"));
        if (!waitFor([&] { return bench.times.at(bench.times.reported).size() >= 2; }))
            continue;
        toText.push_back(ms(bench.times.at(bench.times.text).front() - sent));
        const auto cleared = Clock::now();
        bench.service.clear();
        if (waitFor([&] { return !bench.times.at(bench.times.clears).empty(); }))
            toClear.push_back(ms(bench.times.at(bench.times.clears).front() - cleared));
        waitFor([&] { return bench.times.ended > 0; });
        const auto echoes = bench.times.at(bench.times.echoes);
        const auto reported = bench.times.at(bench.times.reported);
        for (std::size_t i = 0; i < echoes.size() && i < reported.size(); ++i)
            echoToReport.push_back(ms(reported[i] - echoes[i]));
    }
    printRow("send to the first text byte at keyer", toText);
    printRow("clear to the clear command at keyer", toClear);
    printRow("keyer's echo to the service's report", echoToReport);
    return 0;
}
