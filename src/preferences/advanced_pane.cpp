#include "preferences/advanced_pane.h"

#include "preferences/keying_lines.h"
#include "record/sent_record.h"
#include "settings/setting_binding.h"
#include "settings/settings_keys.h"
#include "settings/settings_store.h"
#include "ui_Preferences.h"

#include <QDir>

#include <algorithm>

namespace {

// The keying lines count only the boolean true itself as set; the check boxes show the same.
QVariant identityFlagOf(const QVariant &stored)
{
    return stored.metaType().id() == QMetaType::Bool && stored.toBool();
}

// The PTT line as stored and as the index of its choice; a value the keyer does not know shows as none.
const QString pttLines[] = {QStringLiteral("none"), QStringLiteral("DTR"), QStringLiteral("RTS")};

QVariant pttIndexOf(const QVariant &stored)
{
    const QString line = stored.toString();
    return line == pttLines[1] ? 1 : line == pttLines[2] ? 2 : 0;
}

QVariant pttLineOf(const QVariant &index)
{
    return pttLines[std::clamp(index.toInt(), 0, 2)];
}

bool isLineSetting(const QString &key)
{
    return key == KLKSerialDTRKey || key == KLKSerialDTRReverseKey || key == KLKSerialRTSKey ||
           key == KLKSerialRTSReverseKey || key == KLKSerialPTTKey || key == KLKSerialPTTReverseKey;
}

} // namespace

AdvancedPane::AdvancedPane(Ui::Preferences &ui, SettingsStore &store, QObject *parent)
    : PreferencesPane(store, parent), ui_(ui)
{
    bindSetting(ui_.serialDTRCheckBox, KLKSerialDTRKey)->setConverters(identityFlagOf);
    bindSetting(ui_.serialDTRReverseCheckBox, KLKSerialDTRReverseKey)->setConverters(identityFlagOf);
    bindSetting(ui_.serialRTSCheckBox, KLKSerialRTSKey)->setConverters(identityFlagOf);
    bindSetting(ui_.serialRTSReverseCheckBox, KLKSerialRTSReverseKey)->setConverters(identityFlagOf);
    bindSetting(ui_.pttLineComboBox, KLKSerialPTTKey, 0, "currentIndex")
        ->setConverters(pttIndexOf, pttLineOf);
    bindSetting(ui_.pttReverseCheckBox, KLKSerialPTTReverseKey)->setConverters(&SettingBinding::readFlag);
    bindSetting(ui_.pttLeadSpinBox, KLKPTTLeadKey)
        ->setConverters(&SettingBinding::readInteger, &SettingBinding::storeInteger);
    bindSetting(ui_.pttTailSpinBox, KLKPTTTailKey)
        ->setConverters(&SettingBinding::readInteger, &SettingBinding::storeInteger);
    showLineStates();
    connect(&store_, &SettingsStore::changed, this, [this](const QString &key) {
        if (isLineSetting(key))
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

// A line chosen for PTT does not key: its boxes are off limits while it is.
void AdvancedPane::showLineStates()
{
    const auto ptt = KeyingLines::Ptt(pttIndexOf(store_.value(KLKSerialPTTKey)).toInt());
    const bool pttReverse = store_.boolValue(KLKSerialPTTReverseKey);
    const KeyingLines lines(store_.isTrueByIdentity(KLKSerialDTRKey),
                            store_.isTrueByIdentity(KLKSerialDTRReverseKey),
                            store_.isTrueByIdentity(KLKSerialRTSKey),
                            store_.isTrueByIdentity(KLKSerialRTSReverseKey), ptt, pttReverse);
    for (QWidget *box : {ui_.serialDTRCheckBox, ui_.serialDTRReverseCheckBox})
        box->setEnabled(ptt != KeyingLines::Ptt::DTR);
    for (QWidget *box : {ui_.serialRTSCheckBox, ui_.serialRTSReverseCheckBox})
        box->setEnabled(ptt != KeyingLines::Ptt::RTS);
    ui_.pttReverseCheckBox->setEnabled(ptt != KeyingLines::Ptt::None);
    ui_.lineStateLabel->setText(lines.table());
    ui_.lineStateLabel->setToolTip(lines.summary());
    ui_.lineStateLabel->setAccessibleDescription(lines.summary());
}
