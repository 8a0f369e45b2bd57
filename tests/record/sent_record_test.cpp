#include "keying/keying_fixture.h"
#include "record/sent_record.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QDateTime utc(const char *iso)
{
    return QDateTime::fromString(QString::fromLatin1(iso), Qt::ISODateWithMs).toUTC();
}

KeyedPass pass(QDateTime start, const QString &text, int slowest = 20, int fastest = 20, bool stopped = false)
{
    return KeyedPass{start, slowest, fastest, text, stopped};
}

struct LineCase
{
    const char *what;
    KeyedPass pass;
    const char *line;
};

class SentRecordLineTest : public ::testing::TestWithParam<LineCase>
{
};

TEST_P(SentRecordLineTest, OnePassIsOneLine)
{
    EXPECT_EQ(SentRecord::line(GetParam().pass), QByteArray(GetParam().line));
}

INSTANTIATE_TEST_SUITE_P(
    Record, SentRecordLineTest,
    ::testing::Values(
        LineCase{"AWholePass", pass(utc("2026-03-04T05:06:07.123Z"), QStringLiteral("CQ DE AB1CD")),
                 "2026-03-04T05:06:07.123Z  20 wpm  CQ DE AB1CD\n"},
        LineCase{"ASpeedChangedWhileKeying",
                 pass(utc("2026-03-04T05:06:07.000Z"), QStringLiteral("TEST"), 18, 25),
                 "2026-03-04T05:06:07.000Z  18-25 wpm  TEST\n"},
        LineCase{"AStoppedPass", pass(utc("2026-03-04T05:06:07.000Z"), QStringLiteral("P"), 40, 40, true),
                 "2026-03-04T05:06:07.000Z  40 wpm  P  [stopped]\n"},
        LineCase{
            "AStartInLocalTimeIsWrittenInUtc",
            pass(QDateTime::fromString(QStringLiteral("2026-03-04T08:00:00.000+09:00"), Qt::ISODateWithMs),
                 QStringLiteral("E")),
            "2026-03-03T23:00:00.000Z  20 wpm  E\n"},
        LineCase{"ControlCharactersAndUnknownBytes",
                 pass(utc("2026-03-04T05:06:07.000Z"), QStringLiteral("A\nB\tC\ufffd")),
                 "2026-03-04T05:06:07.000Z  20 wpm  A B C\xef\xbf\xbd\n"},
        LineCase{
            "ThePaddlesSending",
            KeyedPass{.start = utc("2026-03-04T05:06:07.000Z"), .text = QStringLiteral("TU"), .paddle = true},
            "2026-03-04T05:06:07.000Z  paddle  TU\n"}),
    [](const auto &info) { return std::string(info.param.what); });

// A record in a temporary folder, with a clock the test sets, and Keylark's diagnostic lines collected.
class SentRecordTest : public KeyingTest
{
protected:
    void SetUp() override
    {
        KeyingTest::SetUp();
        folder = dir.filePath(QStringLiteral("data/Keylark"));
    }

    void TearDown() override
    {
        controller.reset();
        record.reset();
        KeyingTest::TearDown();
    }

    SentRecord &open()
    {
        record = std::make_unique<SentRecord>(*store, folder, [this] {
            std::scoped_lock lock(nowMutex);
            return now;
        });
        return *record;
    }

    void setNow(const char *iso)
    {
        std::scoped_lock lock(nowMutex);
        now = utc(iso);
    }

    QString file(const char *day) const
    {
        return folder + QStringLiteral("/sent-%1.txt").arg(QLatin1String(day));
    }

    QByteArray contents(const char *day) const
    {
        QFile in(file(day));
        return in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray("(none)");
    }

    QStringList files() const { return QDir(folder).entryList(QDir::Files, QDir::Name); }

    void touch(const QString &name)
    {
        QDir().mkpath(folder);
        QFile out(folder + QLatin1Char('/') + name);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write("kept?\n");
    }

    QStringList recordLines() { return diagnostics().filter(QStringLiteral("record")); }

    QString folder;
    std::mutex nowMutex;
    QDateTime now = utc("2026-03-04T12:00:00.000Z");
    std::unique_ptr<SentRecord> record;
};

TEST_F(SentRecordTest, PassesAroundUtcMidnightGoToTheFileOfTheDayTheyBegan)
{
    open();
    record->passKeyed(pass(utc("2026-03-04T23:59:59.900Z"), QStringLiteral("CQ")));
    // Local midnight in Tokyo is 15:00 UTC: still the 4th.
    record->passKeyed(
        pass(QDateTime::fromString(QStringLiteral("2026-03-05T00:30:00.000+09:00"), Qt::ISODateWithMs),
             QStringLiteral("TU")));
    record->passKeyed(pass(utc("2026-03-05T00:00:00.100Z"), QStringLiteral("DE AB1CD")));
    record->waitUntilTried();
    EXPECT_EQ(files(),
              (QStringList{QStringLiteral("sent-2026-03-04.txt"), QStringLiteral("sent-2026-03-05.txt")}));
    EXPECT_EQ(contents("2026-03-04"), QByteArray("2026-03-04T23:59:59.900Z  20 wpm  CQ\n"
                                                 "2026-03-04T15:30:00.000Z  20 wpm  TU\n"));
    EXPECT_EQ(contents("2026-03-05"), QByteArray("2026-03-05T00:00:00.100Z  20 wpm  DE AB1CD\n"));
}

TEST_F(SentRecordTest, AppendsToWhatAnEarlierRunWrote)
{
    open().passKeyed(pass(utc("2026-03-04T10:00:00.000Z"), QStringLiteral("FIRST")));
    record.reset();
    open().passKeyed(pass(utc("2026-03-04T11:00:00.000Z"), QStringLiteral("SECOND")));
    record->waitUntilTried();
    EXPECT_EQ(contents("2026-03-04"), QByteArray("2026-03-04T10:00:00.000Z  20 wpm  FIRST\n"
                                                 "2026-03-04T11:00:00.000Z  20 wpm  SECOND\n"));
}

TEST_F(SentRecordTest, NothingIsWrittenWhileTheRecordIsOffNorForPractice)
{
    KeyedPass practice = pass(utc("2026-03-04T10:00:00.000Z"), QStringLiteral("PARIS"));
    practice.practice = true;
    open().passKeyed(practice);
    record->waitUntilTried();
    EXPECT_TRUE(files().isEmpty());
    store->setValue(KLKSentRecordKey, false);
    record->passKeyed(pass(utc("2026-03-04T10:00:01.000Z"), QStringLiteral("E")));
    record->waitUntilTried();
    EXPECT_TRUE(files().isEmpty());
}

TEST_F(SentRecordTest, FilesOlderThanTheKeptDaysGoAtTheStartAtANewDayAndWhenTheDaysChange)
{
    store->setValue(KLKSentRecordDaysKey, 3);
    for (const char *name : {"sent-2026-03-01.txt", "sent-2026-03-02.txt", "sent-2026-03-03.txt",
                             "sent-2026-03-04.txt", "notes.txt", "sent-2026-02-30.txt", "sent-old.txt"})
        touch(QString::fromLatin1(name));
    open().waitUntilTried(); // the 4th: the 2nd, 3rd and 4th are kept
    // Only files named for a day are the record's; the others stay.
    const auto keptWith = [](QStringList days) {
        QStringList names{QStringLiteral("notes.txt"), QStringLiteral("sent-2026-02-30.txt"),
                          QStringLiteral("sent-old.txt")};
        for (const QString &day : days)
            names += QStringLiteral("sent-%1.txt").arg(day);
        names.sort();
        return names;
    };
    EXPECT_EQ(files(), keptWith({QStringLiteral("2026-03-02"), QStringLiteral("2026-03-03"),
                                 QStringLiteral("2026-03-04")}));

    setNow("2026-03-05T00:00:01.000Z");
    record->passKeyed(pass(utc("2026-03-05T00:00:00.500Z"), QStringLiteral("E")));
    record->waitUntilTried();
    EXPECT_EQ(files(), keptWith({QStringLiteral("2026-03-03"), QStringLiteral("2026-03-04"),
                                 QStringLiteral("2026-03-05")}));

    store->setValue(KLKSentRecordDaysKey, 1);
    record->waitUntilTried();
    EXPECT_EQ(files(), keptWith({QStringLiteral("2026-03-05")}));
}

// Disk full: the day's file is /dev/full, where every write fails with ENOSPC.
TEST_F(SentRecordTest, AFullDiskIsReportedOnceAndThePassesAreWrittenWhenThereIsRoomAgain)
{
    QDir().mkpath(folder);
    ASSERT_EQ(symlink("/dev/full", QFile::encodeName(file("2026-03-04")).constData()), 0);
    open();
    for (int n = 0; n < 5; ++n) {
        record->passKeyed(pass(utc("2026-03-04T10:00:00.000Z").addSecs(n), QStringLiteral("E%1").arg(n)));
        record->waitUntilTried();
    }
    EXPECT_EQ(recordLines().size(), 1);
    EXPECT_TRUE(recordLines().value(0).contains(QStringLiteral("No space left on device")))
        << recordLines().join(QLatin1Char('\n')).toStdString();

    ASSERT_TRUE(QFile::remove(file("2026-03-04")));
    record->passKeyed(pass(utc("2026-03-04T10:00:05.000Z"), QStringLiteral("E5")));
    record->waitUntilTried();
    EXPECT_EQ(contents("2026-03-04").count('\n'), 6);
    EXPECT_TRUE(contents("2026-03-04").startsWith("2026-03-04T10:00:00.000Z  20 wpm  E0\n"));
    EXPECT_EQ(recordLines().size(), 2);
    EXPECT_TRUE(recordLines().value(1).contains(QStringLiteral("written again")));
}

// A read-only or missing folder (here a file where the folder should be) keeps the beacon keying.
TEST_F(SentRecordTest, AFolderThatCannotBeWrittenNeverStopsTheKeying)
{
    QDir().mkpath(dir.filePath(QStringLiteral("data")));
    QFile blocker(folder);
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    store->setValue(KLKSerialDTRKey, true);
    clock.onSleep = [this] {
        if (clock.sleeps() == 10) // five passes of "E": a dit and a pause each
            controller->cwSendStop();
    };
    start().setTransmissionListener(&open());
    controller->cwBeaconTransmission();
    sendAndWait(QStringLiteral("E"));
    controller->setTransmissionListener(nullptr);
    record->waitUntilTried();
    EXPECT_EQ(keyDownPeriods().size(), 5u);
    EXPECT_EQ(recordLines().size(), 1);
    EXPECT_TRUE(recordLines().value(0).contains(QStringLiteral("Not a directory")))
        << recordLines().join(QLatin1Char('\n')).toStdString();
}

// A disk that does not answer: the worker keys on while the writer waits.
TEST_F(SentRecordTest, AWriterStuckOnTheDiskNeverDelaysTheKeying)
{
    QDir().mkpath(folder);
    const QByteArray fifo = QFile::encodeName(file("2026-03-04"));
    ASSERT_EQ(mkfifo(fifo.constData(), 0600), 0);
    store->setValue(KLKSerialDTRKey, true);
    start().setTransmissionListener(&open());
    record->passKeyed(pass(utc("2026-03-04T10:00:00.000Z"), QStringLiteral("STUCK")));
    for (int n = 0; n < 3; ++n)
        sendAndWait(QStringLiteral("E"));
    EXPECT_EQ(keyDownPeriods().size(), 3u);
    controller->setTransmissionListener(nullptr);
    // Open the other end: the writer's open returns and the record can end.
    const int reader = ::open(fifo.constData(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    record->waitUntilTried();
    ::close(reader);
}

} // namespace
