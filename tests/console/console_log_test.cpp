#include "console/console_clock.h"
#include "console/console_fixture.h"
#include "eventually.h"
#include "keying/diagnostics.h"
#include "local_zone.h"
#include "record/sent_record.h"
#include "widgets/lamp.h"

#include <QFileDialog>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QLabel>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTextBlock>
#include <QTextDocument>
#include <QTimer>

#include <cerrno>
#include <cstring>
#include <thread>

namespace {

using ConsoleLogTest = ConsoleFixture;

// The log's text with each run in the muted colour in brackets.
QString marked(const QTextDocument &document)
{
    QStringList lines;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        QString text;
        for (auto fragment = block.begin(); !fragment.atEnd(); ++fragment) {
            const bool muted = fragment.fragment().charFormat().hasProperty(QTextFormat::ForegroundBrush);
            text += muted ? u'[' + fragment.fragment().text() + u']' : fragment.fragment().text();
        }
        lines << text;
    }
    return lines.join(u'\n').replace(QStringLiteral("]["), QString());
}

// Counts the paint events a widget receives.
struct PaintCount : QObject
{
    explicit PaintCount(QWidget *widget) { widget->installEventFilter(this); }
    bool eventFilter(QObject *, QEvent *event) override
    {
        count += event->type() == QEvent::Paint ? 1 : 0;
        return false;
    }
    int count = 0;
};

TEST_F(ConsoleLogTest, AppendGoesToTheEndAndDropsTheOperatorsSelection)
{
    console->logRelay().appendText(QStringLiteral("hello world"));
    EXPECT_EVENTUALLY_EQ(log()->toPlainText(), QStringLiteral("hello world"));
    QTextCursor selection = log()->textCursor();
    selection.setPosition(0);
    selection.setPosition(5, QTextCursor::KeepAnchor);
    log()->setTextCursor(selection);
    ASSERT_EQ(log()->textCursor().selectedText(), QStringLiteral("hello"));

    console->logRelay().appendText(QStringLiteral("!"));
    console->logRelay().appendText(QString());
    console->logRelay().appendText(QStringLiteral("\n"));
    console->logRelay().appendPrompt(QStringLiteral("12:00:00  "));

    EXPECT_EVENTUALLY_EQ(marked(*log()->document()), QStringLiteral("hello world!\n[12:00:00  ]"));
    EXPECT_FALSE(log()->textCursor().hasSelection());
    EXPECT_EQ(log()->textCursor().position(), 23);
}

TEST_F(ConsoleLogTest, OperatorCannotTypeIntoTheLog)
{
    console->logRelay().appendPrompt(QStringLiteral("09:05:07  "));
    log()->setFocus();
    QTest::keyClicks(log(), QStringLiteral("xyz"));
    EXPECT_TRUE(log()->isReadOnly());
    EXPECT_EQ(log()->toPlainText(), QStringLiteral("09:05:07  "));
}

TEST_F(ConsoleLogTest, WorkerCallsArriveInOrderWithoutDisturbingTheInputLine)
{
    QTest::keyClicks(lineIn(), QStringLiteral("typed"));
    QString expected;
    std::thread worker([&] {
        for (int pass = 0; pass < 50; ++pass) {
            if (pass > 0)
                console->logRelay().appendText(QStringLiteral("\n"));
            console->logRelay().appendPrompt(QStringLiteral("12:00:%1  ").arg(pass, 2, 10, QLatin1Char('0')));
            for (QChar character : QStringLiteral("CQ DE AB1CD"))
                console->logRelay().appendText(QString(character));
        }
    });
    for (int pass = 0; pass < 50; ++pass)
        expected += (pass > 0 ? QStringLiteral("\n") : QString()) +
                    QStringLiteral("12:00:%1  CQ DE AB1CD").arg(pass, 2, 10, QLatin1Char('0'));
    QTest::keyClicks(lineIn(), QStringLiteral(" more"));
    worker.join();

    EXPECT_EVENTUALLY_EQ(log()->toPlainText(), expected);
    EXPECT_EQ(lineIn()->text(), QStringLiteral("typed more"));
}

TEST_F(ConsoleLogTest, LineInClearFromTheWorkerEmptiesOnlyTheInputLine)
{
    console->logRelay().appendText(QStringLiteral("CQ"));
    lineIn()->setText(QStringLiteral("TEST"));
    std::thread([this] { console->logRelay().lineInClear(); }).join();
    EXPECT_EVENTUALLY(lineIn()->text().isEmpty());
    EXPECT_EVENTUALLY_EQ(log()->toPlainText(), QStringLiteral("CQ"));
}

TEST_F(ConsoleLogTest, ClearDuringATransmissionEmptiesTheLogButDoesNotStopIt)
{
    recorder->sending = 1;
    console->logRelay().appendPrompt(QStringLiteral("10:00:00  "));
    console->logRelay().appendText(QStringLiteral("C"));
    lineIn()->setText(QStringLiteral("CQ"));

    click(QStringLiteral("clearButton"));

    EXPECT_TRUE(log()->toPlainText().isEmpty());
    EXPECT_TRUE(lineIn()->text().isEmpty());
    EXPECT_EQ(recorder->clears, 1);
    EXPECT_EQ(recorder->stops, 0);
    console->logRelay().appendText(QStringLiteral("Q"));
    EXPECT_EVENTUALLY_EQ(log()->toPlainText(), QStringLiteral("Q"));
}

TEST_F(ConsoleLogTest, LogUsesAFixedPitchFont)
{
    const QFont font = log()->font();
    EXPECT_EQ(font.pointSize(), 12);
    const QFontMetricsF metrics(font);
    const qreal width = metrics.horizontalAdvance(QLatin1Char('0'));
    EXPECT_GT(width, 0);
    for (const QChar character : QStringLiteral("iW.l M:/1?"))
        EXPECT_EQ(metrics.horizontalAdvance(character), width)
            << "'" << QString(character).toStdString() << "' in " << QFontInfo(font).family().toStdString();
}

TEST_F(ConsoleLogTest, StatusBarShowsDiagnosticLinesFromAnyThread)
{
    store->setValue(KLKSerialDeviceKey, QStringLiteral("/dev/ttyUSB0"));
    std::thread([] {
        Diagnostics::out(QStringLiteral("#.. Keylark : first"));
        Diagnostics::out(QStringLiteral("*** Keylark : Serial open error. Please set serial device."));
    }).join();
    EXPECT_EVENTUALLY_EQ(widget<QLabel>(QStringLiteral("statusError"))->text(),
                         QStringLiteral("*** Keylark : Serial open error. Please set serial device."));
    EXPECT_EQ(widget<QLabel>(QStringLiteral("statusInformation"))->text(),
              QStringLiteral("#.. Keylark : first"));
    EXPECT_TRUE(log()->toPlainText().isEmpty());
}

TEST_F(ConsoleLogTest, SendingIndicatorFollowsTheKeyingController)
{
    auto *indicator = widget<QLabel>(QStringLiteral("sendingIndicator"));
    EXPECT_FALSE(indicator->property("sending").toBool());
    recorder->sending = 1;
    EXPECT_EVENTUALLY(indicator->property("sending").toBool());
    EXPECT_EQ(indicator->text(), QStringLiteral("SENDING"));
    recorder->sending = 0;
    EXPECT_EVENTUALLY(!indicator->property("sending").toBool());
}

TEST_F(ConsoleLogTest, InputLineHasTheFocusWhenTheConsoleOpens)
{
    EXPECT_EVENTUALLY(lineIn()->hasFocus());
}

TEST_F(ConsoleLogTest, ClockFollowsDateJst)
{
    const LocalZone zone("Asia/Tokyo");
    auto *clock = widget<QLabel>(QStringLiteral("clockLabel"));
    console->setDateJST(QDateTime(QDate(2026, 3, 4), QTime(5, 6, 7), Qt::UTC));
    EXPECT_TRUE(clock->text().contains(QStringLiteral("14:06:07"))) << clock->text().toStdString();
    EXPECT_TRUE(clock->text().contains(QStringLiteral("UTC 05:06"))) << clock->text().toStdString();
    console->dateUpdate();
    EXPECT_LE(qAbs(console->dateJST().secsTo(QDateTime::currentDateTime())), 1);
}

TEST_F(ConsoleLogTest, ClockTicksOnlyWhileItsTimerFlagIsSet)
{
    ConsoleClock &clock = console->clock();
    const QDateTime past(QDate(2001, 1, 1), QTime(0, 0), Qt::UTC);
    console->setDateJST(past);
    clock.timerStop();
    clock.timerStatus();
    EXPECT_EQ(console->dateJST(), past);

    clock.timerStart();
    clock.timerStatus();
    EXPECT_GT(console->dateJST(), past);

    // And the repeating clock timer drives it by itself.
    console->setDateJST(past);
    EXPECT_EVENTUALLY(console->dateJST() > past);
}

// As the worker writes a beacon's passes: a line break between passes, the prompt, then the text.
void appendPasses(ConsoleController *console, int from, int count)
{
    for (int pass = from; pass < from + count; ++pass) {
        if (pass > 0)
            console->logRelay().appendText(QStringLiteral("\n"));
        console->logRelay().appendPrompt(QStringLiteral("12:00:00  "));
        console->logRelay().appendText(QStringLiteral("PASS %1").arg(pass));
    }
}

QString line(const QPlainTextEdit *log, int block)
{
    return log->document()->findBlockByNumber(block).text();
}

struct ScrollBackCase
{
    const char *what;
    QVariant stored; // invalid: the registered default
    int passes;
    int kept;
};

class ScrollBackTest : public ConsoleFixture, public ::testing::WithParamInterface<ScrollBackCase>
{
    void prepareStore() override
    {
        if (GetParam().stored.isValid())
            store->setValue(KLKConsoleScrollBackKey, GetParam().stored);
    }
};

TEST_P(ScrollBackTest, KeepsTheNewestLines)
{
    const ScrollBackCase &c = GetParam();
    appendPasses(console, 0, c.passes);
    EXPECT_EVENTUALLY_EQ(line(log(), c.kept - 1), QStringLiteral("12:00:00  PASS %1").arg(c.passes - 1));
    EXPECT_EQ(log()->document()->blockCount(), c.kept);
    EXPECT_EQ(line(log(), 0), QStringLiteral("12:00:00  PASS %1").arg(c.passes - c.kept));
    EXPECT_EQ(log()->textCursor().position(), log()->document()->characterCount() - 1);
}

INSTANTIATE_TEST_SUITE_P(Log, ScrollBackTest,
                         ::testing::Values(ScrollBackCase{"TheDefault", QVariant(), 10'250, 10'000},
                                           ScrollBackCase{"ASmallOne", qint64(100), 1'000, 100},
                                           ScrollBackCase{"BelowTheLeastHeldToIt", qint64(5), 300, 100},
                                           ScrollBackCase{"OneStoredAsText", QStringLiteral("250"), 600,
                                                          250}),
                         [](const auto &info) {
                             QString name = QString::fromLatin1(info.param.what);
                             name.remove(QRegularExpression(QStringLiteral("[^A-Za-z]")));
                             return name.toStdString();
                         });

TEST_F(ConsoleLogTest, ASmallerScrollBackDropsTheOldestLinesAtOnce)
{
    appendPasses(console, 0, 500);
    EXPECT_EVENTUALLY_EQ(line(log(), 499), QStringLiteral("12:00:00  PASS 499"));
    store->setValue(KLKConsoleScrollBackKey, qint64(200));
    EXPECT_EQ(log()->document()->blockCount(), 200);
    EXPECT_EQ(line(log(), 0), QStringLiteral("12:00:00  PASS 300"));
    appendPasses(console, 500, 1);
    EXPECT_EVENTUALLY_EQ(line(log(), 199), QStringLiteral("12:00:00  PASS 500"));
}

// Text gathered for a frame shows as it was sent piece by piece: the same characters in the same order,
// the prompts and coloured text muted, the same newest lines kept; and a burst goes in as one edit.
TEST_F(ConsoleLogTest, TextGatheredForAFrameShowsAsItWasSent)
{
    store->setValue(KLKConsoleScrollBackKey, qint64(100));
    QSignalSpy edits(log()->document(), &QTextDocument::contentsChange);
    for (QChar character : QStringLiteral("CQ CQ DE AB1CD AB1CD K"))
        console->logRelay().appendText(QString(character));
    EXPECT_EVENTUALLY_EQ(log()->toPlainText(), QStringLiteral("CQ CQ DE AB1CD AB1CD K"));
    EXPECT_EQ(edits.count(), 1);

    QString sent = QStringLiteral("CQ CQ DE AB1CD AB1CD K");
    for (int pass = 0; pass < 130; ++pass) {
        const QString prompt = QStringLiteral("12:%1:00  ").arg(pass % 60, 2, 10, QLatin1Char('0'));
        console->logRelay().appendText(QStringLiteral("\n"));
        console->logRelay().appendPrompt(prompt);
        sent += QStringLiteral("\n[") + prompt + u']';
        for (QChar character : QStringLiteral("TEST %1").arg(pass)) {
            console->logRelay().appendText(QString(character));
            sent += character;
        }
        if (pass % 3 == 0) {
            console->logRelay().appendTextWithColor(QStringLiteral(" paddle"));
            console->logRelay().appendText(QStringLiteral("."));
            sent += QStringLiteral("[ paddle].");
        }
        if (pass % 7 == 0) // now and then a frame passes in the middle of a line
            QTest::qWait(30);
    }
    const QStringList kept = sent.split(u'\n').mid(31);
    EXPECT_EVENTUALLY_EQ(marked(*log()->document()), kept.join(u'\n'));
    EXPECT_EQ(log()->document()->blockCount(), 100);
}

// A pass's time and its first character show in one repaint, though the lamp showed the key-down between
// them; and a full log that takes a line and drops its oldest leaves the slider where it was, so its
// scroll bar does not repaint.
TEST_F(ConsoleLogTest, APassShowsInOneRepaintAndAFullLogKeepsItsScrollBarStill)
{
    store->setValue(KLKConsoleScrollBackKey, qint64(100));
    appendPasses(console, 0, 100);
    EXPECT_EVENTUALLY_EQ(line(log(), 99), QStringLiteral("12:00:00  PASS 99"));
    QTest::qWait(50);
    QScrollBar *bar = log()->verticalScrollBar();
    PaintCount textPaints(log()->viewport());
    PaintCount barPaints(bar);
    const auto *lamp = widget<Lamp>(QStringLiteral("keyLamp"));
    for (int pass = 100; pass < 110; ++pass) {
        console->logRelay().appendText(QStringLiteral("\n"));
        console->logRelay().appendPrompt(QStringLiteral("12:00:00  "));
        recorder->timeline.publish({KeyEvent::Edge::Down, 0, 60});
        EXPECT_EVENTUALLY(lamp->isLit());
        console->logRelay().appendText(QStringLiteral("PASS %1").arg(pass));
        recorder->timeline.publish({KeyEvent::Edge::Up, 0, 0});
        EXPECT_EVENTUALLY_EQ(line(log(), 99), QStringLiteral("12:00:00  PASS %1").arg(pass));
    }
    QTest::qWait(50);
    EXPECT_EQ(textPaints.count, 10);
    EXPECT_EQ(barPaints.count, 0);
    bar->setValue(bar->minimum());
    EXPECT_EVENTUALLY(barPaints.count > 0);
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(none)");
}

TEST_F(ConsoleLogTest, SaveLogAsWritesTheLinesTheLogStillShows)
{
    store->setValue(KLKConsoleScrollBackKey, qint64(100));
    appendPasses(console, 0, 150);
    const QString path = dir.filePath(QStringLiteral("saved.txt"));
    // The dialog is answered as it opens.
    QTimer::singleShot(0, [path] {
        auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(dialog->objectName(), QStringLiteral("saveLogDialog"));
        dialog->selectFile(path);
        static_cast<QDialog *>(dialog)->accept();
    });
    console->findChild<QAction *>(QStringLiteral("actionSaveLog"))->trigger();
    const QByteArray saved = readAll(path);
    EXPECT_EQ(saved.count('\n'), 100);
    EXPECT_TRUE(saved.startsWith("12:00:00  PASS 50\n"));
    EXPECT_TRUE(saved.endsWith("12:00:00  PASS 149\n"));
    EXPECT_EQ(widget<QLabel>(QStringLiteral("statusInformation"))->text(),
              QStringLiteral("#.. Keylark : Log saved to %1.").arg(path));
}

TEST_F(ConsoleLogTest, ALogThatCannotBeSavedIsSaidAndLeavesTheEarlierFile)
{
    appendPasses(console, 0, 3);
    const QString path = dir.filePath(QStringLiteral("saved.txt"));
    ASSERT_TRUE(console->saveLog(path));
    appendPasses(console, 3, 1);
    // The earlier file where a folder should be: nothing can be written there.
    const QString unwritable = dir.filePath(QStringLiteral("saved.txt/log.txt"));
    EXPECT_FALSE(console->saveLog(unwritable));
    EXPECT_EQ(readAll(path), QByteArray("12:00:00  PASS 0\n12:00:00  PASS 1\n12:00:00  PASS 2\n"));
    EXPECT_TRUE(widget<QLabel>(QStringLiteral("statusError"))
                    ->text()
                    .startsWith(QStringLiteral("*** Keylark : Log not saved to %1 (").arg(unwritable)));
}

// The input line's undo history keeps the last line cleared only, not everything typed since the start.
TEST_F(ConsoleLogTest, ClearingTheInputLineKeepsOnlyItsLastLineToUndo)
{
    QTest::keyClicks(lineIn(), QStringLiteral("CQ TEST"));
    click(QStringLiteral("clearButton"));
    QTest::keyClicks(lineIn(), QStringLiteral("DE AB1CD"));
    console->logRelay().lineInClear();
    EXPECT_EVENTUALLY(lineIn()->text().isEmpty());
    lineIn()->undo();
    EXPECT_EQ(lineIn()->text(), QStringLiteral("DE AB1CD"));
    EXPECT_FALSE(lineIn()->isUndoAvailable());
}

// The record's folder is a file, so nothing can be written there.
class UnwritableRecordTest : public ConsoleFixture
{
    void prepareStore() override
    {
        saved_ = qgetenv("XDG_DATA_HOME");
        QFile blocker(dir.filePath(QStringLiteral("Keylark")));
        ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
        qputenv("XDG_DATA_HOME", dir.path().toLocal8Bit());
    }
    void TearDown() override
    {
        ConsoleFixture::TearDown();
        qputenv("XDG_DATA_HOME", saved_);
    }

    QByteArray saved_;
};

TEST_F(UnwritableRecordTest, ARecordThatCannotBeWrittenIsSaidOnceInTheStatusBar)
{
    SentRecord *record = delegate->sentRecord();
    ASSERT_NE(record, nullptr);
    record->passKeyed({QDateTime::currentDateTimeUtc(), 40, 40, QStringLiteral("E"), false});
    const QString said =
        QStringLiteral("#.. Keylark : Sent record not written to %1/Keylark (%2); keying goes on.")
            .arg(dir.path(), QString::fromLocal8Bit(std::strerror(ENOTDIR)));
    EXPECT_EVENTUALLY_EQ(widget<QLabel>(QStringLiteral("statusInformation"))->text(), said);
    Diagnostics::out(QStringLiteral("#.. Keylark : something else"));
    record->passKeyed({QDateTime::currentDateTimeUtc(), 40, 40, QStringLiteral("E"), false});
    record->waitUntilTried();
    QTest::qWait(50);
    EXPECT_EQ(widget<QLabel>(QStringLiteral("statusInformation"))->text(),
              QStringLiteral("#.. Keylark : something else"));
}

} // namespace
