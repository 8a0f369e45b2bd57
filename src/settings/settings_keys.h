#pragma once

#include <QList>
#include <QString>
#include <QVariant>

#include <optional>

// Every settings key Keylark reads or writes, with its kind and registered default.

inline constexpr int GROUPCOUNT = 8;
inline constexpr int FUNCTIONCOUNT = 12;

inline const QString KLKWpmKey = QStringLiteral("wpm");
inline const QString KLKTimeDahKey = QStringLiteral("timeDah");
inline const QString KLKTimeLetterKey = QStringLiteral("timeLetter");
inline const QString KLKTimeWordKey = QStringLiteral("timeWord");
inline const QString KLKDayOfGmKey = QStringLiteral("dayOfGm");
inline const QString KLKDayOfGaKey = QStringLiteral("dayOfGa");
inline const QString KLKDayOfGeKey = QStringLiteral("dayOfGe");
inline const QString KLKBeaconDelayKey = QStringLiteral("beaconDelay");
inline const QString KLKSerialDeviceKey = QStringLiteral("serialDevice");
inline const QString KLKSerialStartUpOpenKey = QStringLiteral("serialStartUpOpen");
inline const QString KLKRransmitKeyEquivKey = QStringLiteral("transmitKeyEquiv");
inline const QString KLKPreferenceSelectedKey = QStringLiteral("preferenceSelected");
inline const QString KLKSerialDTRKey = QStringLiteral("serialDTR");
inline const QString KLKSerialDTRReverseKey = QStringLiteral("serialDTRReverse");
inline const QString KLKSerialRTSKey = QStringLiteral("serialRTS");
inline const QString KLKSerialRTSReverseKey = QStringLiteral("serialRTSReverse");
inline const QString KLKSerialPTTKey = QStringLiteral("serialPTT"); // "none", "DTR" or "RTS"
inline const QString KLKSerialPTTReverseKey = QStringLiteral("serialPTTReverse");
inline const QString KLKPTTLeadKey = QStringLiteral("pttLead");
inline const QString KLKPTTTailKey = QStringLiteral("pttTail");
inline const QString KLKConsoleLogFontKey = QStringLiteral("consoleLogFont");
inline const QString KLKNetworkKeyingKey = QStringLiteral("networkKeying");
inline const QString KLKNetworkAllInterfacesKey = QStringLiteral("networkAllInterfaces");
inline const QString KLKNetworkPortKey = QStringLiteral("networkPort");
inline const QString KLKNetworkAllowedSendersKey = QStringLiteral("networkAllowedSenders");
inline const QString KLKPracticeModeKey = QStringLiteral("practiceMode");
inline const QString KLKKeyboardModeKey = QStringLiteral("keyboardMode");
inline const QString KLKSidetoneKey = QStringLiteral("sidetone");
inline const QString KLKSidetonePitchKey = QStringLiteral("sidetonePitch");
inline const QString KLKSidetoneVolumeKey = QStringLiteral("sidetoneVolume");
inline const QString KLKConsoleScrollBackKey = QStringLiteral("consoleScrollBack");
inline const QString KLKSentRecordKey = QStringLiteral("sentRecord");
inline const QString KLKSentRecordDaysKey = QStringLiteral("sentRecordDays");
inline const QString KLKKeyingOutputKey = QStringLiteral("keyingOutput");
inline const QString KLKRadioModelKey = QStringLiteral("radioModel");
inline const QString KLKRadioPortKey = QStringLiteral("radioPort");
inline const QString KLKRadioSerialSpeedKey = QStringLiteral("radioSerialSpeed");
inline const QString KLKRadioThroughRigctldKey = QStringLiteral("radioThroughRigctld");
inline const QString KLKRigctldHostKey = QStringLiteral("rigctldHost");
inline const QString KLKRigctldPortKey = QStringLiteral("rigctldPort");
inline const QString KLKWinKeyerPortKey = QStringLiteral("winKeyerPort");
inline const QString KLKWinKeyerFollowsKnobKey = QStringLiteral("winKeyerFollowsKnob"); // knob sets "wpm"

// The values of "keyingOutput": what keys the transmitter.
inline const QString KLKSerialLineOutput = QStringLiteral("serialLine"); // DTR/RTS of a serial port
inline const QString KLKRadioKeyerOutput = QStringLiteral("radioKeyer"); // the radio's keyer over CAT
inline const QString KLKWinKeyerOutput = QStringLiteral("winKeyer");    // a WinKeyer on a serial port

enum class SettingKind { Text, Integer, Real, NumericText, Boolean, IntegerOrBoolean, Date };

// The values a numeric setting may take. The windows offer this range, and the keying engine keys only
// with values inside it, whatever the file holds.
struct SettingRange
{
    double minimum;
    double maximum;

    bool contains(double value) const { return value >= minimum && value <= maximum; } // NaN: false
    // The nearest value inside the range; NaN gives the minimum.
    double clamp(double value) const
    {
        return value > maximum ? maximum : value >= minimum ? value : minimum;
    }
};

inline constexpr SettingRange KLKWpmRange{5, 40};
inline constexpr SettingRange KLKRatioRange{1, 10}; // "timeDah", "timeLetter" and "timeWord", in dits
inline constexpr SettingRange KLKNetworkPortRange{1024, 65535};    // UDP ports a desktop user may listen on
inline constexpr SettingRange KLKSidetonePitchRange{300, 1200};    // Hz
inline constexpr SettingRange KLKSidetoneVolumeRange{0, 100};      // percent of full scale
inline constexpr SettingRange KLKScrollBackRange{100, 1'000'000};  // lines the console's log keeps
inline constexpr SettingRange KLKSentRecordDaysRange{1, 3650};     // days a file of the sent record is kept
inline constexpr SettingRange KLKRadioSerialSpeedRange{0, 115200}; // bits per second; 0 the model's own
inline constexpr SettingRange KLKRigctldPortRange{1, 65535};
inline constexpr SettingRange KLKPTTLeadRange{0, 500};  // ms from PTT on to the first key-down
inline constexpr SettingRange KLKPTTTailRange{0, 2000}; // ms from the last key-up to PTT off

struct SettingDeclaration
{
    QString key;
    SettingKind kind;
    QVariant registeredDefault;          // invalid: no registered default
    std::optional<SettingRange> range{}; // for numeric settings that have one
};

// The keys with a name of their own, in the order they are documented.
const QList<SettingDeclaration> &namedSettings();

// The declared range of a key; none for a key without one.
std::optional<SettingRange> settingRange(const QString &key);

// The registration layer installed at every start.
QVariantHash registeredDefaults();

// Keys formed from patterns. A group is "messageG1" to "messageG8", a key 1 to 12, a macro one capital
// letter.
QString groupIdentifier(int group);                                  // messageG3
QString groupLabelKey(int group);                                    // messageG3Label
QString groupLabelKey(const QString &groupIdentifier);               // messageG3Label
QString messageKey(const QString &groupIdentifier, int key);         // messageG3F12
QString labelKey(const QString &groupIdentifier, int key);           // messageG3LabelF12
QString groupMacroKey(const QString &groupIdentifier, QChar letter); // messageG3MacroP
QString globalMacroKey(QChar letter);                                // macroM

inline const QString GlobalMacroLetters = QStringLiteral("MOHJCR");
inline const QString GroupMacroLetters = QStringLiteral("PNTY");
