#include "preferences/message_pane.h"

#include "settings/setting_binding.h"
#include "settings/settings_keys.h"
#include "ui_Preferences.h"

#include <QLineEdit>

MessagePane::MessagePane(Ui::Preferences &ui, SettingsStore &store, QObject *parent)
    : GroupPane(*ui.messageGroupComboBox, store, parent), ui_(ui)
{
    followGroups();
}

void MessagePane::bindGroup(const QString &group)
{
    SettingBinding *label = bindSetting(ui_.groupLabelEdit, groupLabelKey(group), QString());
    label->setConverters(&SettingBinding::readText);
    keep(label);
    QWidget *pane = ui_.PrefMessage;
    for (int key = 1; key <= FUNCTIONCOUNT; ++key) {
        keep(bindText(pane->findChild<QLineEdit *>(QStringLiteral("labelEditF%1").arg(key)),
                      labelKey(group, key)));
        keep(bindText(pane->findChild<QLineEdit *>(QStringLiteral("messageEditF%1").arg(key)),
                      messageKey(group, key)));
    }
}
