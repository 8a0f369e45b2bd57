#include "preferences/preferences_pane.h"

#include "settings/setting_binding.h"

PreferencesPane::PreferencesPane(SettingsStore &store, QObject *parent) : QObject(parent), store_(store) {}

QWidget *PreferencesPane::controlFor(const QString &) const
{
    return nullptr;
}

void PreferencesPane::showGroup(const QString &) {}

SettingBinding *PreferencesPane::bindSetting(QObject *control, const QString &key,
                                             const QVariant &placeholder, const char *propertyName)
{
    return new SettingBinding(control, store_, key, placeholder, propertyName);
}

SettingBinding *PreferencesPane::bindText(QObject *control, const QString &key)
{
    SettingBinding *binding = bindSetting(control, key, QString());
    binding->setConverters(&SettingBinding::readText, &SettingBinding::storeTextOrAbsent);
    return binding;
}
