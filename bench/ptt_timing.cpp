// How long PTT is on before the first key-down and after the last key-up, against the lead-in and tail
// set: Keylark's worker on the real clock, the key on DTR and PTT on RTS of a line that records the time of
// every modem-control request. Each row keys a short text KEYLARK_BENCH_TEXTS times (default 20); the stop
// row stops each text in its first element, which cuts the tail to its shortest. The reference keyers of
// fakeline switch no PTT, so there is nothing of theirs to set beside these rows.
#include "keying/keying_line.h"
#include "keying/serial_controller.h"
#include "settings/settings_keys.h"
#include "settings/settings_store.h"
#include "timing_line.h"

#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <sys/ioctl.h>
#include <thread>
#include <vector>

namespace {

struct Spread
{
    double min = 1e9, median = 0, max = -1e9;
};

Spread spreadOf(std::vector<double> values)
{
    Spread s;
    if (values.empty())
        return s;
    std::sort(values.begin(), values.end());
    s.min = values.front();
    s.max = values.back();
    s.median = values[values.size() / 2];
    return s;
}

struct Measured
{
    std::vector<double> leads, tails; // ms
};

// Lead: PTT on to the first key-down after it; tail: the last key-up to PTT off.
Measured measure(const std::vector<Request> &requests)
{
    Measured m;
    bool ptt = false, down = false;
    std::int64_t on = 0, up = 0;
    bool first = false;
    for (const Request &r : requests) {
        const bool pttNow = r.bits & TIOCM_RTS, downNow = r.bits & TIOCM_DTR;
        if (pttNow && !ptt) {
            on = r.at;
            first = true;
        }
        if (downNow && !down && first) {
            m.leads.push_back(double(r.at - on) / 1e6);
            first = false;
        }
        if (!downNow && down)
            up = r.at;
        if (!pttNow && ptt)
            m.tails.push_back(double(r.at - up) / 1e6);
        ptt = pttNow;
        down = downNow;
    }
    return m;
}

std::vector<Request> keyTexts(SettingsStore &store, int texts, bool stop)
{
    TimingLine line;
    SerialController controller(
        store, [] { return nullptr; }, &line);
    for (int i = 0; i < texts; ++i) {
        controller.cwSendString(QStringLiteral("TEST"));
        if (stop) {
            // Into the first element (a dah of 150 ms at 24 wpm), after the lead-in.
            const int lead = store.intValue(KLKPTTLeadKey);
            std::this_thread::sleep_for(std::chrono::milliseconds(lead + 60));
            controller.cwSendStop();
        }
        controller.joinWorkers();
    }
    return line.requests();
}

void printRow(const char *name, int lead, double tail, const Measured &m)
{
    const Spread l = spreadOf(m.leads), t = spreadOf(m.tails);
    std::printf("%-22s %6d %+8.3f %+8.3f %+8.3f   %6.0f %+8.3f %+8.3f %+8.3f   %zu/%zu\n", name, lead,
                l.min - lead, l.median - lead, l.max - lead, tail, t.min - tail, t.median - tail,
                t.max - tail, m.leads.size(), m.tails.size());
    std::fflush(stdout);
}

} // namespace

int main()
{
    const char *textsText = std::getenv("KEYLARK_BENCH_TEXTS");
    const int texts = textsText ? std::max(1, std::atoi(textsText)) : 20;
    QTemporaryDir dir;
    SettingsStore store(dir.filePath(QStringLiteral("settings.json")));
    store.registerDefaults(registeredDefaults());
    store.setValue(KLKWpmKey, 24);
    store.setValue(KLKSerialDTRKey, true);
    store.setValue(KLKSerialPTTKey, QStringLiteral("RTS"));
    store.setValue(KLKSerialDeviceKey, QStringLiteral("/dev/ttyBENCH"));

    QFile loadavg(QStringLiteral("/proc/loadavg"));
    const QByteArray load = loadavg.open(QIODevice::ReadOnly) ? loadavg.readAll().split(' ').value(0) : "?";
    std::printf(
        "PTT lead-in and tail, %d texts a row, key on DTR, PTT on RTS, real clock (load average %s)\n", texts,
        load.constData());
    std::printf("%-22s %6s %8s %8s %8s   %6s %8s %8s %8s   %s\n", "error, ms", "lead", "min", "median", "max",
                "tail", "min", "median", "max", "leads/tails");
    bool met = true;
    struct Row
    {
        const char *name;
        int lead, tail;
        bool stop;
    };
    const Row rows[] = {{"defaults", 50, 200, false},
                        {"short", 5, 160, false},
                        {"long", 500, 2000, false},
                        {"stopped in an element", 50, 200, true}};
    for (const Row &row : rows) {
        store.setValue(KLKPTTLeadKey, row.lead);
        store.setValue(KLKPTTTailKey, row.tail);
        const Measured m = measure(keyTexts(store, row.stop ? texts / 2 + 1 : texts, row.stop));
        const double tail = row.stop ? double(KeyingLine::shortestTail) / 1e6 : row.tail;
        printRow(row.name, row.lead, tail, m);
        const Spread l = spreadOf(m.leads), t = spreadOf(m.tails);
        met = met && !m.leads.empty() && m.leads.size() == m.tails.size() && l.min >= row.lead &&
              l.max < row.lead + 1.0 && t.min >= tail && t.max < tail + 1.0;
    }
    std::printf("target: every lead-in and tail at least its setting and less than 1 ms over it: %s\n",
                met ? "met" : "NOT met");
    return 0;
}
