#include "icom_stand_in.h"
#include "kenwood_stand_in.h"
#include "keying/diagnostics.h"
#include "keying/element_timeline.h"
#include "keying/keying_doubles.h"
#include "keying/shared_flags.h"
#include "keying/timeline_queue.h"
#include "keying/transmission.h"
#include "radio/radio_output.h"
#include "settings/settings_keys.h"
#include "settings/settings_store.h"

#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>
#include <mutex>

namespace {

// The transmission keying the radio's keyer of a stand-in on a pty, as Keylark makes it.
class RadioOutputTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        store = std::make_unique<SettingsStore>(dir.filePath(QStringLiteral("settings.json")));
        store->registerDefaults(registeredDefaults());
        store->setValue(KLKWpmKey, 40);
        keying::G_transmitCount = 0;
        observer = Diagnostics::setObserver([this](const Diagnostic &diagnostic) {
            std::scoped_lock lock(linesMutex);
            lines.append(diagnostic.line);
        });
    }
    void TearDown() override
    {
        transmission.reset();
        Diagnostics::removeObserver(observer);
    }

    void start(std::unique_ptr<StandInRadio> standIn, int model, bool practising = false)
    {
        radio = std::move(standIn);
        store->setValue(KLKRadioModelKey, model);
        store->setValue(KLKRadioPortKey, radio->path());
        store->setValue(KLKPracticeModeKey, practising);
        transmission = std::make_unique<Transmission>(*store, [this]() -> ConsoleLog * { return &log; });
        auto made =
            std::make_unique<RadioOutput>(*store, transmission->clock(), *transmission->elementTimeline());
        output = made.get();
        transmission->elementTimeline()->subscribe(&lamp);
        transmission->attach(std::move(made));
    }
    void send(const QString &text)
    {
        ASSERT_EQ(transmission->cwSendString(text), 0);
        transmission->joinWorkers();
    }
    int linesWith(const QString &part) const
    {
        std::scoped_lock lock(linesMutex);
        return int(lines.filter(part).size());
    }
    // The lamp's edges alternate from a key-down and end with a key-up.
    int lampDowns()
    {
        int downs = 0;
        KeyEvent event;
        KeyEvent::Edge last = KeyEvent::Edge::Up;
        while (lamp.take(event)) {
            EXPECT_NE(event.edge, last);
            last = event.edge;
            downs += event.edge == KeyEvent::Edge::Down;
        }
        EXPECT_EQ(last, KeyEvent::Edge::Up);
        return downs;
    }

    QTemporaryDir dir;
    std::unique_ptr<SettingsStore> store;
    int observer = 0;
    mutable std::mutex linesMutex;
    QStringList lines;
    RecordingConsole log;
    TimelineQueue lamp;
    std::unique_ptr<StandInRadio> radio;
    RadioOutput *output = nullptr;
    std::unique_ptr<Transmission> transmission;
};

// The text reaches the radio in the radio's own alphabet; the echo, the lamp and the speed follow it.
TEST_F(RadioOutputTest, KeysTheTextAndEchoesItAsTheRadioKeys)
{
    start(std::make_unique<KenwoodStandIn>(), ts590s);
    send(QStringLiteral("cq %AR% de k!1"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return radio->keyedText().trimmed() == "CQ + DE K1"; }, radioWaitMs));
    EXPECT_EQ(log.log(), QStringLiteral("<T>CQ %AR% DE K1"));
    EXPECT_EQ(lampDowns(), 4 + 4 + 5 + 3 + 1 + 3 + 5); // the elements of CQ AR DE K1
    EXPECT_EQ(radio->speeds().front(), 40);
    EXPECT_EQ(linesWith(QStringLiteral("no sign for \"!\"")), 1);
    EXPECT_EQ(linesWith(QStringLiteral("Keying the TS-590S's keyer on ") + radio->path()), 1);
    EXPECT_FALSE(output->abilities().stopsMidPiece);
}

struct StopRow
{
    const char *name;
    bool icom;
    bool stopsMidPiece;
    int notices; // of the keyer that cannot stop mid-word
};

class RadioStopTest : public RadioOutputTest, public ::testing::WithParamInterface<StopRow>
{
};

// Esc stops after at most the piece the radio holds, and cuts it where the radio can; the status bar says
// once where it cannot.
TEST_P(RadioStopTest, StopSendsNothingMore)
{
    const StopRow row = GetParam();
    if (row.icom)
        start(std::make_unique<IcomStandIn>(), ic7300);
    else
        start(std::make_unique<KenwoodStandIn>(), ts590s);
    for (int stop = 0; stop < 2; ++stop) {
        const qsizetype echoed = log.log().count(u'A');
        ASSERT_EQ(transmission->cwSendString(QStringLiteral("AAAAAA BBB CCC")), 0);
        ASSERT_TRUE(QTest::qWaitFor([&] { return log.log().count(u'A') > echoed; }, radioWaitMs));
        transmission->cwSendStop();
        transmission->joinWorkers();
    }
    EXPECT_EQ(radio->pieces().size(), 2u);
    EXPECT_FALSE(log.log().contains(u'B'));
    EXPECT_EQ(output->abilities().stopsMidPiece, row.stopsMidPiece);
    EXPECT_EQ(linesWith(QStringLiteral("cannot stop mid-word")), row.notices);
}

INSTANTIATE_TEST_SUITE_P(Radios, RadioStopTest,
                         ::testing::Values(StopRow{"Kenwood", false, false, 1},
                                           StopRow{"Icom", true, true, 0}),
                         [](const auto &info) { return std::string(info.param.name); });

// Practice opens no radio and sends it nothing; the first text on the air opens it.
TEST_F(RadioOutputTest, PracticeOpensNoRadio)
{
    start(std::make_unique<KenwoodStandIn>(), ts590s, true);
    send(QStringLiteral("E"));
    EXPECT_EQ(log.log(), QStringLiteral("<T>E"));
    EXPECT_TRUE(radio->commands().empty());
    store->setValue(KLKPracticeModeKey, false);
    send(QStringLiteral("T"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return radio->keyedText() == "T"; }, radioWaitMs));
}

struct SettingsRow
{
    const char *name;
    int model;
    bool port;
    bool rigctld;
    QString line;
};

class RadioSettingsTest : public RadioOutputTest, public ::testing::WithParamInterface<SettingsRow>
{
};

// What the settings name is what the status bar says; a radio that cannot be named refuses every text.
TEST_P(RadioSettingsTest, StatusLineSaysWhatKeysOrWhyNot)
{
    const SettingsRow row = GetParam();
    start(std::make_unique<KenwoodStandIn>(), row.model, true);
    if (!row.port)
        store->setValue(KLKRadioPortKey, QString());
    store->setValue(KLKRadioThroughRigctldKey, row.rigctld);
    store->setValue(KLKRigctldPortKey, 4999);
    output->startUp(true);
    EXPECT_TRUE(output->description().startsWith(row.line)) << output->description().toStdString();
    if (row.line.startsWith(QStringLiteral("***"))) {
        EXPECT_FALSE(output->begin());
    }
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Settings, RadioSettingsTest, ::testing::Values(
    SettingsRow{"NoModel",      0,      true,  false, "*** Keylark : No radio model is chosen"},
    SettingsRow{"UnknownModel", 99999,  true,  false, "*** Keylark : Hamlib has no radio model 99999"},
    SettingsRow{"NoPort",       ic7300, false, false, "*** Keylark : No port is chosen for the IC-7300"},
    SettingsRow{"Rigctld",      ic7300, false, true,  "Keying the IC-7300's keyer through rigctld at 127.0.0.1:4999"}),
    [](const auto &info) { return std::string(info.param.name); });
// clang-format on

} // namespace
