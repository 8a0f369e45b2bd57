#include "preferences/advanced_pane.h"

#include "preferences/keying_lines.h"
#include "record/sent_record.h"
#include "settings/setting_binding.h"
#include "settings/settings_keys.h"
#include "settings/settings_store.h"
#include "ui_Preferences.h"

#include <QDir>

namespace {

// The keying lines count only the boolean true itself as set; the check boxes show the same.
QVariant identityFlagOf(const QVariant &stored)
{
    return stored.metaType().id() == QMetaType::Bool && stored.toBool();
}

} // namespace

AdvancedPane::AdvancedPane(Ui::Preferences &ui, SettingsStore &store, QObject *parent)
    : PreferencesPane(store, parent), ui_(ui)
{
    bindSetting(ui_.serialDTRCheckBox, KLKSerialDTRKey)->setConverters(identityFlagOf);
    bindSetting(ui_.serialDTRReverseCheckBox, KLKSerialDTRReverseKey)->setConverters(identityFlagOf);
    bindSetting(ui_.serialRTSCheckBox, KLKSerialRTSKey)->setConverters(identityFlagOf);
    bindSetting(ui_.serialRTSReverseCheckBox, KLKSerialRTSReverseKey)->setConverters(identityFlagOf);
    showLineStates();
    connect(&store_, &SettingsStore::changed, this, [this](const QString &key) {
        if (key == KLKSerialDTRKey || key == KLKSerialDTRReverseKey || key == KLKSerialRTSKey ||
            key == KLKSerialRTSReverseKey)
            showLineStates();
    });

    bindSetting(ui_.scrollBackSpinBox, KLKConsoleScrollBackKey)
        ->setConverters(&SettingBinding::readInteger, &SettingBinding::storeInteger);
    bindSetting(ui_.sentRecordCheckBox, KLKSentRecordKey)->setConverters(&SettingBinding::readFlag);
    bindSetting(ui_.sentRecordDaysSpinBox, KLKSentRecordDaysKey)
        ->setConverters(&SettingBinding::readInteger, &SettingBinding::storeInteger);
    ui_.sentRecordFolderLabel->setText(QDir::toNativeSeparators(SentRecord::defaultFolder()));
}

QWidget *AdvancedPane::controlFor(const QString &key) const
{
    if (key == KLKSerialDTRKey)
        return ui_.serialDTRCheckBox;
    if (key == KLKSerialRTSKey)
        return ui_.serialRTSCheckBox;
    return nullptr;
}

void AdvancedPane::showLineStates()
{
    const KeyingLines lines(
        store_.isTrueByIdentity(KLKSerialDTRKey), store_.isTrueByIdentity(KLKSerialDTRReverseKey),
        store_.isTrueByIdentity(KLKSerialRTSKey), store_.isTrueByIdentity(KLKSerialRTSReverseKey));
    ui_.lineStateLabel->setText(lines.table());
    ui_.lineStateLabel->setToolTip(lines.summary());
    ui_.lineStateLabel->setAccessibleDescription(lines.summary());
}
