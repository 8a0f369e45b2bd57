#include "console/keyboard_entry.h"

#include "compose/keyer.h"
#include "keying/keyboard_text.h"
#include "settings/settings_keys.h"
#include "settings/settings_store.h"

#include <QApplication>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QTextCharFormat>

KeyboardEntry::KeyboardEntry(QLineEdit &line, Keyer &keyer, SettingsStore &store, QObject *parent)
    : QObject(parent), line_(line), keyer_(keyer), store_(store), text_(keyer.keyboardText())
{
    retry_.setInterval(retryMilliseconds);
    connect(&retry_, &QTimer::timeout, this, &KeyboardEntry::keyWaiting);
    connect(&line_, &QLineEdit::textEdited, this, &KeyboardEntry::edited);
    connect(&store_, &SettingsStore::changed, this, &KeyboardEntry::settingChanged);
    if (text_) {
        connect(text_, &KeyboardText::characterTaken, this, &KeyboardEntry::dimTaken);
        connect(text_, &KeyboardText::burstEnded, this, [this] {
            text_->dropTaken();
            showText();
        });
    }
    switchTo(store_.boolValue(KLKKeyboardModeKey));
}

void KeyboardEntry::settingChanged(const QString &key)
{
    if (key == KLKKeyboardModeKey)
        switchTo(store_.boolValue(KLKKeyboardModeKey));
    else if (key == KLKPracticeModeKey && on_)
        dropWaiting(); // what was typed for the air is not keyed in practice, nor the other way round
}

// Switched on, the line starts empty (Undo brings back what it held, to be keyed); switched off, what
// still waits stays in the line, to be sent as a whole.
void KeyboardEntry::switchTo(bool on)
{
    on = on && text_;
    if (on == on_)
        return;
    on_ = on;
    if (on) {
        line_.setText(line_.text());
        line_.clear();
    } else {
        const QString waiting = text_->text().mid(text_->taken());
        text_->dropPieces();
        text_->dropTaken();
        retry_.stop();
        line_.setText(waiting);
    }
    emit switched(on);
}

void KeyboardEntry::edited(const QString &text)
{
    if (!on_)
        return;
    if (!text_->setText(text)) {
        emit refused();
        showText();
        line_.end(false);
        return;
    }
    dimTaken();
    keyWaiting();
}

void KeyboardEntry::append(const QString &text)
{
    if (!on_ || text.isEmpty())
        return;
    text_->setText(text_->text() + text);
    showText();
    keyWaiting();
}

void KeyboardEntry::dropWaiting()
{
    if (!on_)
        return;
    text_->dropPieces();
    retry_.stop();
    showText();
}

// A keyer busy with another transmission is asked again until it takes what waits; a refused one (no
// port) leaves the text in the line.
void KeyboardEntry::keyWaiting()
{
    if (!on_ || !text_->waits()) {
        retry_.stop();
        return;
    }
    const int result = keyer_.keyTyped();
    if (result == 1 && !retry_.isActive())
        retry_.start();
    else if (result != 1)
        retry_.stop();
    if (result < 0)
        emit refused();
}

// The line shows the keyer's text; the cursor keeps its place in what waits.
void KeyboardEntry::showText()
{
    const QString text = text_->text();
    const int removed = int(line_.text().size() - text.size());
    const int cursor = std::max(0, line_.cursorPosition() - std::max(0, removed));
    if (line_.text() != text)
        line_.setText(text);
    line_.setCursorPosition(std::min(cursor, int(text.size())));
    dimTaken();
}

// A line edit shows formats only through an input method event; its positions count from the cursor.
void KeyboardEntry::dimTaken()
{
    QTextCharFormat dim;
    dim.setForeground(line_.palette().brush(QPalette::Disabled, QPalette::Text));
    const int taken = on_ ? int(text_->taken()) : 0;
    const QList<QInputMethodEvent::Attribute> formats{
        {QInputMethodEvent::TextFormat, -line_.cursorPosition(), taken, dim}};
    QInputMethodEvent event(QString(), formats);
    QApplication::sendEvent(&line_, &event);
}
