// Macro expansion with arbitrary stored values and texts. The input is lines of UTF-8:
//   1. the message, as typed or stored under a function key;
//   2. the message group, a digit 1 to 8 (any other: group 1);
//   3. the time of day the greeting is chosen by, "HH:MM";
//   4. and after: settings as KEY=VALUE. A KEY of one letter is that macro ($M is macroM, $P the group's
//      messageG<n>MacroP), gm/ga/ge the greeting boundaries, anything else the key itself. A VALUE is
//      stored as text, or as "i:<integer>", "d:<number>", "b:<0|1>" or "t:<ISO date>".
#include "compose/keyer.h"
#include "compose/recording_keying_controller.h"
#include "fuzz_check.h"
#include "settings/settings_keys.h"
#include "settings/settings_store.h"

#include <QDateTime>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdint>

namespace {

struct Fixture
{
    QTemporaryDir dir;
    SettingsStore store{dir.filePath(QStringLiteral("settings.json"))};
    RecordingKeyingController controller;
    Keyer keyer{store, controller};
    QStringList storedKeys;
    QDateTime now;

    Fixture()
    {
        store.registerDefaults(registeredDefaults());
        keyer.setClock([this] { return now; });
    }
};

Fixture &fixture()
{
    static Fixture *made = new Fixture; // never destroyed: nothing is written at exit
    return *made;
}

QString settingKey(const QString &name, const QString &group)
{
    if (name.size() == 1 && GlobalMacroLetters.contains(name))
        return globalMacroKey(name.at(0));
    if (name.size() == 1 && GroupMacroLetters.contains(name))
        return groupMacroKey(group, name.at(0));
    if (name == u"gm")
        return KLKDayOfGmKey;
    if (name == u"ga")
        return KLKDayOfGaKey;
    if (name == u"ge")
        return KLKDayOfGeKey;
    return name;
}

QVariant settingValue(const QString &text)
{
    const QString rest = text.mid(2);
    if (text.startsWith(u"i:"))
        return rest.toLongLong();
    if (text.startsWith(u"d:"))
        return rest.toDouble();
    if (text.startsWith(u"b:"))
        return rest == u"1";
    if (text.startsWith(u"t:"))
        return QDateTime::fromString(rest, Qt::ISODateWithMs);
    return text;
}

bool validUtf16(const QString &text)
{
    return QString::fromUtf8(text.toUtf8()) == text;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    Fixture &f = fixture();
    const QStringList lines =
        QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size)).split(u'\n');
    const QString message = lines.value(0);
    const int number = lines.value(1).toInt();
    const QString group = groupIdentifier(number >= 1 && number <= GROUPCOUNT ? number : 1);
    f.now = QDateTime(QDate(2024, 6, 1), QTime::fromString(lines.value(2), QStringLiteral("HH:mm")));

    for (const QString &key : std::as_const(f.storedKeys))
        f.store.remove(key);
    f.storedKeys.clear();
    bool validInput = validUtf16(message);
    for (qsizetype i = 3; i < lines.size(); ++i) {
        const qsizetype equals = lines[i].indexOf(u'=');
        if (equals <= 0)
            continue;
        const QString key = settingKey(lines[i].left(equals), group);
        const QVariant value = settingValue(lines[i].mid(equals + 1));
        f.store.setValue(key, value);
        f.storedKeys.append(key);
        validInput = validInput && validUtf16(SettingValue::toText(value));
    }

    const QString expanded = f.keyer.replaceAllMacro(message, group);
    const qsizetype bound = std::max<qsizetype>(Keyer::MaxExpansionBytes, message.toUtf8().size());
    FUZZ_CHECK(expanded.toUtf8().size() <= bound);
    FUZZ_CHECK(message.contains(u'$') || expanded == message);
    FUZZ_CHECK(!validInput || validUtf16(expanded));
    f.keyer.replaceGlobalMacro(message);
    f.keyer.replaceLocalMacro(message, group);

    const QString greeting = f.keyer.getGreeting();
    FUZZ_CHECK(greeting == u"GM" || greeting == u"GA" || greeting == u"GE");
    for (const QString &key : {KLKDayOfGmKey, KLKDayOfGaKey, KLKDayOfGeKey})
        FUZZ_CHECK(SettingValue::boundaryTime(f.store.value(key)).isValid());

    f.controller.requests.clear();
    f.keyer.sendMessage(message, group);
    FUZZ_CHECK(f.controller.requests == QStringList{QStringLiteral("send:") + expanded.toUpper()});
    return 0;
}
