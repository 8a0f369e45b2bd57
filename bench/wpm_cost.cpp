// Cost of one cwSetWpm call: the speed rule, three ratio reads from the store and five products, made
// before every element keyed.
#include "keying/serial_controller.h"
#include "settings/settings_keys.h"
#include "settings/settings_store.h"

#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

void setWpm(benchmark::State &state, bool storedRatios)
{
    QTemporaryDir dir;
    SettingsStore store(dir.filePath(QStringLiteral("settings.json")));
    store.registerDefaults(registeredDefaults());
    if (storedRatios) {
        store.setValue(KLKTimeDahKey, 3.5);
        store.setValue(KLKTimeLetterKey, QStringLiteral("3"));
        store.setValue(KLKTimeWordKey, 7);
    }
    SerialController controller(store, [] { return nullptr; });
    int speed = 5;
    for (auto _ : state) {
        controller.output().cwSetWpm(speed);
        speed = speed == 40 ? 5 : speed + 1;
        benchmark::DoNotOptimize(keying::word_time);
    }
}

void registeredRatios(benchmark::State &state)
{
    setWpm(state, false);
}

void storedRatios(benchmark::State &state)
{
    setWpm(state, true);
}

} // namespace

BENCHMARK(registeredRatios);
BENCHMARK(storedRatios);
BENCHMARK_MAIN();
