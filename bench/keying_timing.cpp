// How closely the keyed edges follow the ideal timeline of whole-millisecond durations: Keylark's worker
// (waits against a schedule) and, in the same run, a naive keyer with one relative usleep per wait.
// KEYLARK_BENCH_SECONDS sets the length of the text (default 60 s at 40 wpm). When the fakeline tool is
// found, its reference keyer is measured on the same text for comparison.
#include "keying/line_control.h"
#include "keying/line_system.h"
#include "keying/serial_controller.h"
#include "settings/settings_keys.h"
#include "settings/settings_store.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <mutex>
#include <sys/prctl.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

constexpr int speed = 40;
// The measuring tools that sit beside the checkout, when they are there.
const QString fakelineDir = QStringLiteral(KEYLARK_SOURCE_DIR "/../shared/tools/fakeline");

std::int64_t monotonicNow()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return std::int64_t(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

struct Request
{
    std::int64_t at; // ns, CLOCK_MONOTONIC
    int bits;
};

// Records every modem-control request with its time; opens and closes nothing.
class TimingLine : public LineSystem
{
public:
    TimingLine() { requests_.reserve(1 << 16); }
    int open(const char *, int) override { return 3; }
    int duplicate(int fd, int) override { return fd; }
    int getAttributes(int, termios *attributes) override
    {
        *attributes = termios{};
        return 0;
    }
    int setAttributes(int, const termios *) override { return 0; }
    int setModemLines(int, int bits) override
    {
        const std::int64_t at = monotonicNow();
        std::scoped_lock lock(mutex_);
        requests_.push_back({at, bits});
        return 0;
    }
    int close(int) override { return 0; }
    std::vector<Request> requests() const
    {
        std::scoped_lock lock(mutex_);
        return requests_;
    }

private:
    mutable std::mutex mutex_;
    std::vector<Request> requests_;
};

struct Edge
{
    double atMs;
    bool down;
};

struct Durations
{
    std::int64_t dit, dah, intra, letter, wordSpace;
};

Durations durationsNow()
{
    using namespace keying;
    return {wholeMilliseconds(dit_time), wholeMilliseconds(dah_time), wholeMilliseconds(intra_time),
            wholeMilliseconds(letter_time), wholeMilliseconds(word_time - letter_time)};
}

// The edges of the text as the durations say, from its first key-down.
std::vector<Edge> idealEdges(const QByteArray &text, const Durations &d)
{
    std::vector<Edge> edges;
    double t = 0;
    for (const char byte : text) {
        const std::string pattern = keying::codetable[uchar(byte)];
        if (pattern == " ") {
            t += double(d.wordSpace);
            continue;
        }
        for (std::size_t i = 0; i < pattern.size(); ++i) {
            edges.push_back({t, true});
            t += double(pattern[i] == '.' ? d.dit : d.dah);
            edges.push_back({t, false});
            if (i + 1 < pattern.size())
                t += double(d.intra);
        }
        t += double(d.letter);
    }
    return edges;
}

std::vector<Edge> seenEdges(const std::vector<Request> &requests, int on)
{
    std::vector<Edge> edges;
    int state = -1;
    for (const Request &request : requests) {
        if (request.bits != state && state != -1)
            edges.push_back({double(request.at) / 1e6, request.bits == on});
        state = request.bits;
    }
    return edges;
}

struct Figures
{
    bool valid = false;
    std::size_t edges = 0;
    double median = 0, p99 = 0, max = 0, drift = 0;
};

Figures compare(const std::vector<Edge> &ideal, const std::vector<Edge> &seen)
{
    Figures f;
    if (ideal.empty() || seen.size() != ideal.size())
        return f;
    std::vector<double> errors;
    for (std::size_t i = 0; i < seen.size(); ++i)
        errors.push_back((seen[i].atMs - seen[0].atMs) - (ideal[i].atMs - ideal[0].atMs));
    f.drift = errors.back();
    for (double &e : errors)
        e = std::fabs(e);
    std::sort(errors.begin(), errors.end());
    const std::size_t n = errors.size();
    f.valid = true;
    f.edges = n;
    f.median = n % 2 ? errors[n / 2] : (errors[n / 2 - 1] + errors[n / 2]) / 2;
    f.p99 = errors[std::size_t(std::max(0.0, std::ceil(0.99 * double(n)) - 1))];
    f.max = errors.back();
    return f;
}

void printRow(const char *name, const Figures &f)
{
    if (!f.valid) {
        std::printf("%-34s  edge count does not match the ideal timeline\n", name);
        return;
    }
    std::printf("%-34s %8.3f %8.3f %8.3f %+9.3f\n", name, f.median, f.p99, f.max, f.drift);
}

// A plain keyer: one relative usleep per wait, the same patterns and durations.
std::vector<Request> keyNaively(const QByteArray &text, const Durations &d, int on, int off)
{
    TimingLine line;
    std::thread worker([&] {
        prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
        const auto wait = [](std::int64_t ms) {
            if (ms > 0)
                usleep(useconds_t(ms * 1000));
        };
        line.setModemLines(3, off);
        for (const char byte : text) {
            const std::string pattern = keying::codetable[uchar(byte)];
            if (pattern == " ") {
                wait(d.wordSpace);
                continue;
            }
            for (std::size_t i = 0; i < pattern.size(); ++i) {
                line.setModemLines(3, on);
                wait(pattern[i] == '.' ? d.dit : d.dah);
                line.setModemLines(3, off);
                if (i + 1 < pattern.size())
                    wait(d.intra);
            }
            wait(d.letter);
        }
    });
    worker.join();
    return line.requests();
}

QJsonObject runEdgesScript(const QString &log, const QByteArray &text)
{
    QProcess edges;
    edges.start(QStringLiteral("python3"),
                {fakelineDir + QStringLiteral("/edges.py"), log, QStringLiteral("--text"),
                 QString::fromLatin1(text), QStringLiteral("--wpm"), QString::number(speed),
                 QStringLiteral("--json")});
    edges.waitForFinished(60'000);
    return QJsonDocument::fromJson(edges.readAllStandardOutput()).object();
}

Figures fromEdgesScript(const QJsonObject &result)
{
    Figures f;
    if (!result.contains(QStringLiteral("p99_abs_ms")))
        return f;
    f.valid = result.value(QStringLiteral("edges_seen")).toInt() ==
              result.value(QStringLiteral("edges_expected")).toInt();
    f.edges = std::size_t(result.value(QStringLiteral("edges_compared")).toInt());
    f.median = result.value(QStringLiteral("median_abs_ms")).toDouble();
    f.p99 = result.value(QStringLiteral("p99_abs_ms")).toDouble();
    f.max = result.value(QStringLiteral("max_abs_ms")).toDouble();
    f.drift = result.value(QStringLiteral("drift_last_ms")).toDouble();
    return f;
}

// Our recording in fakeline's log format, so that its analysis can check ours.
QString writeFakelineLog(const QString &path, const std::vector<Request> &requests)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return {};
    for (const Request &request : requests)
        file.write(QByteArray::number(qint64(request.at)) + " set " + QByteArray::number(request.bits) +
                   '\n');
    return path;
}

void measureReferenceKeyer(const QTemporaryDir &dir, const QByteArray &text)
{
    const QString out = dir.filePath(QStringLiteral("fakeline"));
    QProcess make;
    make.start(QStringLiteral("make"),
               {QStringLiteral("-s"), QStringLiteral("-C"), fakelineDir, QStringLiteral("OUT=") + out});
    if (!make.waitForFinished(120'000) || make.exitCode() != 0) {
        std::printf("(fakeline found but its build failed; reference keyer skipped)\n");
        return;
    }
    const QString log = dir.filePath(QStringLiteral("refkeyer.log"));
    QProcess refkeyer;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("LD_PRELOAD"), out + QStringLiteral("/libfakeline.so"));
    env.insert(QStringLiteral("FAKELINE_PATH"), QStringLiteral("/dev/ttyFAKE0"));
    env.insert(QStringLiteral("FAKELINE_LOG"), log);
    refkeyer.setProcessEnvironment(env);
    refkeyer.start(out + QStringLiteral("/refkeyer"),
                   {QStringLiteral("-m"), QStringLiteral("abs"), QStringLiteral("-w"), QString::number(speed),
                    QStringLiteral("-d"), QStringLiteral("/dev/ttyFAKE0"), QString::fromLatin1(text)});
    refkeyer.waitForFinished(-1);
    printRow("refkeyer -m abs (fakeline, edges.py)", fromEdgesScript(runEdgesScript(log, text)));
}

} // namespace

int main()
{
    const char *secondsText = std::getenv("KEYLARK_BENCH_SECONDS");
    const double seconds = secondsText ? std::max(1.0, std::atof(secondsText)) : 60.0;
    QTemporaryDir dir;
    SettingsStore store(dir.filePath(QStringLiteral("settings.json")));
    store.registerDefaults(registeredDefaults());
    store.setValue(KLKWpmKey, speed);
    store.setValue(KLKSerialDTRKey, true);
    store.setValue(KLKSerialDeviceKey, QStringLiteral("/dev/ttyBENCH"));

    TimingLine line;
    SerialController controller(
        store, [] { return nullptr; }, &line);
    controller.cwSetWpm(speed);
    const Durations d = durationsNow();
    // "PARIS " is 50 dits.
    const double wordMs = 50.0 * double(d.dit);
    const QByteArray text = QByteArray("PARIS ").repeated(int(std::ceil(seconds * 1000.0 / wordMs)) + 1);
    const std::vector<Edge> ideal = idealEdges(text, d);

    std::printf("Keying %lld PARIS words at %d wpm (%.1f s, %zu edges): dit %lld, dah %lld, letter gap %lld, "
                "word-space wait %lld ms\n",
                (long long)text.size() / 6, speed, (ideal.back().atMs + double(d.letter)) / 1000.0,
                ideal.size(), (long long)d.dit, (long long)d.dah, (long long)d.letter,
                (long long)d.wordSpace);
    std::fflush(stdout);

    controller.cwSendString(QString::fromLatin1(text));
    controller.joinWorkers();
    const std::vector<Request> scheduled = line.requests();
    const std::vector<Request> naive = keyNaively(text, d, keying::rtsdtr_on, keying::rtsdtr_off);

    std::printf("\n|error| against the ideal timeline, ms %21s median      p99      max     drift\n", "");
    const Figures ours = compare(ideal, seenEdges(scheduled, keying::rtsdtr_on));
    const Figures plain = compare(ideal, seenEdges(naive, keying::rtsdtr_on));
    printRow("Keylark worker (schedule)", ours);
    printRow("plain usleep per wait", plain);
    if (ours.valid && plain.valid && ours.p99 > 0 && ours.max > 0) {
        std::printf("%-34s %8s %8.1fx %7.1fx %8.1fx\n", "usleep / schedule", "", plain.p99 / ours.p99,
                    plain.max / ours.max, std::fabs(plain.drift) / std::max(std::fabs(ours.drift), 0.001));
    }
    std::printf("target for the schedule: p99 < 0.2 ms, |drift| < 1 ms: %s\n",
                ours.valid && ours.p99 < 0.2 && std::fabs(ours.drift) < 1.0 ? "met" : "NOT met");

    if (QDir(fakelineDir).exists()) {
        const QString log = writeFakelineLog(dir.filePath(QStringLiteral("keylark.log")), scheduled);
        printRow("Keylark worker (edges.py)", fromEdgesScript(runEdgesScript(log, text)));
        measureReferenceKeyer(dir, text);
    }
    return ours.valid ? 0 : 1;
}
