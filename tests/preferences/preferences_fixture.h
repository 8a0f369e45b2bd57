#pragma once

#include "app/app_delegate.h"
#include "keying/fake_device_tree.h"
#include "keying/keying_controller.h"
#include "preferences/preferences_controller.h"
#include "settings/settings_keys.h"
#include "settings/settings_store.h"

#include <QAction>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QToolBar>

#include <gtest/gtest.h>

#include <memory>

// A keying controller that sends nothing, so that a launched delegate never touches a serial port; it
// counts the texts it was given.
class SilentKeyingController : public KeyingController
{
public:
    int cwSendString(const QString &) override
    {
        ++sends;
        return 0;
    }
    int cwIsSending() const override { return 0; }
    void cwSendStop() override {}
    void cwSendClear() override {}
    void cwBeaconTransmission() override {}
    bool cwBeaconArmed() const override { return false; }
    int cwBeaconPauseLeft() const override { return 0; }
    void cwBeaconDisarm() override {}

    int sends = 0;
};

class PreferencesTest : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        ASSERT_TRUE(devices.isValid());
        store = std::make_unique<SettingsStore>(dir.filePath(QStringLiteral("settings.json")));
        store->registerDefaults(registeredDefaults());
        delegate = std::make_unique<AppDelegate>(*store, [this](SettingsStore &, ConsoleLookup) {
            auto keying = std::make_unique<SilentKeyingController>();
            keying_ = keying.get();
            return keying;
        });
    }

    void TearDown() override
    {
        preferences.reset();
        delegate.reset();
        store.reset();
    }

    // The window discovers the ports of the fake device tree, never the host's.
    PreferencesController &open()
    {
        preferences =
            std::make_unique<PreferencesController>(*store, nullptr, SerialPortScanner(devices.root()));
        return *preferences;
    }

    template <typename Widget> Widget *control(const QString &name) const
    {
        Widget *widget = preferences->findChild<Widget *>(name);
        EXPECT_NE(widget, nullptr) << name.toStdString();
        return widget;
    }

    QToolBar *toolbar() const { return control<QToolBar>(QStringLiteral("ToolbarForTabView")); }
    QAction *toolbarAction(const QString &identifier) const { return control<QAction>(identifier); }
    QString shownPane() const
    {
        return control<QTabWidget>(QStringLiteral("preferencesTab"))->currentWidget()->objectName();
    }

    QTemporaryDir dir;
    std::unique_ptr<SettingsStore> store;
    std::unique_ptr<AppDelegate> delegate;
    FakeDeviceTree devices;
    std::unique_ptr<PreferencesController> preferences;
    SilentKeyingController *keying_ = nullptr;
};
