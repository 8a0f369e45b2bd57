#include "radio/hamlib_rig.h"

#include <QList>

#include <algorithm>
#include <atomic>
#include <fcntl.h>
#include <hamlib/rig.h>
#include <unistd.h>

namespace {

// Hamlib writes its debug output at the level set last; nothing, until asked for.
std::atomic<rig_debug_level_e> debugLevel{RIG_DEBUG_NONE};

QByteArray confValue(RIG *rig, const char *name)
{
    char value[128] = {};
    rig_get_conf(rig, rig_token_lookup(rig, name), value);
    return QByteArray(value);
}

} // namespace

RigResult RigResult::of(int code)
{
    if (code == RIG_OK)
        return {};
    // rigerror() also carries Hamlib's saved debug lines; rigerror2() is the error's own text.
    return {code, QString::fromUtf8(rigerror2(code)).trimmed()};
}

RigResult RigResult::noAnswerWithin(std::chrono::milliseconds deadline)
{
    return {-RIG_ETIMEOUT, QStringLiteral("No answer within %1 s").arg(deadline.count() / 1000.0)};
}

bool RigResult::unsupported() const
{
    return code == -RIG_ENAVAIL || code == -RIG_ENIMPL;
}

QString RigResult::hint(bool rigctld) const
{
    switch (-code) {
    case RIG_OK:
        return {};
    case RIG_ETIMEOUT:
        return rigctld ? QStringLiteral("Is the radio behind rigctld on and answering?")
                       : QStringLiteral("Is the radio on, and are its model and serial speed right?");
    case RIG_EIO:
        return rigctld ? QStringLiteral("Is rigctld running at that host and port?")
                       : QStringLiteral("Is the cable in, and the port free of other programs?");
    case RIG_EPROTO:
    case RIG_ERJCTED:
        return QStringLiteral("Is the radio's model right, and is it in CW?");
    case RIG_ENAVAIL:
    case RIG_ENIMPL:
        return QStringLiteral("This radio cannot key CW text through Hamlib.");
    default:
        return QStringLiteral("Check the radio's settings in Keylark's General pane.");
    }
}

HamlibRig::~HamlibRig()
{
    close();
}

void HamlibRig::setDebugOutput(bool on)
{
    debugLevel = on ? RIG_DEBUG_TRACE : RIG_DEBUG_NONE;
    applyDebugOutput();
}

void HamlibRig::applyDebugOutput()
{
    rig_set_debug(debugLevel);
}

RigResult HamlibRig::open(const RadioConnection &connection)
{
    close();
    applyDebugOutput();
    rig_ = rig_init(connection.model);
    if (!rig_)
        return {-RIG_ENIMPL, QStringLiteral("Hamlib has no radio model %1").arg(connection.model)};
    setConf("rig_pathname", connection.pathname().toUtf8());
    if (connection.serialSpeed > 0 && !connection.isRigctld())
        setConf("serial_speed", QByteArray::number(connection.serialSpeed));
    limitWaits(connection);
    const RigResult result = RigResult::of(rig_open(rig_));
    if (!result.ok()) {
        close();
        return result;
    }
    {
        std::scoped_lock lock(fdMutex_);
        fd_ = rig_->state.rigport.fd;
    }
    open_ = true;
    spaceAdded_ = connection.isRigctld() && rigctldAddsSpace(hamlib_version) &&
                  keysLeadingSpaces(connection.modelBehind);
    return result;
}

bool HamlibRig::rigctldAddsSpace(const char *version)
{
    const QList<QByteArray> words = QByteArray(version).split(' ');
    const QList<QByteArray> numbers = words.size() > 1 ? words[1].split('.') : QList<QByteArray>{};
    if (numbers.size() < 2)
        return false;
    const int major = numbers[0].toInt();
    return major < 4 || (major == 4 && numbers[1].toInt() < 6);
}

bool HamlibRig::keysLeadingSpaces(int model)
{
    return model > 0 && RIG_BACKEND_NUM(model) == RIG_ICOM;
}

// A piece ends with the spaces after its word: one of them moves to the front, where rigctld puts it. A
// text of one space stays as it is, for rigctld takes no empty text.
QByteArray HamlibRig::morseText(const QByteArray &text, bool spaceAdded)
{
    if (!spaceAdded || text.size() < 2 || !text.endsWith(' '))
        return text;
    return text.chopped(1);
}

void HamlibRig::limitWaits(const RadioConnection &connection)
{
    const int modelTimeout = confValue(rig_, "timeout").toInt();
    const int timeout =
        connection.isRigctld() ? rigctldTimeout : std::clamp(modelTimeout, 1, longestSerialTimeout);
    setConf("timeout", QByteArray::number(timeout));
    setConf("retry", QByteArray::number(std::min(confValue(rig_, "retry").toInt(), retries)));
}

void HamlibRig::setConf(const char *name, const QByteArray &value)
{
    rig_set_conf(rig_, rig_token_lookup(rig_, name), value.constData());
}

RigResult HamlibRig::setSpeed(int wpm)
{
    value_t value;
    value.i = wpm;
    return RigResult::of(open_ ? rig_set_level(rig_, RIG_VFO_CURR, RIG_LEVEL_KEYSPD, value) : -RIG_EINVAL);
}

int HamlibRig::keyerSpeedNearest(int wpm) const
{
    if (!rig_)
        return wpm;
    const gran_t &range = rig_->caps->level_gran[rig_setting2idx(RIG_LEVEL_KEYSPD)];
    return range.min.i < range.max.i ? std::clamp(wpm, range.min.i, range.max.i) : wpm;
}

RigResult HamlibRig::sendMorse(const QByteArray &text)
{
    if (!open_)
        return RigResult::of(-RIG_EINVAL);
    const QByteArray sent = morseText(text, spaceAdded_);
    return RigResult::of(rig_send_morse(rig_, RIG_VFO_CURR, sent.constData()));
}

RigResult HamlibRig::stopMorse()
{
    return RigResult::of(open_ ? rig_stop_morse(rig_, RIG_VFO_CURR) : -RIG_EINVAL);
}

bool HamlibRig::canStopMidText() const
{
    return rig_ && rig_->caps->stop_morse != nullptr;
}

void HamlibRig::cutOff()
{
    std::scoped_lock lock(fdMutex_);
    if (fd_ < 0)
        return;
    const int null = ::open("/dev/null", O_RDWR | O_CLOEXEC);
    ::dup2(null, fd_); // the number stays taken until Hamlib closes it, so no other file can get it
    ::close(null);
    fd_ = -1;
}

void HamlibRig::close()
{
    {
        std::scoped_lock lock(fdMutex_);
        fd_ = -1;
    }
    if (!rig_)
        return;
    if (open_)
        rig_close(rig_);
    rig_cleanup(rig_);
    rig_ = nullptr;
    open_ = false;
}
