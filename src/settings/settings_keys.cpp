#include "settings/settings_keys.h"

#include <QDateTime>

namespace {

// A time of day in the operator's own zone, whatever zone that is when the defaults are read.
QDateTime boundary(int hour)
{
    return QDateTime(QDate(2008, 5, 1), QTime(hour, 0), Qt::LocalTime);
}

} // namespace

const QList<SettingDeclaration> &namedSettings()
{
    // clang-format off
    static const QList<SettingDeclaration> settings = {
        {KLKWpmKey,                SettingKind::Integer,          qint64(12),           KLKWpmRange},
        {KLKTimeDahKey,            SettingKind::NumericText,      QStringLiteral("3"),  KLKRatioRange},
        {KLKTimeLetterKey,         SettingKind::NumericText,      QStringLiteral("3"),  KLKRatioRange},
        {KLKTimeWordKey,           SettingKind::NumericText,      QStringLiteral("7"),  KLKRatioRange},
        {KLKDayOfGmKey,            SettingKind::Date,             boundary(5)},
        {KLKDayOfGaKey,            SettingKind::Date,             boundary(12)},
        {KLKDayOfGeKey,            SettingKind::Date,             boundary(18)},
        {KLKBeaconDelayKey,        SettingKind::Integer,          qint64(0)},
        {KLKSerialDeviceKey,       SettingKind::Text,             {}},
        {KLKSerialStartUpOpenKey,  SettingKind::IntegerOrBoolean, {}},
        {KLKRransmitKeyEquivKey,   SettingKind::Boolean,          {}},
        {KLKPreferenceSelectedKey, SettingKind::Text,             {}},
        {KLKSerialDTRKey,          SettingKind::Boolean,          {}},
        {KLKSerialDTRReverseKey,   SettingKind::Boolean,          {}},
        {KLKSerialRTSKey,          SettingKind::Boolean,          {}},
        {KLKSerialRTSReverseKey,   SettingKind::Boolean,          {}},
        {KLKSerialPTTKey,          SettingKind::Text,             QStringLiteral("none")},
        {KLKSerialPTTReverseKey,   SettingKind::Boolean,          false},
        {KLKPTTLeadKey,            SettingKind::Integer,          qint64(50),           KLKPTTLeadRange},
        {KLKPTTTailKey,            SettingKind::Integer,          qint64(200),          KLKPTTTailRange},
        {KLKConsoleLogFontKey,     SettingKind::Text,             {}},
        {KLKNetworkKeyingKey,        SettingKind::Boolean,        false},
        {KLKNetworkAllInterfacesKey, SettingKind::Boolean,        false},
        {KLKNetworkPortKey,          SettingKind::Integer,        qint64(6789),       KLKNetworkPortRange},
        {KLKNetworkAllowedSendersKey, SettingKind::Text,          {}},
        {KLKPracticeModeKey,       SettingKind::Boolean,          false},
        {KLKKeyboardModeKey,       SettingKind::Boolean,          false},
        {KLKSidetoneKey,           SettingKind::Boolean,          true},
        {KLKSidetonePitchKey,      SettingKind::Integer,          qint64(700),          KLKSidetonePitchRange},
        {KLKSidetoneVolumeKey,     SettingKind::Integer,          qint64(50),           KLKSidetoneVolumeRange},
        {KLKConsoleScrollBackKey,  SettingKind::Integer,          qint64(10000),        KLKScrollBackRange},
        {KLKSentRecordKey,         SettingKind::Boolean,          true},
        {KLKSentRecordDaysKey,     SettingKind::Integer,          qint64(365),          KLKSentRecordDaysRange},
        {KLKKeyingOutputKey,       SettingKind::Text,             KLKSerialLineOutput},
        {KLKRadioModelKey,         SettingKind::Integer,          qint64(0)},
        {KLKRadioPortKey,          SettingKind::Text,             {}},
        {KLKRadioSerialSpeedKey,   SettingKind::Integer,          qint64(0),            KLKRadioSerialSpeedRange},
        {KLKRadioThroughRigctldKey, SettingKind::Boolean,         false},
        {KLKRigctldHostKey,        SettingKind::Text,             QStringLiteral("127.0.0.1")},
        {KLKRigctldPortKey,        SettingKind::Integer,          qint64(4532),         KLKRigctldPortRange},
        {KLKWinKeyerPortKey,       SettingKind::Text,             {}},
        {KLKWinKeyerFollowsKnobKey, SettingKind::Boolean,         false},
    };
    // clang-format on
    return settings;
}

std::optional<SettingRange> settingRange(const QString &key)
{
    for (const SettingDeclaration &setting : namedSettings()) {
        if (setting.key == key)
            return setting.range;
    }
    return std::nullopt;
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
