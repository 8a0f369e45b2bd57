#include "compose/keyer.h"

#include "keying/diagnostics.h"
#include "keying/keying_controller.h"
#include "keying/queued_keying.h"
#include "settings/settings_keys.h"
#include "settings/settings_store.h"

namespace {

QString token(QChar letter)
{
    return QStringLiteral("$") + letter;
}

// Cuts the text to at most maxBytes of UTF-8, at a whole character. True when something was cut.
bool cutToBytes(QString &text, qsizetype maxBytes)
{
    const QByteArray bytes = text.toUtf8();
    if (bytes.size() <= maxBytes)
        return false;
    qsizetype end = maxBytes;
    while (end > 0 && (static_cast<unsigned char>(bytes.at(end)) & 0xC0) == 0x80)
        --end;
    text = QString::fromUtf8(bytes.first(end));
    return true;
}

void reportCut()
{
    Diagnostics::out(QStringLiteral("#.. Keylark : Macro expansion stopped at %1 bytes, the most one "
                                    "transmission carries; the rest was dropped.")
                         .arg(Keyer::MaxExpansionBytes));
}

} // namespace

Keyer::Keyer(SettingsStore &store, KeyingController &serialController)
    : store_(store), serialController_(serialController)
{
}

void Keyer::sendMessage(const QString &message, const QString &messageGroup)
{
    serialController_.cwSendString(replaceAllMacro(message, messageGroup).toUpper());
}

bool Keyer::isSending() const
{
    return serialController_.cwIsSending() != 0;
}

void Keyer::sendStop()
{
    serialController_.cwSendStop();
}

void Keyer::sendClear()
{
    serialController_.cwSendClear();
}

void Keyer::beaconSend()
{
    serialController_.cwBeaconTransmission();
}

bool Keyer::beaconArmed() const
{
    return serialController_.cwBeaconArmed();
}

int Keyer::beaconPauseLeft() const
{
    return serialController_.cwBeaconPauseLeft();
}

void Keyer::beaconDisarm()
{
    serialController_.cwBeaconDisarm();
}

ElementTimeline *Keyer::elementTimeline() const
{
    return serialController_.elementTimeline();
}

KeyboardText *Keyer::keyboardText() const
{
    QueuedKeying *queued = serialController_.queuedKeying();
    return queued ? &queued->keyboardText() : nullptr;
}

int Keyer::keyTyped()
{
    QueuedKeying *queued = serialController_.queuedKeying();
    return queued ? queued->cwSendQueued() : -1;
}

void Keyer::replaceMacro(QString &text, const QString &macro, const QString &replaceString) const
{
    if (expandToken(text, macro, replaceString))
        reportCut();
}

QString Keyer::replaceGlobalMacro(const QString &text) const
{
    QString copy = text;
    if (expandGlobal(copy))
        reportCut();
    return copy;
}

QString Keyer::replaceLocalMacro(const QString &text, const QString &messageGroup) const
{
    QString copy = text;
    if (expandLocal(copy, messageGroup))
        reportCut();
    return copy;
}

QString Keyer::replaceAllMacro(const QString &text, const QString &messageGroup) const
{
    QString copy = text;
    const bool globalCut = expandGlobal(copy);
    const bool localCut = expandLocal(copy, messageGroup);
    if (globalCut || localCut)
        reportCut();
    return copy;
}

QString Keyer::getGreeting() const
{
    const int gm = boundaryMinute(KLKDayOfGmKey);
    const int ga = boundaryMinute(KLKDayOfGaKey);
    const int ge = boundaryMinute(KLKDayOfGeKey);
    const QTime time = clock_().toLocalTime().time();
    const int now = time.hour() * 60 + time.minute();
    if (now < gm)
        return QStringLiteral("GE");
    if (now < ga)
        return QStringLiteral("GM");
    if (now < ge)
        return QStringLiteral("GA");
    return QStringLiteral("GE");
}

QVariant Keyer::setting(const QString &key) const
{
    if (readObserver_)
        readObserver_(key);
    return store_.value(key);
}

int Keyer::boundaryMinute(const QString &key) const
{
    const QTime time = SettingValue::boundaryTime(setting(key));
    return time.hour() * 60 + time.minute();
}

// Replaces every occurrence of the token, resuming the search after each inserted value, so a value is
// never searched for its own token. Growth past what a transmission carries is cut off (true).
bool Keyer::expandToken(QString &text, const QString &macro, const QString &value) const
{
    qsizetype at = macro.isEmpty() ? -1 : text.indexOf(macro);
    if (at < 0)
        return false;
    const bool grows = value.toUtf8().size() > macro.toUtf8().size();
    QString result;
    qsizetype from = 0;
    while (at >= 0) {
        result.append(QStringView(text).sliced(from, at - from)).append(value);
        from = at + macro.size();
        // Every UTF-16 unit takes at least one byte: past this the rest would be cut anyway.
        if (grows && result.size() > MaxExpansionBytes)
            break;
        at = text.indexOf(macro, from);
    }
    result.append(QStringView(text).sliced(from));
    text = result;
    return grows && cutToBytes(text, MaxExpansionBytes);
}

bool Keyer::expandGlobal(QString &text) const
{
    bool cut = false;
    for (const QChar letter : GlobalMacroLetters + u'G') {
        const QString macro = token(letter);
        if (!text.contains(macro))
            continue;
        const QString value =
            letter == u'G' ? getGreeting() : SettingValue::toText(setting(globalMacroKey(letter)));
        cut = expandToken(text, macro, value) || cut;
    }
    return cut;
}

bool Keyer::expandLocal(QString &text, const QString &messageGroup) const
{
    bool cut = false;
    for (const QChar letter : GroupMacroLetters) {
        const QString macro = token(letter);
        if (!text.contains(macro))
            continue;
        const QString value = SettingValue::toText(setting(groupMacroKey(messageGroup, letter)));
        cut = expandToken(text, macro, value) || cut;
    }
    return cut;
}
