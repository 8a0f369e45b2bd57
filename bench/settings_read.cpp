// Cost of the settings reads the keying worker makes before every element.
#include "settings/settings_keys.h"
#include "settings/settings_store.h"

#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

struct Store
{
    QTemporaryDir dir;
    SettingsStore store{dir.filePath(QStringLiteral("settings.json"))};
    Store()
    {
        store.registerDefaults(registeredDefaults());
        store.setValue(KLKWpmKey, 25);
    }
};

void persistentIntRead(benchmark::State &state)
{
    static Store s;
    for (auto _ : state)
        benchmark::DoNotOptimize(s.store.intValue(KLKWpmKey));
}
BENCHMARK(persistentIntRead);

void registeredRatioRead(benchmark::State &state)
{
    static Store s;
    for (auto _ : state)
        benchmark::DoNotOptimize(s.store.doubleValue(KLKTimeDahKey));
}
BENCHMARK(registeredRatioRead);

void lineFlagByIdentity(benchmark::State &state)
{
    static Store s;
    for (auto _ : state)
        benchmark::DoNotOptimize(s.store.isTrueByIdentity(KLKSerialDTRKey));
}
BENCHMARK(lineFlagByIdentity);

} // namespace

BENCHMARK_MAIN();
