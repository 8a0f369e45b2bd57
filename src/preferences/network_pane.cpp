#include "preferences/network_pane.h"

#include "network/allowed_senders.h"
#include "settings/setting_binding.h"
#include "settings/settings_keys.h"
#include "settings/settings_store.h"
#include "ui_Preferences.h"

// The address is a choice of two, stored as whether every interface listens.
NetworkPane::NetworkPane(Ui::Preferences &ui, SettingsStore &store, QObject *parent)
    : PreferencesPane(store, parent), ui_(ui)
{
    bindSetting(ui_.networkKeyingCheckBox, KLKNetworkKeyingKey)->setConverters(&SettingBinding::readFlag);
    auto *address =
        new SettingBinding(ui_.networkAddressComboBox, store_, KLKNetworkAllInterfacesKey, 0, "currentIndex");
    address->setConverters(
        [](const QVariant &stored) { return QVariant(SettingValue::toBool(stored) ? 1 : 0); },
        [](const QVariant &index) { return QVariant(index.toInt() == 1); });
    bindSetting(ui_.networkPortSpinBox, KLKNetworkPortKey)
        ->setConverters(&SettingBinding::readInteger, &SettingBinding::storeInteger);
    bindText(ui_.networkAllowedSendersEdit, KLKNetworkAllowedSendersKey);
    showWhoMayKey();
    connect(&store_, &SettingsStore::changed, this, [this](const QString &key) {
        if (key == KLKNetworkAllInterfacesKey || key == KLKNetworkAllowedSendersKey)
            showWhoMayKey();
    });
}

void NetworkPane::showWhoMayKey()
{
    const bool everywhere = store_.boolValue(KLKNetworkAllInterfacesKey);
    ui_.networkWarningLabel->setVisible(everywhere);
    ui_.networkWhoMayKeyLabel->setText(
        AllowedSenders::whoMayKey(everywhere, store_.stringValue(KLKNetworkAllowedSendersKey)));
}
