#include "settings/settings_file.h"
#include "settings/settings_keys.h"
#include "settings/settings_store.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTimeZone>

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <random>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

constexpr int kills = 200;
const QString passKey = QStringLiteral("pass");

// The document the writer saves on its n-th pass: every kind the store keeps, and a message whose length
// changes from pass to pass so that no two writes have the same size.
QHash<QString, QVariant> document(qint64 n)
{
    const QDateTime start(QDate(2008, 5, 1), QTime(5, 0), QTimeZone(9 * 3600));
    return {{passKey, n},
            {KLKWpmKey, double(5 + n % 36) + 0.5},
            {KLKSerialDTRKey, n % 2 == 0},
            {KLKDayOfGmKey, start.addSecs(n)},
            {globalMacroKey(u'M'), QStringLiteral("K%1ABC").arg(n)},
            {messageKey(groupIdentifier(1), 1),
             QString(20'000 + (n * 7919) % 40'000, QChar(char16_t(u'A' + n % 26)))}};
}

// Writes documents 1, 2, ... after the one found in the file, and reports each pass it completed on the
// pipe. Runs in the child until it is killed.
[[noreturn]] void writeForever(const QString &path, int report)
{
    SettingsStore store(path);
    for (qint64 n = store.value(passKey).toLongLong() + 1;; ++n) {
        const QHash<QString, QVariant> values = document(n);
        for (auto it = values.constBegin(); it != values.constEnd(); ++it)
            store.setValue(it.key(), it.value());
        if (!store.flush())
            _exit(3);
        if (write(report, &n, sizeof n) != sizeof n)
            _exit(4);
    }
}

// The last pass the child reported, or fallback when it reported none.
qint64 lastReported(int report, qint64 fallback)
{
    qint64 n = 0;
    qint64 last = fallback;
    while (read(report, &n, sizeof n) == sizeof n)
        last = n;
    return last;
}

qint64 passOnDisk(const QString &path)
{
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << "the settings file is gone";
    const SettingsFile contents = SettingsFile::parse(file.readAll());
    EXPECT_TRUE(contents.problem.isEmpty()) << contents.problem.toStdString();
    const qint64 n = contents.values.value(passKey).toLongLong();
    EXPECT_TRUE(contents.values == document(n)) << "pass " << n << " is not the document written";
    EXPECT_TRUE(contents.foreign.empty());
    return n;
}

// A writer killed at any moment leaves on disk either the document it had saved last or the one it was
// saving, each whole, and the next start reads it.
TEST(CrashSafeSaving, AWriterKilledAtRandomLeavesTheOldOrTheNewDocumentWhole)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("settings.json"));
    std::mt19937 random(12);
    qint64 onDisk = 0;
    int newer = 0;
    for (int kill = 0; kill < kills; ++kill) {
        int report[2];
        ASSERT_EQ(pipe2(report, O_CLOEXEC), 0);
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            close(report[0]);
            writeForever(path, report[1]);
        }
        close(report[1]);
        // The first report means the writer is in its loop; the kill then lands anywhere in a pass.
        qint64 first = 0;
        ASSERT_EQ(read(report[0], &first, sizeof first), qint64(sizeof first));
        std::this_thread::sleep_for(std::chrono::microseconds(random() % 3000));
        ::kill(child, SIGKILL);
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the writer ended on its own with " << WEXITSTATUS(status);
        const qint64 reported = lastReported(report[0], first);
        close(report[0]);

        const qint64 found = passOnDisk(path);
        ASSERT_TRUE(found == reported || found == reported + 1)
            << "kill " << kill << ": pass " << found << " on disk, " << reported << " reported";
        ASSERT_GT(found, onDisk);
        newer += found == reported + 1;
        onDisk = found;
    }
    // A kill just before the temporary copy is renamed over the file leaves the copy beside it, under a name
    // of its own: counted, as it is litter rather than a damaged settings file.
    const QStringList others = QDir(dir.path()).entryList({QStringLiteral("settings.json.*")}, QDir::Files);
    std::printf("%d kills, %lld passes written, %d kills after a write was complete but unreported, %lld "
                "temporary copies left\n",
                kills, onDisk, newer, others.size());
}

} // namespace
