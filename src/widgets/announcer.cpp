#include "widgets/announcer.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QWidget>

namespace {

constexpr int regionCount = 3;
const char *const regionRole = "keylarkAnnouncementRole";

// Gives a region the role it was made with; every other widget keeps Qt's own interface.
QAccessibleInterface *regionInterface(const QString &className, QObject *object)
{
    auto *widget = qobject_cast<QWidget *>(object);
    if (className != QLatin1String("QWidget") || !widget || !widget->property(regionRole).isValid())
        return nullptr;
    return new QAccessibleWidget(widget, QAccessible::Role(widget->property(regionRole).toInt()));
}

QList<QWidget *> makeRegions(QWidget *host, const QString &name, QAccessible::Role role)
{
    QList<QWidget *> regions;
    for (int index = 0; index < regionCount; ++index) {
        auto *region = new QWidget(host);
        region->setObjectName(name);
        region->setProperty(regionRole, int(role));
        region->setFixedSize(0, 0);
        region->setFocusPolicy(Qt::NoFocus);
        regions.append(region);
    }
    return regions;
}

} // namespace

Announcer::Announcer(QWidget *host) : QObject(host)
{
    static const bool installed = [] {
        QAccessible::installFactory(&regionInterface);
        return true;
    }();
    Q_UNUSED(installed);
    polite_ = makeRegions(host, QStringLiteral("announcement"), QAccessible::Notification);
    assertive_ = makeRegions(host, QStringLiteral("alert"), QAccessible::AlertMessage);
}

void Announcer::announce(const QString &text, Urgency urgency)
{
    if (text.isEmpty())
        return;
    const bool assertive = urgency == Urgency::Assertive;
    int &next = assertive ? nextAssertive_ : nextPolite_;
    QWidget *region = (assertive ? assertive_ : polite_).at(next);
    next = (next + 1) % regionCount;
    region->setAccessibleName(text); // Qt reports the new name itself
    QAccessibleEvent shown(region, QAccessible::ObjectShow);
    QAccessible::updateAccessibility(&shown);
    if (assertive) {
        QAccessibleEvent alert(region, QAccessible::Alert);
        QAccessible::updateAccessibility(&alert);
    }
}
