#include "preferences/radio_model_chooser.h"

#include "radio/rig_models.h"
#include "settings/settings_keys.h"
#include "settings/settings_store.h"
#include "widgets/wheel_guard.h"

#include <QComboBox>
#include <QCompleter>
#include <QLineEdit>

RadioModelChooser::RadioModelChooser(QComboBox &list, SettingsStore &store, QObject *parent)
    : QObject(parent), list_(list), store_(store)
{
    list_.setEditable(true);
    list_.setInsertPolicy(QComboBox::NoInsert);
    list_.lineEdit()->setAccessibleName(list_.accessibleName());
    list_.addItem(tr("none"), 0);
    for (const RigModel &model : RigModels::keyers()) {
        list_.addItem(model.displayName(), model.id);
        list_.setItemData(list_.count() - 1,
                          model.stopsMidText
                              ? tr("Hamlib model %1; stops mid-word").arg(model.id)
                              : tr("Hamlib model %1; keys the word it holds to its end").arg(model.id),
                          Qt::ToolTipRole);
    }
    QCompleter *completer = list_.completer();
    completer->setFilterMode(Qt::MatchContains);
    completer->setCaseSensitivity(Qt::CaseInsensitive);
    completer->setCompletionMode(QCompleter::PopupCompletion);
    WheelGuard::guard(&list_);
    connect(&list_, &QComboBox::activated, this, &RadioModelChooser::choose);
    connect(list_.lineEdit(), &QLineEdit::editingFinished, this, &RadioModelChooser::showStored);
    connect(&store_, &SettingsStore::changed, this, [this](const QString &key) {
        if (key == KLKRadioModelKey)
            showStored();
    });
    showStored();
}

void RadioModelChooser::showStored()
{
    const int stored = store_.intValue(KLKRadioModelKey);
    int index = list_.findData(stored);
    if (index < 0) {
        list_.addItem(tr("Hamlib model %1 (no keyer in this Hamlib)").arg(stored), stored);
        index = list_.count() - 1;
    }
    const QSignalBlocker blocker(list_);
    list_.setCurrentIndex(index);
    list_.setEditText(list_.itemText(index));
}

void RadioModelChooser::choose(int index)
{
    const int model = list_.itemData(index).toInt();
    if (model == 0)
        store_.remove(KLKRadioModelKey);
    else if (model != store_.intValue(KLKRadioModelKey))
        store_.setValue(KLKRadioModelKey, qint64(model));
}
