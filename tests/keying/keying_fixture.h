#pragma once

#include "keying/diagnostics.h"
#include "keying/line_control.h"
#include "keying/serial_controller.h"
#include "keying/shared_flags.h"
#include "keying_doubles.h"
#include "settings/settings_keys.h"
#include "settings/settings_store.h"

#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>
#include <mutex>

// A settings store on a temporary file, the line and clock doubles, a recording console, and the keying
// engine's module state put back to its process-start values before every test.
class KeyingTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        resetModuleState();
        store = std::make_unique<SettingsStore>(dir.filePath(QStringLiteral("settings.json")));
        store->registerDefaults(registeredDefaults());
        Diagnostics::setObserver([this](const Diagnostic &diagnostic) {
            std::scoped_lock lock(linesMutex);
            lines.append(diagnostic.line);
        });
    }

    void TearDown() override
    {
        controller.reset();
        Diagnostics::setObserver({});
        resetModuleState();
    }

    static void resetModuleState()
    {
        using namespace keying;
        for (auto *flag : {&sendStopFlag, &beaconFlag, &G_thread, &G_transmitCount, &code_add, &pttHoldFlag})
            *flag = 0;
        dtr_line = dtr_line_reverse = rts_line = rts_line_reverse = 0;
        rtsdtr_on = rtsdtr_off = ser_fd = 0;
        ptt_line = ptt_on = ptt_off = 0;
        initialized = -1;
        serialStartUpOpen = 0;
        devicePath[0] = '\0';
        wpm = 12.0f;
        dit_time = intra_time = 100.0f;
        dah_time = letter_time = 300.0f;
        word_time = 700.0f;
    }

    SerialController &start()
    {
        controller = std::make_unique<SerialController>(
            *store, [this]() -> ConsoleLog * { return &console; }, &line, &clock);
        return *controller;
    }

    // Sends the text and waits for its worker to end on its own.
    void sendAndWait(const QString &text)
    {
        ASSERT_EQ(controller->cwSendString(text), 0);
        controller->joinWorkers();
    }

    // Key-down periods (from, to) in ms, from the line's recorded requests that succeeded.
    std::vector<std::pair<double, double>> keyDownPeriods() const
    {
        std::vector<std::pair<double, double>> periods;
        double down = -1;
        for (const RecordingLine::Call &call : line.sets()) {
            if (!call.ok)
                continue;
            if (call.bits == keying::rtsdtr_on && down < 0)
                down = call.atMs;
            else if (call.bits == keying::rtsdtr_off && down >= 0) {
                periods.emplace_back(down, call.atMs);
                down = -1;
            }
        }
        return periods;
    }

    QStringList diagnostics()
    {
        std::scoped_lock lock(linesMutex);
        return lines;
    }

    QTemporaryDir dir;
    std::unique_ptr<SettingsStore> store;
    VirtualClock clock;
    RecordingLine line{&clock};
    RecordingConsole console{&clock};
    std::unique_ptr<SerialController> controller;
    std::mutex linesMutex;
    QStringList lines;
};
