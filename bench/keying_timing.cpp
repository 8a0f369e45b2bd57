// How closely the keyed line follows the ideal timeline of whole-millisecond durations, on an idle machine
// and while the process is stalled now and then: Keylark's worker (waits against a schedule) and, in the
// same run, a naive keyer with one relative usleep per wait. Edge errors alone would reward a keyer that
// catches up by shortening elements, so every row also gives the length error of key-downs and gaps.
// KEYLARK_BENCH_SECONDS sets the length of the text (default 60 s at 40 wpm). When the fakeline tool is
// found ($KEYLARK_FAKELINE_DIR, else ../shared/tools/fakeline beside the checkout), its two reference
// keyers are measured on the same text, and its edges.py checks Keylark's recording.
#include "keying/line_control.h"
#include "keying/line_system.h"
#include "keying/serial_controller.h"
#include "settings/settings_keys.h"
#include "settings/settings_store.h"
#include "timing_line.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cmath>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <mutex>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

constexpr int speed = 40;
constexpr double stallMs = 60;

QString fakelineDir()
{
    const QString given = qEnvironmentVariable("KEYLARK_FAKELINE_DIR");
    const QString dir =
        given.isEmpty() ? QStringLiteral(KEYLARK_SOURCE_DIR "/../shared/tools/fakeline") : given;
    return QFile::exists(dir + QStringLiteral("/fakeline.c")) ? QDir(dir).absolutePath() : QString();
}

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
    double median = 0, p99 = 0, max = 0, drift = 0;          // |edge error|, and the error of the last edge
    double downMin = 0, downMax = 0, gapMin = 0, gapMax = 0; // length error of key-downs and gaps
};

Figures compare(const std::vector<Edge> &ideal, const std::vector<Edge> &seen)
{
    Figures f;
    if (ideal.size() < 2 || seen.size() != ideal.size())
        return f;
    std::vector<double> errors;
    for (std::size_t i = 0; i < seen.size(); ++i)
        errors.push_back((seen[i].atMs - seen[0].atMs) - (ideal[i].atMs - ideal[0].atMs));
    f.drift = errors.back();
    f.downMin = f.gapMin = 1e9;
    f.downMax = f.gapMax = -1e9;
    for (std::size_t i = 1; i < seen.size(); ++i) {
        const double e = errors[i] - errors[i - 1];
        double &low = seen[i].down ? f.gapMin : f.downMin;
        double &high = seen[i].down ? f.gapMax : f.downMax;
        low = std::min(low, e);
        high = std::max(high, e);
    }
    for (double &e : errors)
        e = std::fabs(e);
    std::sort(errors.begin(), errors.end());
    const std::size_t n = errors.size();
    f.valid = true;
    f.median = n % 2 ? errors[n / 2] : (errors[n / 2 - 1] + errors[n / 2]) / 2;
    f.p99 = errors[std::size_t(std::max(0.0, std::ceil(0.99 * double(n)) - 1))];
    f.max = errors.back();
    return f;
}

void printHeader()
{
    std::printf("%-36s %8s %8s %8s %9s   %17s %17s\n", "", "|edge|", "", "", "", "key-down length",
                "gap length");
    std::printf("%-36s %8s %8s %8s %9s   %8s %8s %8s %8s\n", "error, ms", "median", "p99", "max", "drift",
                "min", "max", "min", "max");
}

void printRow(const char *name, const Figures &f)
{
    if (!f.valid) {
        std::printf("%-36s  edge count does not match the ideal timeline\n", name);
        return;
    }
    std::printf("%-36s %8.3f %8.3f %8.3f %+9.3f   %+8.3f %+8.3f %+8.3f %+8.3f\n", name, f.median, f.p99,
                f.max, f.drift, f.downMin, f.downMax, f.gapMin, f.gapMax);
    std::fflush(stdout);
}

// A helper process that stops the target now and then, as a busy machine or a storm of page faults does.
// The pauses are uneven, so that the stalls fall on all kinds of element and gap. Only async-signal-safe
// calls run in the child.
class Staller
{
public:
    Staller(pid_t target, double seconds)
    {
        const int count = stalls(seconds);
        const double every = seconds * 0.9 / count;
        std::vector<timespec> pauses;
        for (int i = 0; i < count; ++i) {
            pauses.push_back(timespecOf(every * (0.93 + 0.07 * (i % 3))));
            pauses.push_back(timespecOf(stallMs / 1000));
        }
        child_ = fork();
        if (child_ != 0)
            return;
        for (std::size_t i = 0; i < pauses.size(); i += 2) {
            sleepFor(pauses[i]);
            kill(target, SIGSTOP);
            sleepFor(pauses[i + 1]);
            kill(target, SIGCONT);
        }
        _exit(0);
    }
    ~Staller()
    {
        if (child_ > 0)
            waitpid(child_, nullptr, 0);
    }
    static int stalls(double seconds) { return std::max(1, int(seconds / 5)); }

private:
    static timespec timespecOf(double seconds)
    {
        return {time_t(seconds), long(std::fmod(seconds, 1.0) * 1e9)};
    }
    static void sleepFor(timespec ts)
    {
        while (nanosleep(&ts, &ts) != 0) {
        }
    }

    pid_t child_ = -1;
};

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

std::vector<Request> keyWithKeylark(SettingsStore &store, const QByteArray &text, double stallSeconds)
{
    TimingLine line;
    SerialController controller(
        store, [] { return nullptr; }, &line);
    controller.cwSendString(QString::fromLatin1(text));
    {
        std::unique_ptr<Staller> staller;
        if (stallSeconds > 0)
            staller = std::make_unique<Staller>(getpid(), stallSeconds);
        controller.joinWorkers();
    }
    return line.requests();
}

class Fakeline
{
public:
    Fakeline(const QString &source, const QTemporaryDir &dir, const QByteArray &text)
        : source_(source), dir_(dir), text_(text)
    {
        const QString out = dir.filePath(QStringLiteral("fakeline"));
        QProcess make;
        make.start(QStringLiteral("make"),
                   {QStringLiteral("-s"), QStringLiteral("-C"), source, QStringLiteral("OUT=") + out});
        built_ = make.waitForFinished(120'000) && make.exitCode() == 0;
        out_ = out;
    }

    bool built() const { return built_; }

    Figures edges(const QString &log) const
    {
        QProcess edges;
        edges.start(QStringLiteral("python3"),
                    {source_ + QStringLiteral("/edges.py"), log, QStringLiteral("--text"),
                     QString::fromLatin1(text_), QStringLiteral("--wpm"), QString::number(speed),
                     QStringLiteral("--json")});
        edges.waitForFinished(60'000);
        const QJsonObject r = QJsonDocument::fromJson(edges.readAllStandardOutput()).object();
        Figures f;
        if (!r.contains(QStringLiteral("p99_abs_ms")))
            return f;
        const auto number = [&](const char *key) { return r.value(QLatin1String(key)).toDouble(); };
        f.valid = r.value(QStringLiteral("edges_seen")).toInt() ==
                  r.value(QStringLiteral("edges_expected")).toInt();
        f.median = number("median_abs_ms");
        f.p99 = number("p99_abs_ms");
        f.max = number("max_abs_ms");
        f.drift = number("drift_last_ms");
        f.downMin = number("down_len_min_err_ms");
        f.downMax = number("down_len_max_err_ms");
        f.gapMin = number("gap_len_min_err_ms");
        f.gapMax = number("gap_len_max_err_ms");
        return f;
    }

    // The reference keyer on the emulated line, stalled like Keylark when stallSeconds is not 0.
    Figures refkeyer(const char *mode, double stallSeconds) const
    {
        const QString log =
            dir_.filePath(QStringLiteral("refkeyer-%1-%2.log").arg(mode).arg(stallSeconds > 0));
        QProcess refkeyer;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("LD_PRELOAD"), out_ + QStringLiteral("/libfakeline.so"));
        env.insert(QStringLiteral("FAKELINE_PATH"), QStringLiteral("/dev/ttyFAKE0"));
        env.insert(QStringLiteral("FAKELINE_LOG"), log);
        refkeyer.setProcessEnvironment(env);
        refkeyer.start(out_ + QStringLiteral("/refkeyer"),
                       {QStringLiteral("-m"), QString::fromLatin1(mode), QStringLiteral("-w"),
                        QString::number(speed), QStringLiteral("-d"), QStringLiteral("/dev/ttyFAKE0"),
                        QString::fromLatin1(text_)});
        if (!refkeyer.waitForStarted())
            return {};
        {
            std::unique_ptr<Staller> staller;
            if (stallSeconds > 0)
                staller = std::make_unique<Staller>(pid_t(refkeyer.processId()), stallSeconds);
            refkeyer.waitForFinished(-1);
        }
        return edges(log);
    }

    // Our recording in fakeline's log format, so that its analysis can check ours.
    Figures keylark(const std::vector<Request> &requests, const char *name) const
    {
        QFile file(dir_.filePath(QString::fromLatin1(name)));
        if (!file.open(QIODevice::WriteOnly))
            return {};
        for (const Request &request : requests)
            file.write(QByteArray::number(qint64(request.at)) + " set " + QByteArray::number(request.bits) +
                       '\n');
        file.close();
        return edges(file.fileName());
    }

private:
    QString source_;
    const QTemporaryDir &dir_;
    QByteArray text_;
    QString out_;
    bool built_ = false;
};

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

    Durations d;
    QByteArray text;
    {
        SerialController controller(
            store, [] { return nullptr; }, nullptr);
        controller.output().cwSetWpm(speed);
        d = durationsNow();
    }
    // "PARIS " is 50 dits.
    const double wordMs = 50.0 * double(d.dit);
    text = QByteArray("PARIS ").repeated(int(std::ceil(seconds * 1000.0 / wordMs)) + 1);
    const std::vector<Edge> ideal = idealEdges(text, d);
    const int on = keying::rtsdtr_on;
    const int off = keying::rtsdtr_off;

    std::printf("Keying %lld PARIS words at %d wpm (%.1f s, %zu edges): dit %lld, dah %lld, letter gap %lld, "
                "word-space wait %lld ms. Shared machine: figures are noisy.\n",
                (long long)text.size() / 6, speed, (ideal.back().atMs + double(d.letter)) / 1000.0,
                ideal.size(), (long long)d.dit, (long long)d.dah, (long long)d.letter,
                (long long)d.wordSpace);

    const QString fakelineSource = fakelineDir();
    std::unique_ptr<Fakeline> fakeline;
    if (fakelineSource.isEmpty())
        std::printf("fakeline not found (set KEYLARK_FAKELINE_DIR); the reference keyer rows are skipped\n");
    else {
        fakeline = std::make_unique<Fakeline>(fakelineSource, dir, text);
        if (!fakeline->built()) {
            std::printf("fakeline found at %s but its build failed; the reference keyer rows are skipped\n",
                        qPrintable(fakelineSource));
            fakeline.reset();
        }
    }

    QFile loadavg(QStringLiteral("/proc/loadavg"));
    const QByteArray load = loadavg.open(QIODevice::ReadOnly) ? loadavg.readAll().split(' ').value(0) : "?";
    std::printf("\nNot stalled (load average %s: on a shared machine other programs delay wake-ups too)\n",
                load.constData());
    printHeader();
    const std::vector<Request> scheduled = keyWithKeylark(store, text, 0);
    const Figures ours = compare(ideal, seenEdges(scheduled, on));
    printRow("Keylark worker (schedule)", ours);
    printRow("plain usleep per wait", compare(ideal, seenEdges(keyNaively(text, d, on, off), on)));
    if (fakeline) {
        printRow("Keylark worker (edges.py)", fakeline->keylark(scheduled, "keylark.log"));
        printRow("refkeyer -m abs (fakeline, edges.py)", fakeline->refkeyer("abs", 0));
    }
    std::printf("target on an idle machine: p99 < 0.2 ms, |drift| < 1 ms: %s\n",
                ours.valid && ours.p99 < 0.2 && std::fabs(ours.drift) < 1.0 ? "met" : "NOT met");

    std::printf(
        "\nStalled %d times for %.0f ms by SIGSTOP and SIGCONT from a helper process; a stall lengthens "
        "the element it falls in, it must shorten none\n",
        Staller::stalls(seconds), stallMs);
    printHeader();
    const Figures stalled = compare(ideal, seenEdges(keyWithKeylark(store, text, seconds), on));
    printRow("Keylark worker (schedule)", stalled);
    if (fakeline) {
        printRow("refkeyer -m abs (fakeline, edges.py)", fakeline->refkeyer("abs", seconds));
        printRow("refkeyer -m rel (fakeline, edges.py)", fakeline->refkeyer("rel", seconds));
    }
    std::printf("target under stalls: no key-down or gap shorter by more than 1 ms: %s\n",
                stalled.valid && std::min(stalled.downMin, stalled.gapMin) >= -1.0 ? "met" : "NOT met");
    return ours.valid && stalled.valid ? 0 : 1;
}
