#include "console/console_fixture.h"
#include "eventually.h"
#include "keying/diagnostics.h"

#include <QAccessible>
#include <QAccessibleInterface>
#include <QtGui/private/qguiapplication_p.h>
#include <qpa/qplatformaccessibility.h>
#include <qpa/qplatformintegration.h>

#include <functional>
#include <thread>

namespace {

struct Heard
{
    bool alert;
    QString text;
    bool operator==(const Heard &) const = default;
};

void PrintTo(const Heard &heard, std::ostream *out)
{
    *out << (heard.alert ? "alert: " : "polite: ") << heard.text.toStdString();
}

// What a screen reader is told through the console's announcement regions: each region that reports itself
// shown, with the name it has then.
std::vector<Heard> heard;

void recordEvent(QAccessibleEvent *event)
{
    if (event->type() != QAccessible::ObjectShow)
        return;
    QAccessibleInterface *node = event->accessibleInterface();
    if (!node || (node->role() != QAccessible::Notification && node->role() != QAccessible::AlertMessage))
        return;
    heard.push_back({node->role() == QAccessible::AlertMessage, node->text(QAccessible::Name)});
}

class AnnouncementTest;

struct Scenario
{
    const char *name;
    std::function<void(AnnouncementTest &)> act;
    std::vector<Heard> expected;
};

void PrintTo(const Scenario &scenario, std::ostream *out)
{
    *out << scenario.name;
}

class AnnouncementTest : public ConsoleFixture, public ::testing::WithParamInterface<Scenario>
{
protected:
    void prepareStore() override
    {
        store->setValue(messageKey(QStringLiteral("messageG1"), 1), QStringLiteral("tu $M"));
        store->setValue(labelKey(QStringLiteral("messageG1"), 1), QStringLiteral("TU"));
        store->setValue(globalMacroKey(u'M'), QStringLiteral("ab1cd"));
        store->setValue(KLKSerialDeviceKey, QStringLiteral("/dev/ttyUSB0"));
    }
    void SetUp() override
    {
        ConsoleFixture::SetUp();
        // Qt passes on accessibility events only while a reader listens; pretend one does, as Qt's own
        // tests do.
        QGuiApplicationPrivate::platformIntegration()->accessibility()->setActive(true);
        QAccessible::installUpdateHandler(&recordEvent);
        heard.clear();
    }
    void TearDown() override
    {
        QAccessible::installUpdateHandler(nullptr);
        QGuiApplicationPrivate::platformIntegration()->accessibility()->setActive(false);
        ConsoleFixture::TearDown();
    }

public:
    using ConsoleFixture::click;
    using ConsoleFixture::lineIn;
    using ConsoleFixture::pressFunctionKey;
    using ConsoleFixture::recorder;

    // The worker's side of one pass: the time, then each character as it keys.
    void key(const QString &text)
    {
        recorder->sending = 1;
        console->logRelay().appendPrompt(QStringLiteral("12:00:00  "));
        for (const QChar character : text)
            console->logRelay().appendText(character);
    }
    // The paddles break in and send on, as a WinKeyer tells the console.
    void breakIn(const QString &paddled)
    {
        console->logRelay().brokenIn();
        console->logRelay().appendPaddlePrompt(QStringLiteral("12:00:01  paddle  "));
        console->logRelay().appendPaddleText(paddled);
    }
    void finish()
    {
        QTest::qWait(150); // the console sees the keyer still sending on at least one poll
        recorder->sending = 0;
        QTest::qWait(250);
    }
};

TEST_P(AnnouncementTest, ReaderHearsWhatMatters)
{
    GetParam().act(*this);
    QTest::qWait(250);
    EXPECT_EQ(heard, GetParam().expected);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Console, AnnouncementTest, ::testing::Values(
    Scenario{"FunctionKeyStartAndEnd", [](AnnouncementTest &f) {
        f.pressFunctionKey(1);
        f.key(QStringLiteral("TU AB1CD"));
        f.finish();
    }, {{false, "Sending TU AB1CD"}, {false, "Sent TU AB1CD"}}},
    Scenario{"TypedLineIsToldOnceNotPerCharacter", [](AnnouncementTest &f) {
        QTest::keyClicks(f.lineIn(), QStringLiteral("cq de ab1cd"));
        f.click(QStringLiteral("transmitOutlet"));
        f.key(QStringLiteral("CQ DE AB1CD"));
        f.finish();
    }, {{false, "Sending CQ DE AB1CD"}, {false, "Sent CQ DE AB1CD"}}},
    Scenario{"StopTellsWhatWentOut", [](AnnouncementTest &f) {
        f.pressFunctionKey(1);
        f.key(QStringLiteral("TU A"));
        f.click(QStringLiteral("stopOutlet"));
        f.finish();
    }, {{false, "Sending TU AB1CD"}, {false, "Stopped after TU A"}}},
    Scenario{"PaddleBreakInIsAStopAndThePaddlesAreNotKeylarks", [](AnnouncementTest &f) {
        f.pressFunctionKey(1);
        f.key(QStringLiteral("TU A"));
        f.breakIn(QStringLiteral("K1ABC"));
        f.finish();
    }, {{false, "Sending TU AB1CD"}, {false, "Stopped after TU A"}}},
    Scenario{"ShortTransmissionBetweenTwoPollsIsStillTold", [](AnnouncementTest &f) {
        f.pressFunctionKey(1);
        f.key(QStringLiteral("TU AB1CD"));
        f.recorder->sending = 0;
    }, {{false, "Sending TU AB1CD"}, {false, "Sent TU AB1CD"}}},
    Scenario{"BeaconArmedRunningAndStopped", [](AnnouncementTest &f) {
        f.click(QStringLiteral("beaconButton"));
        QTest::qWait(250);
        QTest::keyClicks(f.lineIn(), QStringLiteral("vvv"));
        f.click(QStringLiteral("transmitOutlet"));
        f.key(QStringLiteral("VVV"));
        f.key(QStringLiteral("VVV")); // the second pass is not told again
        QTest::qWait(150);
        f.click(QStringLiteral("stopOutlet"));
        f.finish();
    }, {{false, "Beacon armed"},
        {false, "Beacon armed: the next text sent repeats until Stop (Esc)."},
        {false, "Beacon running: VVV"}, {false, "Beacon stopped"}}},
    Scenario{"BeaconDisarmedBeforeItRan", [](AnnouncementTest &f) {
        f.recorder->armed = true;
        QTest::qWait(250);
        f.click(QStringLiteral("stopOutlet"));
    }, {{false, "Beacon armed"}, {false, "Beacon disarmed"}}},
    Scenario{"SpeedKeys", [](AnnouncementTest &f) {
        QTest::keyClick(f.lineIn(), Qt::Key_PageUp);
        QTest::keyClick(f.lineIn(), Qt::Key_PageDown);
        QTest::keyClick(f.lineIn(), Qt::Key_PageDown);
    }, {{false, "Speed 13 words per minute"}, {false, "Speed 12 words per minute"},
        {false, "Speed 11 words per minute"}}},
    Scenario{"ErrorAtOnceInformationPolitely", [](AnnouncementTest &) {
        std::thread([] {
            Diagnostics::out(QStringLiteral("#.. Keylark : Serial found path: /dev/ttyUSB0"));
            Diagnostics::out(QStringLiteral("*** Keylark : Serial open error. Please set serial device."));
        }).join();
    }, {{false, "Serial found path: /dev/ttyUSB0"}, {true, "Serial open error. Please set serial device."}}},
    Scenario{"AnErrorThatHoldsIsNotToldAgain", [](AnnouncementTest &) {
        std::thread([] {
            Diagnostics::out(QStringLiteral("*** Keylark : Serial open error. Please set serial device."));
            Diagnostics::out(QStringLiteral("#.. Keylark : Serial found path: /dev/ttyUSB0"));
        }).join();
    }, {{true, "Serial open error. Please set serial device."}, {false, "Serial found path: /dev/ttyUSB0"}}}
));
// clang-format on

} // namespace
