#include "compose/keyer.h"
#include "keying/keying_controller.h"
#include "settings/settings_keys.h"
#include "settings/settings_store.h"

#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

class IdleKeyingController : public KeyingController
{
public:
    int cwSendString(const QString &) override { return 0; }
    int cwIsSending() const override { return 0; }
    void cwSendStop() override {}
    void cwSendClear() override {}
    void cwBeaconTransmission() override {}
    bool cwBeaconArmed() const override { return false; }
    int cwBeaconPauseLeft() const override { return 0; }
    void cwBeaconDisarm() override {}
};

void expand(benchmark::State &state, const QString &message)
{
    QTemporaryDir dir;
    SettingsStore store(dir.filePath(QStringLiteral("settings.json")));
    store.registerDefaults(registeredDefaults());
    const QString group = QStringLiteral("messageG1");
    store.setValue(globalMacroKey(u'M'), QStringLiteral("JR1ABC"));
    store.setValue(globalMacroKey(u'O'), QStringLiteral("TARO"));
    store.setValue(groupMacroKey(group, u'P'), QStringLiteral("TOKYO"));
    IdleKeyingController controller;
    Keyer keyer(store, controller);

    for (auto _ : state)
        benchmark::DoNotOptimize(keyer.replaceAllMacro(message, group));
    state.counters["message_chars"] = double(message.size());
}

// A typical stored message of 100 characters: the greeting, two global tokens and a group token.
void replaceAllMacroTypicalMessage(benchmark::State &state)
{
    expand(state, QStringLiteral("$G OM TNX FER CALL UR RST 599 599 NAME $O $O QTH $P HW? BK DE $M $M "
                                 "K = CQ TEST CQ TEST = QRL? 73 =="));
}

// The same length without the greeting, whose three boundary reads and date conversions dominate.
void replaceAllMacroWithoutGreeting(benchmark::State &state)
{
    expand(state, QStringLiteral("GM OM TNX FER CALL UR RST 599 599 NAME $O $O QTH $P HW? BK DE $M $M "
                                 "K = CQ TEST CQ TEST = QRL? 73 =="));
}

} // namespace

BENCHMARK(replaceAllMacroTypicalMessage);
BENCHMARK(replaceAllMacroWithoutGreeting);
BENCHMARK_MAIN();
