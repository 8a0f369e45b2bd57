#include "preferences/macro_pane.h"

#include "settings/setting_binding.h"
#include "settings/settings_keys.h"
#include "settings/settings_store.h"
#include "ui_Preferences.h"

#include <QDateTime>
#include <QLineEdit>

namespace {

// Only the time of day counts, read the way the greeting reads it.
QVariant timeOfDay(const QVariant &stored)
{
    return SettingValue::boundaryTime(stored);
}

QVariant todayAt(const QVariant &time)
{
    return QDateTime(QDate::currentDate(), time.toTime(), Qt::LocalTime);
}

} // namespace

MacroPane::MacroPane(Ui::Preferences &ui, SettingsStore &store, QObject *parent)
    : GroupPane(*ui.macroGroupComboBox, store, parent), ui_(ui)
{
    for (const QChar letter : GlobalMacroLetters)
        bindText(ui_.PrefMacro->findChild<QLineEdit *>(QStringLiteral("macroEdit") + letter),
                 globalMacroKey(letter));
    bindSetting(ui_.greetingMorningEdit, KLKDayOfGmKey)->setConverters(timeOfDay, todayAt);
    bindSetting(ui_.greetingAfternoonEdit, KLKDayOfGaKey)->setConverters(timeOfDay, todayAt);
    bindSetting(ui_.greetingEveningEdit, KLKDayOfGeKey)->setConverters(timeOfDay, todayAt);
    followGroups();
}

void MacroPane::bindGroup(const QString &group)
{
    for (const QChar letter : GroupMacroLetters) {
        keep(bindText(ui_.PrefMacro->findChild<QLineEdit *>(QStringLiteral("groupMacroEdit") + letter),
                      groupMacroKey(group, letter)));
    }
}
