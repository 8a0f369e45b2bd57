// Morse lookup and keying of arbitrary UTF-8: the worker's whole road for one text (copy into its buffer,
// upper-casing, table lookup, echo, keying) against the test line and a virtual clock, so nothing sleeps.
// Whatever the text, every character is echoed as sent, every element keys down and up once, and the
// line ends key-up with the port closed.
#include "fuzz_check.h"
#include "keying/keying_doubles.h"
#include "keying/line_control.h"
#include "keying/serial_controller.h"
#include "keying/shared_flags.h"
#include "settings/settings_keys.h"
#include "settings/settings_store.h"

#include <QTemporaryDir>

#include <cstdint>
#include <cstring>
#include <memory>

namespace {

struct Fixture
{
    QTemporaryDir dir;
    SettingsStore store{dir.filePath(QStringLiteral("settings.json"))};
    VirtualClock clock;
    RecordingLine line{&clock};
    std::unique_ptr<RecordingConsole> console;
    SerialController *controller = nullptr;

    Fixture()
    {
        store.registerDefaults(registeredDefaults());
        store.setValue(KLKSerialDeviceKey, QStringLiteral("/dev/keylark-fuzz"));
        store.setValue(KLKSerialDTRKey, true);
        store.setValue(KLKSerialRTSKey, true);
        store.setValue(KLKSerialRTSReverseKey, true);
        controller = new SerialController(
            store, [this]() -> ConsoleLog * { return console.get(); }, &line, &clock);
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
    f.line.clear();
    f.console = std::make_unique<RecordingConsole>();
    keying::sendStopFlag = 0;
    keying::G_transmitCount = 0;

    f.controller->sendCWThread(text);

    const QStringList calls = f.console->calls();
    FUZZ_CHECK(!calls.isEmpty() && calls.first().startsWith(u"prompt:"));
    const qsizetype echoed = calls.size() - 1;
    FUZZ_CHECK(echoed <= qsizetype(keying::textBufferSize) - 1 && echoed <= bytes.size());
    FUZZ_CHECK(echoed == bytes.size() || echoed > qsizetype(keying::textBufferSize) - 5);
    int expectedElements = 0;
    for (qsizetype i = 0; i < echoed; ++i) {
        const unsigned char byte = upper(uchar(bytes[i]));
        const QChar shown = byte > 127 ? QChar(QChar::ReplacementCharacter) : QChar(byte);
        FUZZ_CHECK(calls[i + 1] == QStringLiteral("text:") + shown);
        expectedElements += elements(keying::codetable[byte]);
    }

    const std::vector<RecordingLine::Call> sets = f.line.sets();
    FUZZ_CHECK(!sets.empty() && sets.back().bits == keying::rtsdtr_off);
    int downs = 0;
    for (std::size_t i = 0; i < sets.size(); ++i) {
        const bool down = sets[i].bits == keying::rtsdtr_on;
        FUZZ_CHECK(down || sets[i].bits == keying::rtsdtr_off);
        FUZZ_CHECK(!down || (i > 0 && sets[i - 1].bits == keying::rtsdtr_off));
        downs += down;
    }
    FUZZ_CHECK(downs == expectedElements);
    FUZZ_CHECK(f.line.count('o') == 1 && f.line.count('c') == 1 && keying::ser_fd == 0);
    FUZZ_CHECK(keying::G_thread == 0);
    return 0;
}
