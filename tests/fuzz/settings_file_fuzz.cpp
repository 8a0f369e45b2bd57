// The settings file reader: any bytes as the file Keylark finds at start. A file it takes must convert
// by every rule and come back the same after the store has written it again; a file it refuses must
// yield no value at all.
#include "fuzz_check.h"
#include "settings/settings_file.h"
#include "settings/settings_store.h"

#include <QFile>
#include <QTemporaryDir>

#include <cstdint>

namespace {

const QString &settingsPath()
{
    // On tmpfs when there is one: the store syncs every file it writes.
    static const QTemporaryDir dir(QDir(QStringLiteral("/dev/shm")).exists()
                                       ? QStringLiteral("/dev/shm/keylark-fuzz-XXXXXX")
                                       : QDir::tempPath() + QStringLiteral("/keylark-fuzz-XXXXXX"));
    static const QString path = dir.filePath(QStringLiteral("settings.json"));
    return path;
}

bool sameValue(const QVariant &a, const QVariant &b)
{
    return a.metaType() == b.metaType() && a == b;
}

void convertEveryValue(const SettingsFile &file)
{
    for (auto it = file.values.constBegin(); it != file.values.constEnd(); ++it) {
        const QVariant &value = it.value();
        FUZZ_CHECK(value.isValid());
        SettingValue::toInt(value);
        const double real = SettingValue::toDouble(value);
        FUZZ_CHECK(value.metaType().id() != QMetaType::QString || !std::isnan(real));
        SettingValue::toBool(value);
        SettingValue::toText(value);
    }
    for (const auto &[key, value] : file.foreign)
        FUZZ_CHECK(!value.dump().empty());
}

// What the store took from the file survives its writing the file again, with a change of its own.
void roundTrip(const QByteArray &bytes, const SettingsFile &file)
{
    const QString &path = settingsPath();
    {
        QFile out(path);
        FUZZ_CHECK(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
        FUZZ_CHECK(out.write(bytes) == bytes.size());
    }
    const QString marker = QStringLiteral("fuzzRoundTrip");
    {
        SettingsStore store(path);
        FUZZ_CHECK(store.loadProblem().isEmpty());
        store.setValue(marker, QStringLiteral("written"));
        FUZZ_CHECK(store.flush());
    }
    SettingsStore again(path);
    FUZZ_CHECK(again.loadProblem().isEmpty());
    FUZZ_CHECK(again.value(marker) == QVariant(QStringLiteral("written")));
    for (auto it = file.values.constBegin(); it != file.values.constEnd(); ++it)
        if (it.key() != marker)
            FUZZ_CHECK(sameValue(again.value(it.key()), it.value()));
    const SettingsFile reread = [&path] {
        QFile in(path);
        return in.open(QIODevice::ReadOnly) ? SettingsFile::parse(in.readAll()) : SettingsFile{};
    }();
    for (const auto &[key, value] : file.foreign)
        if (key != marker.toStdString())
            FUZZ_CHECK(reread.foreign.count(key) == 1 && reread.foreign.at(key) == value);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const SettingsFile file = SettingsFile::parse(bytes);
    if (!file.problem.isEmpty()) {
        FUZZ_CHECK(file.values.isEmpty() && file.foreign.empty());
        return 0;
    }
    convertEveryValue(file);
    roundTrip(bytes, file);
    return 0;
}
