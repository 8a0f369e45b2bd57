#include "console/function_key_pad.h"

#include "compose/keyer.h"
#include "console/function_key_cell.h"
#include "console/function_key_row.h"
#include "settings/setting_binding.h"
#include "settings/settings_keys.h"
#include "settings/settings_store.h"

#include <QShortcut>

FunctionKeyPad::FunctionKeyPad(const Rows &rows, QWidget &window, Keyer &keyer, SettingsStore &store,
                               QObject *parent)
    : QObject(parent), rows_(rows), keyer_(keyer), store_(store)
{
    for (int row = 0; row < int(rows_.size()); ++row) {
        rows_[row]->setFirstKey(row * FunctionKeyRow::columnCount + 1);
        connect(rows_[row], &FunctionKeyRow::activated, this, [this, row] { functionAction(rows_[row]); });
    }
    for (int key = 1; key <= FUNCTIONCOUNT; ++key) {
        auto *shortcut = new QShortcut(QKeySequence(Qt::Key_F1 + key - 1), &window);
        shortcut->setAutoRepeat(false);
        connect(shortcut, &QShortcut::activated, this, [this, key] { functionAction(cell(key)); });
    }
    connect(&store_, &SettingsStore::changed, this, &FunctionKeyPad::settingChanged);
}

FunctionKeyPad::~FunctionKeyPad() = default;

void FunctionKeyPad::functionAction(QObject *sender)
{
    QObject *pressed = sender;
    if (auto *row = qobject_cast<FunctionKeyRow *>(sender))
        pressed = row->selectedCell();
    const int key = FunctionKeyRow::tag(pressed);
    if (key < 1 || key > FUNCTIONCOUNT || !guard_.admit(key))
        return;
    if (keyer_.isSending() && !appending_) {
        keyer_.sendStop();
        return;
    }
    const QString message = store_.usableText(messageKey(group_, key));
    if (message.isEmpty())
        emit keyWithoutMessage();
    else
        emit messageChosen(keyer_.replaceAllMacro(message, group_).toUpper());
}

void FunctionKeyPad::press(int key)
{
    if (key >= 1 && key <= FUNCTIONCOUNT)
        functionAction(cell(key));
}

FunctionKeyRow *FunctionKeyPad::row(int key) const
{
    return rows_[(key - 1) / FunctionKeyRow::columnCount];
}

FunctionKeyCell *FunctionKeyPad::cell(int key) const
{
    return static_cast<FunctionKeyCell *>(row(key)->cellAt(0, (key - 1) % FunctionKeyRow::columnCount));
}

void FunctionKeyPad::showGroup(const QString &group)
{
    group_ = group;
    titleBindings_.clear();
    for (int key = 1; key <= FUNCTIONCOUNT; ++key) {
        FunctionKeyCell *keyCell = cell(key);
        auto binding = std::make_unique<SettingBinding>(keyCell, store_, labelKey(group, key),
                                                        QStringLiteral("F%1").arg(key), "label");
        binding->setConverters(&SettingBinding::readText, nullptr);
        titleBindings_.push_back(std::move(binding));
        // Not bound: the tool tip shows the message as stored when the group was selected.
        const QString message = store_.usableText(messageKey(group, key));
        row(key)->setToolTipForCell(message, keyCell);
        keyCell->setCurrentMessage(message);
    }
}

// What a screen reader hears as a key's message follows every change.
void FunctionKeyPad::settingChanged(const QString &key)
{
    for (int function = 1; function <= FUNCTIONCOUNT; ++function) {
        if (key == messageKey(group_, function))
            cell(function)->setCurrentMessage(store_.stringValue(key));
    }
}
