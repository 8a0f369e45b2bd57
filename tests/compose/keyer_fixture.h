#pragma once

#include "compose/keyer.h"
#include "recording_keying_controller.h"
#include "settings/settings_keys.h"
#include "settings/settings_store.h"

#include <QDateTime>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

// Message groups, by the key of their first message.
inline const QString G1 = QStringLiteral("messageG1");
inline const QString G2 = QStringLiteral("messageG2");
inline const QString G4 = QStringLiteral("messageG4");
inline const QString G5 = QStringLiteral("messageG5");

#include <utility>
#include <vector>

using Settings = std::vector<std::pair<QString, QVariant>>;

// A keyer on a fresh store with the registered defaults, a recording keying controller, a clock the test
// sets, and the list of settings keys the keyer has read.
class KeyerFixture : public testing::Test
{
protected:
    KeyerFixture() : store(dir.filePath(QStringLiteral("settings.json"))), keyer(store, controller)
    {
        store.registerDefaults(registeredDefaults());
        keyer.setClock([this] { return now; });
        keyer.setReadObserver([this](const QString &key) { reads.append(key); });
    }

    void storeAll(const Settings &settings)
    {
        for (const auto &[key, value] : settings)
            store.setValue(key, value);
    }

    static QDateTime localTime(int hour, int minute, int second = 0)
    {
        return QDateTime(QDate(2024, 6, 1), QTime(hour, minute, second));
    }

    QTemporaryDir dir;
    SettingsStore store;
    RecordingKeyingController controller;
    Keyer keyer;
    QDateTime now = localTime(10, 0);
    QStringList reads;
};
