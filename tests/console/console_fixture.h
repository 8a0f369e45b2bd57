#pragma once

#include "app/app_delegate.h"
#include "console/console_controller.h"
#include "console/console_log_relay.h"
#include "console/function_key_pad.h"
#include "console/recording_keying.h"
#include "settings/settings_keys.h"
#include "settings/settings_store.h"
#include "sidetone/audio_output.h"

#include <QAbstractButton>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <chrono>
#include <memory>

// The first two message groups, by the key of their first message.
inline const QString group1 = QStringLiteral("messageG1");
inline const QString group2 = QStringLiteral("messageG2");

// A launched AppDelegate on a fresh settings file, with a recording keying controller in place of the
// serial port. The console window is shown and active so that its shortcuts work; its function keys'
// repeat window runs on the test's clock.
class ConsoleFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        store = std::make_unique<SettingsStore>(dir.filePath(QStringLiteral("settings.json")));
        store->registerDefaults(registeredDefaults());
        prepareStore();
        // No sidetone: the console's tests play nothing.
        delegate = std::make_unique<AppDelegate>(
            *store,
            [this](SettingsStore &, ConsoleLookup lookup) {
                auto keying = std::make_unique<RecordingKeying>(std::move(lookup));
                keying->queued = offersQueued;
                recorder = keying.get();
                return keying;
            },
            [] { return nullptr; });
        delegate->applicationDidFinishLaunching();
        console = delegate->consoleController();
        ASSERT_NE(console, nullptr);
        console->setBeep([this] { ++beeps; });
        console->functionKeys().repeatGuard().setClock([this] { return now; });
        ASSERT_TRUE(QTest::qWaitForWindowActive(console));
    }

    void TearDown() override { delegate.reset(); }

    // Runs before the launch: settings the console must find when it opens.
    virtual void prepareStore() {}

    template <typename T = QWidget> T *widget(const QString &name) const
    {
        T *found = console->findChild<T *>(name);
        EXPECT_NE(found, nullptr) << name.toStdString();
        return found;
    }
    QLineEdit *lineIn() const { return widget<QLineEdit>(QStringLiteral("lineInOutlet")); }
    QPlainTextEdit *log() const { return widget<QPlainTextEdit>(QStringLiteral("textViewOutlet")); }
    QAbstractButton *button(const QString &name) const { return widget<QAbstractButton>(name); }
    QAbstractButton *functionKey(int key) const { return button(QStringLiteral("functionKey%1").arg(key)); }
    void click(const QString &name) const { QTest::mouseClick(button(name), Qt::LeftButton); }
    void pressFunctionKey(int key) const { QTest::mouseClick(functionKey(key), Qt::LeftButton); }
    // The function keys' repeat window runs on the test's clock: a test moves it on instead of waiting.
    void passRepeatWindow() { now += RepeatGuard::window; }

    QTemporaryDir dir;
    std::unique_ptr<SettingsStore> store;
    std::unique_ptr<AppDelegate> delegate;
    ConsoleController *console = nullptr;
    RecordingKeying *recorder = nullptr;
    bool offersQueued = false; // the recorder offers keyboard mode
    int beeps = 0;
    std::chrono::steady_clock::time_point now =
        std::chrono::steady_clock::time_point() + std::chrono::hours(1);
};
