// A stand-in WinKeyer for the end-to-end test and the benches: the tests' own keyer on a pseudo-terminal,
// keying in real time.
//
// Usage: keylark_stand_in_winkeyer LINK LOG
// LINK becomes a link to the pseudo-terminal; LOG gets one line per event, "<CLOCK_MONOTONIC ns> host
// <hex>" for the bytes from the host and "<ns> keyed <hex>" for each sign keyed. Commands, one a line on
// standard input: "paddle TEXT", "knob VALUE", "silent", "unplug", "quit" (or the end of the input).
#include "../winkeyer/stand_in_winkeyer.h"

#include <QByteArray>

#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <string>
#include <unistd.h>

namespace {

long long monotonicNs()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec * 1'000'000'000LL + now.tv_nsec;
}

// Applies the commands that have come in whole; false once the input has ended or asked to quit.
bool obey(StandInWinkeyer &keyer, std::string &pending)
{
    char bytes[256];
    const long count = read(STDIN_FILENO, bytes, sizeof bytes);
    if (count == 0)
        return false;
    if (count > 0)
        pending.append(bytes, size_t(count));
    for (std::size_t end; (end = pending.find('\n')) != std::string::npos; pending.erase(0, end + 1)) {
        const std::string line = pending.substr(0, end);
        if (line.rfind("paddle ", 0) == 0)
            keyer.paddle(line.substr(7));
        else if (line.rfind("knob ", 0) == 0)
            keyer.turnKnob(std::stoi(line.substr(5)));
        else if (line == "silent")
            keyer.answer = StandInWinkeyer::Answer::Silent;
        else if (line == "unplug")
            keyer.unplug();
        else if (line == "quit")
            return false;
    }
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s LINK LOG\n", argv[0]);
        return 2;
    }
    FILE *log = std::fopen(argv[2], "a");
    StandInWinkeyer keyer(QString::fromLocal8Bit(argv[1]));
    if (!log || keyer.path().isEmpty()) {
        std::perror("keylark_stand_in_winkeyer");
        return 1;
    }
    keyer.log = [log](const char *what, const QByteArray &bytes) {
        std::fprintf(log, "%lld %s %s\n", monotonicNs(), what, bytes.toHex().constData());
        std::fflush(log);
    };
    fcntl(STDIN_FILENO, F_SETFL, fcntl(STDIN_FILENO, F_GETFL) | O_NONBLOCK);
    std::string pending;
    keyer.serve([&] { return obey(keyer, pending); });
    std::fclose(log);
    return 0;
}
