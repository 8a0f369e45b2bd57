#include "console/console_log_view.h"

#include "console/screen_frame.h"
#include "settings/settings_keys.h"
#include "settings/settings_store.h"
#include "status/status_report.h"
#include "widgets/inner_control_names.h"
#include "widgets/readable_colours.h"
#include "widgets/steady_scroll_bar.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QFontDatabase>
#include <QFontDialog>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QSaveFile>
#include <QStandardPaths>
#include <QTextBlock>
#include <QTextCursor>

#include <chrono>

namespace {

// Monospaced on every machine: the family tools/install-deps installs, else the desktop's fixed font; a
// little larger than the desktop's text, and as much larger as the operator has made that.
QFont defaultFont()
{
    const QString family = QStringLiteral("DejaVu Sans Mono");
    QFont font = QFontDatabase::hasFamily(family) ? QFont(family)
                                                  : QFontDatabase::systemFont(QFontDatabase::FixedFont);
    const qreal desktop = QApplication::font().pointSizeF();
    font.setPointSizeF(std::max(12.0, desktop > 0 ? desktop * 4 / 3 : 12.0));
    return font;
}

// The lines keep their shaped glyphs, so that a repaint only draws them: under a kilobyte a line, bounded
// by the scroll-back. Lines set all at once are shaped again when shown, but for the newest.
constexpr int logCachedBlocks = 64;

// Long enough for the first character of most passes; a pass that keys nothing still shows its time.
constexpr std::chrono::milliseconds lineStartHold{1000};

void keepShapes(QTextBlock block)
{
    for (int kept = 0; block.isValid() && kept < logCachedBlocks; ++kept, block = block.previous()) {
        if (block.layout()->cacheEnabled())
            return;
        block.layout()->setCacheEnabled(true);
    }
}

} // namespace

ConsoleLogView::ConsoleLogView(QPlainTextEdit &view, QWidget &typing, ScreenFrame &frame,
                               SettingsStore &store, StatusReport &status, QObject *parent)
    : QObject(parent), view_(view), typing_(typing), store_(store), status_(status), frame_(frame)
{
    view_.setVerticalScrollBar(new SteadyScrollBar(Qt::Vertical));
    view_.installEventFilter(this);
    view_.viewport()->installEventFilter(this);
    connect(&frame_, &ScreenFrame::ended, this, &ConsoleLogView::frameEnded);
    lineStartHold_.setSingleShot(true);
    lineStartHold_.setInterval(lineStartHold);
    connect(&lineStartHold_, &QTimer::timeout, this, [this] {
        textWaiting_ = true;
        frame_.request();
    });
    connect(&store_, &SettingsStore::changed, this, [this](const QString &key) {
        if (key == KLKConsoleScrollBackKey)
            applyScrollBack();
    });
    restoreFont();
    applyScrollBack();
}

void ConsoleLogView::insertAtEnd(const QString &text, bool prompt)
{
    if (!pending_.isEmpty() && pending_.constLast().prompt == prompt)
        pending_.last().text += text;
    else
        pending_.append({text, prompt});
    // A new pass's line break and time alone would cost a repaint of their own, and another follows
    // with its first character.
    const bool lineStart = prompt || text.trimmed().isEmpty();
    if (!lineStart) {
        textWaiting_ = true;
        frame_.request();
    } else if (!lineStartHold_.isActive()) {
        lineStartHold_.start();
    }
}

// A frame begun by another part (the lamp going on) leaves the start of a line waiting.
void ConsoleLogView::frameEnded()
{
    if (textWaiting_)
        flush();
}

void ConsoleLogView::flush()
{
    lineStartHold_.stop();
    textWaiting_ = false;
    if (!pending_.isEmpty())
        insertRuns();
}

// What came in a frame goes in at once, in as few edits as the lines it holds.
void ConsoleLogView::insertRuns()
{
    QTextCursor end(view_.document());
    end.movePosition(QTextCursor::End);
    const bool following = !view_.hasFocus() || view_.textCursor().position() == end.position();
    QTextCharFormat muted;
    muted.setForeground(ReadableColours::muted(view_.palette(), QPalette::Base, QPalette::Text));
    bool lineOpen = false; // a line break not yet written
    for (const Run &run : std::exchange(pending_, {})) {
        const QTextCharFormat format = run.prompt ? muted : QTextCharFormat();
        const QStringList pieces = run.text.split(u'\n');
        for (qsizetype index = 0; index < pieces.size(); ++index) {
            if (index > 0 && std::exchange(lineOpen, true))
                startLine(end, QString(), QTextCharFormat());
            if (pieces[index].isEmpty())
                continue;
            if (std::exchange(lineOpen, false))
                startLine(end, pieces[index], format);
            else
                end.insertText(pieces[index], format);
        }
    }
    if (lineOpen)
        startLine(end, QString(), QTextCharFormat());
    keepShapes(end.block());
    // The caret goes to the end and any selection of the operator's is dropped, as typed input would;
    // but while the operator reads the log from the keyboard the caret stays where they read.
    if (!following)
        return;
    const QTextCursor caret = view_.textCursor();
    if (caret.hasSelection() || caret.position() != end.position())
        view_.setTextCursor(end);
    view_.ensureCursorVisible();
}

// A new line goes in by the view's own append, which trims the scroll-back and scrolls what is shown
// without repainting it all, with its first text in the format the line begins with: a format changed
// at the start of a line would repaint the whole view again. The append takes the caret's format, which
// would recolour a selection of the operator's; and it adds no line to an empty log.
void ConsoleLogView::startLine(QTextCursor &end, const QString &text, const QTextCharFormat &format)
{
    if (view_.document()->isEmpty() || view_.textCursor().hasSelection()) {
        end.insertText(u'\n' + text, format);
        return;
    }
    view_.setCurrentCharFormat(format);
    view_.appendPlainText(text);
    // Kept at once, so that the rest of the line and each look at the caret do not shape it again.
    keepShapes(view_.document()->lastBlock());
    end.movePosition(QTextCursor::End);
}

void ConsoleLogView::setText(const QString &text)
{
    lineStartHold_.stop();
    textWaiting_ = false;
    pending_.clear();
    view_.setPlainText(text);
}

// The log keeps the newest lines only, so that neither its memory nor the cost of a character grows
// with the time Keylark runs; the oldest lines go first.
void ConsoleLogView::applyScrollBack()
{
    view_.setUndoRedoEnabled(false); // the log is never edited: nothing to undo
    view_.setMaximumBlockCount(int(KLKScrollBackRange.clamp(store_.intValue(KLKConsoleScrollBackKey))));
}

// The log can be reached with Tab, to be read or copied from, but what the operator types goes on into
// the input line.
bool ConsoleLogView::eventFilter(QObject *watched, QEvent *event)
{
    // What the operator reads, selects or copies is all there is.
    if (event->type() == QEvent::KeyPress || event->type() == QEvent::MouseButtonPress ||
        event->type() == QEvent::ContextMenu)
        flush();
    if (watched != &view_ || event->type() != QEvent::KeyPress)
        return false;
    const auto *key = static_cast<QKeyEvent *>(event);
    const bool typed = !key->text().isEmpty() && key->text().at(0).isPrint() &&
                       !(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier));
    if (!typed)
        return false;
    typing_.setFocus(Qt::OtherFocusReason);
    QKeyEvent copy(key->type(), key->key(), key->modifiers(), key->text(), key->isAutoRepeat(), key->count());
    QApplication::sendEvent(&typing_, &copy);
    return true;
}

void ConsoleLogView::chooseLogFont()
{
    QFontDialog dialog(view_.font(), view_.window());
    dialog.setObjectName(QStringLiteral("logFontDialog"));
    dialog.setWindowTitle(tr("Log Font"));
    dialog.setOptions(QFontDialog::MonospacedFonts);
    InnerControlNames::nameAll(&dialog);
    if (dialog.exec() != QDialog::Accepted)
        return;
    const QFont font = dialog.selectedFont();
    view_.setFont(font);
    store_.setValue(KLKConsoleLogFontKey, font.toString());
}

void ConsoleLogView::followFont()
{
    if (store_.stringValue(KLKConsoleLogFontKey).isEmpty())
        restoreFont();
}

// The font chosen last, when it can still be read; else the fixed-pitch default.
void ConsoleLogView::restoreFont()
{
    QFont font = defaultFont();
    const QString stored = store_.stringValue(KLKConsoleLogFontKey);
    QFont chosen;
    if (!stored.isEmpty() && chosen.fromString(stored))
        font = chosen;
    view_.setFont(font);
}

void ConsoleLogView::saveLogAs()
{
    QFileDialog dialog(view_.window(), tr("Save Log As"));
    dialog.setObjectName(QStringLiteral("saveLogDialog"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilter(tr("Text files (*.txt)"));
    dialog.setDefaultSuffix(QStringLiteral("txt"));
    dialog.setDirectory(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation));
    dialog.selectFile(QStringLiteral("keylark-log-%1.txt")
                          .arg(QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd-HHmm"))));
    InnerControlNames::nameAll(&dialog);
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
        saveLog(dialog.selectedFiles().constFirst());
}

// The whole file or nothing: a failed save leaves an earlier file of that name as it was.
bool ConsoleLogView::saveLog(const QString &path)
{
    flush();
    QString text = view_.toPlainText();
    if (!text.isEmpty() && !text.endsWith(QLatin1Char('\n')))
        text += QLatin1Char('\n');
    QSaveFile file(path);
    const bool saved = file.open(QIODevice::WriteOnly) && file.write(text.toUtf8()) >= 0 && file.commit();
    const QString shown = QDir::toNativeSeparators(path);
    if (saved)
        status_.report(
            Diagnostic::informationLine(QStringLiteral("#.. Keylark : Log saved to %1.").arg(shown)));
    else
        status_.report(Diagnostic::errorLine(
            QStringLiteral("*** Keylark : Log not saved to %1 (%2).").arg(shown, file.errorString())));
    return saved;
}
