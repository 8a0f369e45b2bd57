#include "app/app_delegate.h"
#include "compose/keyer.h"
#include "console/console_clock.h"
#include "console/console_controller.h"
#include "console/console_log_relay.h"
#include "console/recording_keying.h"
#include "eventually.h"
#include "keying/serial_controller.h"
#include "preferences/preferences_controller.h"
#include "settings/settings_keys.h"
#include "settings/settings_store.h"

#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

namespace {

// The system's text for an error, in the language the tests run in.
QString reason(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

class AppDelegateTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        store = std::make_unique<SettingsStore>(settingsPath());
        store->registerDefaults(registeredDefaults());
    }

    QString settingsPath() const { return dir.filePath(QStringLiteral("settings.json")); }

    void makeRecordingDelegate()
    {
        delegate = std::make_unique<AppDelegate>(*store, [this](SettingsStore &, ConsoleLookup lookup) {
            keyerAtKeyingCreation = delegate->keyer();
            consoleAtKeyingCreation = delegate->consoleController();
            auto keying = std::make_unique<RecordingKeying>(std::move(lookup));
            recorder = keying.get();
            return keying;
        });
    }

    QTemporaryDir dir;
    std::unique_ptr<SettingsStore> store;
    std::unique_ptr<AppDelegate> delegate;
    RecordingKeying *recorder = nullptr;
    Keyer *keyerAtKeyingCreation = reinterpret_cast<Keyer *>(1);
    ConsoleController *consoleAtKeyingCreation = reinterpret_cast<ConsoleController *>(1);
};

TEST_F(AppDelegateTest, NothingExistsBeforeLaunch)
{
    makeRecordingDelegate();
    EXPECT_EQ(delegate->serialController(), nullptr);
    EXPECT_EQ(delegate->keyer(), nullptr);
    EXPECT_EQ(delegate->consoleController(), nullptr);
    EXPECT_EQ(recorder, nullptr);
}

TEST_F(AppDelegateTest, LaunchBuildsKeyingThenKeyerThenConsoleSharingThem)
{
    makeRecordingDelegate();
    delegate->applicationDidFinishLaunching();

    EXPECT_EQ(keyerAtKeyingCreation, nullptr);
    EXPECT_EQ(consoleAtKeyingCreation, nullptr);
    ASSERT_NE(delegate->consoleController(), nullptr);
    EXPECT_EQ(delegate->serialController(), recorder);
    EXPECT_EQ(delegate->consoleController()->keyer(), delegate->keyer());
    EXPECT_EQ(recorder->console(), &delegate->consoleController()->logRelay());
    EXPECT_TRUE(delegate->consoleController()->isVisible());
    EXPECT_TRUE(delegate->consoleController()->clock().timerFlag());

    // The console's keyer hands its texts to the delegate's keying controller.
    delegate->consoleController()->findChild<QLineEdit *>(QStringLiteral("lineInOutlet"))->setText("cq");
    delegate->consoleController()->sendAction();
    EXPECT_EQ(recorder->sent, QStringList{QStringLiteral("CQ")});
}

TEST_F(AppDelegateTest, OpenConsoleTwiceShowsTheSameWindowAgain)
{
    makeRecordingDelegate();
    delegate->applicationDidFinishLaunching();
    ConsoleController *console = delegate->consoleController();
    QSignalSpy closed(console, &ConsoleController::closed);
    console->close();
    EXPECT_EQ(closed.count(), 1);
    EXPECT_EQ(recorder->stops, 1);
    EXPECT_FALSE(console->isVisible());

    delegate->openConsole();
    EXPECT_EQ(delegate->consoleController(), console);
    EXPECT_TRUE(console->isVisible());
}

TEST_F(AppDelegateTest, ShowPreferencesCreatesOneWindow)
{
    makeRecordingDelegate();
    delegate->applicationDidFinishLaunching();
    delegate->showPreferences();
    PreferencesController *first = delegate->preferencesController();
    ASSERT_NE(first, nullptr);
    first->hide();
    delegate->showPreferences();
    EXPECT_EQ(delegate->preferencesController(), first);
    EXPECT_TRUE(first->isVisible());
}

TEST_F(AppDelegateTest, CtrlCommaOpensThePreferencesAndCtrlQClosesTheConsole)
{
    makeRecordingDelegate();
    delegate->applicationDidFinishLaunching();
    ConsoleController *console = delegate->consoleController();
    ASSERT_TRUE(QTest::qWaitForWindowActive(console));
    QLineEdit *lineIn = console->findChild<QLineEdit *>(QStringLiteral("lineInOutlet"));

    QTest::keyClick(lineIn, Qt::Key_Comma, Qt::ControlModifier);
    ASSERT_NE(delegate->preferencesController(), nullptr);
    EXPECT_TRUE(delegate->preferencesController()->isVisible());

    QSignalSpy closed(console, &ConsoleController::closed);
    console->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(console));
    QTest::keyClick(lineIn, Qt::Key_Q, Qt::ControlModifier);
    EXPECT_EQ(closed.count(), 1);
}

TEST_F(AppDelegateTest, ConsoleWindowFrameIsSavedOnCloseAndRestoredAtTheNextStart)
{
    makeRecordingDelegate();
    delegate->applicationDidFinishLaunching();
    delegate->consoleController()->resize(812, 577);
    delegate->consoleController()->close();
    delegate.reset();
    EXPECT_FALSE(store->stringValue(QStringLiteral("ConsoleWindowFrame")).isEmpty());

    makeRecordingDelegate();
    delegate->applicationDidFinishLaunching();
    EXPECT_EQ(delegate->consoleController()->size(), QSize(812, 577));
}

TEST_F(AppDelegateTest, MessageGroupModelHasEightGroupsOfTwelveKeys)
{
    makeRecordingDelegate();
    const auto &groups = delegate->messageGroup();
    ASSERT_EQ(groups.size(), GROUPCOUNT);
    for (const auto &group : groups)
        EXPECT_EQ(group.function.size(), FUNCTIONCOUNT);
    EXPECT_EQ(groups.at(1).label, QStringLiteral("G2"));
    EXPECT_EQ(groups.at(0).function.at(11).label, QStringLiteral("F12"));
}

TEST_F(AppDelegateTest, TeardownStopsKeyingFirstAndFlushesTheSettings)
{
    makeRecordingDelegate();
    delegate->applicationDidFinishLaunching();
    bool keyerAlive = false;
    bool consoleAlive = false;
    recorder->onDestroy = [&] {
        keyerAlive = delegate->keyer() != nullptr;
        consoleAlive = delegate->consoleController() != nullptr;
    };
    RecordingKeying *keying = recorder;
    ConsoleLookup lookup = keying->console;
    store->setValue(KLKWpmKey, 17.0);

    delegate->shutdown();

    EXPECT_TRUE(keyerAlive);
    EXPECT_TRUE(consoleAlive);
    EXPECT_EQ(lookup(), nullptr); // a late log call of a worker finds no console and is dropped
    EXPECT_EQ(delegate->keyer(), nullptr);
    SettingsStore reread(settingsPath());
    EXPECT_EQ(reread.value(KLKWpmKey), QVariant(17.0));
}

QString statusError(ConsoleController *console)
{
    return console->findChild<QLabel *>(QStringLiteral("statusError"))->text();
}

QString statusInformation(ConsoleController *console)
{
    return console->findChild<QLabel *>(QStringLiteral("statusInformation"))->text();
}

// The program's own path: the real serial controller with a device path that does not exist.
TEST_F(AppDelegateTest, RealKeyingWithAMissingDeviceReportsInTheStatusBarAndNotInTheLog)
{
    store->setValue(KLKSerialDeviceKey, dir.filePath(QStringLiteral("no-such-tty")));
    delegate = std::make_unique<AppDelegate>(*store);
    delegate->applicationDidFinishLaunching();
    ConsoleController *console = delegate->consoleController();
    ASSERT_NE(console, nullptr);

    console->findChild<QLineEdit *>(QStringLiteral("lineInOutlet"))->setText(QStringLiteral("e"));
    console->sendAction();

    EXPECT_EVENTUALLY(statusError(console).startsWith(
        QStringLiteral("*** Keylark : Serial open error. Please set serial device. (%1)")
            .arg(reason(ENOENT))));
    EXPECT_TRUE(statusError(console).contains(QStringLiteral("plug in the interface")));
    EXPECT_EVENTUALLY(!console->keyer()->isSending());
    EXPECT_TRUE(
        console->findChild<QPlainTextEdit *>(QStringLiteral("textViewOutlet"))->toPlainText().isEmpty());
}

// The lines of a failed open at start are written before the console exists; they must still show, and
// the refusals of every later send must not hide what to do about them.
TEST_F(AppDelegateTest, OpenAtStartFailureStaysInTheStatusBar)
{
    const int initialized = keying::initialized;
    keying::initialized = -1; // as at the start of the process
    store->setValue(KLKSerialDeviceKey, dir.filePath(QStringLiteral("no-such-tty")));
    store->setValue(KLKSerialStartUpOpenKey, true);
    delegate = std::make_unique<AppDelegate>(*store);
    delegate->applicationDidFinishLaunching();
    ConsoleController *console = delegate->consoleController();
    ASSERT_NE(console, nullptr);
    const QString failure =
        QStringLiteral("*** Keylark : Serial open error. Please set serial device and restart "
                       "this program. (%1)")
            .arg(reason(ENOENT));
    EXPECT_EVENTUALLY(statusError(console).startsWith(failure));

    console->findChild<QLineEdit *>(QStringLiteral("lineInOutlet"))->setText(QStringLiteral("e"));
    console->sendAction();
    QTest::qWait(100);
    EXPECT_TRUE(statusError(console).startsWith(failure)) << statusError(console).toStdString();
    delegate.reset();
    keying::initialized = initialized;
}

// The settings file is read before any window exists: why it could not be used reaches the status bar
// once the console is there, and the lines about stored texts cut for use follow it there.
TEST_F(AppDelegateTest, SettingsProblemsReachTheConsoleStatusBar)
{
    store.reset();
    {
        QFile file(settingsPath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("{\"a\":" + QByteArray(200'000, '[') + QByteArray(200'000, ']') + "}");
    }
    testing::internal::CaptureStderr();
    store = std::make_unique<SettingsStore>(settingsPath());
    testing::internal::GetCapturedStderr();
    store->registerDefaults(registeredDefaults());
    makeRecordingDelegate();
    delegate->applicationDidFinishLaunching();
    ConsoleController *console = delegate->consoleController();
    ASSERT_NE(console, nullptr);
    EXPECT_TRUE(store->loadProblem().contains(QStringLiteral("nested deeper than 64 levels")));
    EXPECT_EVENTUALLY(statusInformation(console) == store->loadProblem());

    testing::internal::CaptureStdout();
    store->setValue(messageKey(QStringLiteral("messageG1"), 1), QString(100'000, u'm')); // shown at once
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("The text stored under messageG1F1 is 100000 characters long"), std::string::npos)
        << out;
    EXPECT_EVENTUALLY(statusInformation(console).contains(QStringLiteral("stored under messageG1F1")));
}

struct OutputRow
{
    const char *name;
    QString output;
    bool serial;   // the serial line keys; else the radio's keyer or the WinKeyer
    bool sidetone; // by default
};

class KeyingOutputTest : public AppDelegateTest, public ::testing::WithParamInterface<OutputRow>
{
};

// The output the settings choose keys; with a device's keyer Keylark's sidetone is off unless turned on.
TEST_P(KeyingOutputTest, SettingsChooseTheOutput)
{
    store->setValue(KLKKeyingOutputKey, GetParam().output);
    const std::unique_ptr<KeyingController> keying = AppDelegate::makeKeyingController(*store, {});
    EXPECT_EQ(dynamic_cast<SerialController *>(keying.get()) != nullptr, GetParam().serial);
    EXPECT_EQ(store->boolValue(KLKSidetoneKey), GetParam().sidetone);
}

INSTANTIATE_TEST_SUITE_P(Outputs, KeyingOutputTest,
                         ::testing::Values(OutputRow{"SerialLine", KLKSerialLineOutput, true, true},
                                           OutputRow{"RadioKeyer", KLKRadioKeyerOutput, false, false},
                                           OutputRow{"WinKeyer", KLKWinKeyerOutput, false, false},
                                           OutputRow{"Unknown", QStringLiteral("winkeyer"), true, true}),
                         [](const auto &info) { return std::string(info.param.name); });

} // namespace
