#include "settings/settings_keys.h"

#include <QDateTime>

namespace {

QDateTime boundary(const char *text)
{
    return QDateTime::fromString(QString::fromLatin1(text), QStringLiteral("yyyy-MM-dd HH:mm:ss t"));
}

} // namespace

const QList<SettingDeclaration> &namedSettings()
{
    // clang-format off
    static const QList<SettingDeclaration> settings = {
        {KLKWpmKey,                SettingKind::Integer,          qint64(12)},
        {KLKTimeDahKey,            SettingKind::NumericText,      QStringLiteral("3")},
        {KLKTimeLetterKey,         SettingKind::NumericText,      QStringLiteral("3")},
        {KLKTimeWordKey,           SettingKind::NumericText,      QStringLiteral("7")},
        {KLKDayOfGmKey,            SettingKind::Date,             boundary("2008-05-01 05:00:00 +0900")},
        {KLKDayOfGaKey,            SettingKind::Date,             boundary("2008-05-01 12:00:00 +0900")},
        {KLKDayOfGeKey,            SettingKind::Date,             boundary("2008-05-01 18:00:00 +0900")},
        {KLKBeaconDelayKey,        SettingKind::Integer,          qint64(0)},
        {KLKSerialDeviceKey,       SettingKind::Text,             {}},
        {KLKSerialStartUpOpenKey,  SettingKind::IntegerOrBoolean, {}},
        {KLKRransmitKeyEquivKey,   SettingKind::Boolean,          {}},
        {KLKPreferenceSelectedKey, SettingKind::Text,             {}},
        {KLKSerialDTRKey,          SettingKind::Boolean,          {}},
        {KLKSerialDTRReverseKey,   SettingKind::Boolean,          {}},
        {KLKSerialRTSKey,          SettingKind::Boolean,          {}},
        {KLKSerialRTSReverseKey,   SettingKind::Boolean,          {}},
    };
    // clang-format on
    return settings;
}

QVariantHash registeredDefaults()
{
    QVariantHash defaults;
    defaults.reserve(10);
    for (const SettingDeclaration &setting : namedSettings()) {
        if (setting.registeredDefault.isValid())
            defaults.insert(setting.key, setting.registeredDefault);
    }
    for (int group = 1; group <= GROUPCOUNT; ++group)
        defaults.insert(groupLabelKey(group), QStringLiteral("G%1").arg(group));
    return defaults;
}

QString groupIdentifier(int group)
{
    return QStringLiteral("messageG%1").arg(group);
}

QString groupLabelKey(int group)
{
    return groupLabelKey(groupIdentifier(group));
}

QString groupLabelKey(const QString &groupIdentifier)
{
    return groupIdentifier + QStringLiteral("Label");
}

QString messageKey(const QString &groupIdentifier, int key)
{
    return QStringLiteral("%1F%2").arg(groupIdentifier).arg(key);
}

QString labelKey(const QString &groupIdentifier, int key)
{
    return QStringLiteral("%1LabelF%2").arg(groupIdentifier).arg(key);
}

QString groupMacroKey(const QString &groupIdentifier, QChar letter)
{
    return groupIdentifier + QStringLiteral("Macro") + letter;
}

QString globalMacroKey(QChar letter)
{
    return QStringLiteral("macro") + letter;
}
