// Morse lookup and keying of arbitrary UTF-8: the worker's whole road for one text (copy into its buffer,
// upper-casing, table lookup, echo, keying) against the test line and a virtual clock, so nothing sleeps.
// Whatever the text, every character is echoed as sent, every element keys down and up once, and the
// line ends key-up with the port closed.
#include "fuzz_check.h"
#include "keying/keying_doubles.h"
#include "keying/line_control.h"
#include "keying/line_system.h"
#include "keying/serial_controller.h"
#include "keying/shared_flags.h"
#include "settings/settings_keys.h"
#include "settings/settings_store.h"

#include <QTemporaryDir>

#include <cstdint>
#include <cstring>

namespace {

// The line and the console check as the worker goes, so that a long text costs little more than keying it.
class CheckingLine : public LineSystem
{
public:
    int open(const char *, int) override
    {
        ++opens;
        return 7;
    }
    int duplicate(int fd, int) override { return fd; }
    int getAttributes(int, termios *attributes) override
    {
        *attributes = stored;
        return 0;
    }
    int setAttributes(int, const termios *attributes) override
    {
        stored = *attributes;
        return 0;
    }
    int setModemLines(int, int bits) override
    {
        const bool down = bits == keying::rtsdtr_on;
        FUZZ_CHECK(down || bits == keying::rtsdtr_off);
        FUZZ_CHECK(!down || (last == keying::rtsdtr_off && sets > 0)); // one key-up between two key-downs
        downs += down;
        ++sets;
        last = bits;
        return 0;
    }
    int close(int) override
    {
        ++closes;
        return 0;
    }

    termios stored{};
    int opens = 0, closes = 0, sets = 0, downs = 0, last = -1;
};

class CheckingConsole : public ConsoleLog
{
public:
    void appendText(const QString &text) override { echo += text; }
    void appendPrompt(const QString &) override { prompts += echo.isEmpty() ? 1 : 100; }
    void lineInClear() override { ++clears; }
    void appendPaddlePrompt(const QString &text) override { appendPrompt(text); }
    void appendPaddleText(const QString &text) override { appendText(text); }
    void brokenIn() override {}

    QString echo;
    int prompts = 0, clears = 0;
};

struct Fixture
{
    QTemporaryDir dir;
    SettingsStore store{dir.filePath(QStringLiteral("settings.json"))};
    VirtualClock clock;
    CheckingLine line;
    CheckingConsole console;
    SerialController *controller = nullptr;

    Fixture()
    {
        store.registerDefaults(registeredDefaults());
        store.setValue(KLKSerialDeviceKey, QStringLiteral("/dev/keylark-fuzz"));
        store.setValue(KLKSerialDTRKey, true);
        store.setValue(KLKSerialRTSKey, true);
        store.setValue(KLKSerialRTSReverseKey, true);
        controller = new SerialController(
            store, [this]() -> ConsoleLog * { return &console; }, &line, &clock);
    }
};

Fixture &fixture()
{
    static Fixture *made = new Fixture; // never destroyed: the engine's module state outlives any order
    return *made;
}

unsigned char upper(unsigned char byte)
{
    return byte >= 'a' && byte <= 'z' ? byte - 'a' + 'A' : byte;
}

int elements(const char *pattern)
{
    int count = 0;
    for (; *pattern != '\0'; ++pattern)
        count += *pattern == '.' || *pattern == '-';
    return count;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    Fixture &f = fixture();
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    QByteArray bytes = text.toUtf8();
    bytes.truncate(qsizetype(std::strlen(bytes.constData()))); // the worker's buffer ends at a zero byte
    f.line = CheckingLine();
    f.console = CheckingConsole();
    keying::sendStopFlag = 0;
    keying::G_transmitCount = 0;

    f.controller->sendCWThread(text);

    FUZZ_CHECK(f.console.prompts == 1 && f.console.clears == 0);
    const qsizetype echoed = f.console.echo.size();
    constexpr qsizetype carried = qsizetype(keying::textBufferSize) - 1;
    FUZZ_CHECK(echoed <= carried && echoed <= bytes.size());
    FUZZ_CHECK(echoed == bytes.size() || echoed > carried - 4); // cut only at the last whole character
    int expectedElements = 0;
    for (qsizetype i = 0; i < echoed; ++i) {
        const unsigned char byte = upper(uchar(bytes[i]));
        FUZZ_CHECK(f.console.echo[i] == (byte > 127 ? QChar(QChar::ReplacementCharacter) : QChar(byte)));
        expectedElements += elements(keying::codetable[byte]);
    }
    FUZZ_CHECK(f.line.downs == expectedElements);
    FUZZ_CHECK(f.line.last == keying::rtsdtr_off);
    FUZZ_CHECK(f.line.opens == 1 && f.line.closes == 1 && keying::ser_fd == 0);
    FUZZ_CHECK(keying::G_thread == 0);
    return 0;
}
