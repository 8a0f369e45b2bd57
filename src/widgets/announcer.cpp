#include "widgets/announcer.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QWidget>

namespace {

const char *const regionRole = "keylarkAnnouncementRole";

// Gives a region the role it was made with; every other widget keeps Qt's own interface.
QAccessibleInterface *regionInterface(const QString &className, QObject *object)
{
    auto *widget = qobject_cast<QWidget *>(object);
    if (className != QLatin1String("QWidget") || !widget || !widget->property(regionRole).isValid())
        return nullptr;
    return new QAccessibleWidget(widget, QAccessible::Role(widget->property(regionRole).toInt()));
}

QWidget *makeRegion(QWidget *host, const QString &name, QAccessible::Role role)
{
    auto *region = new QWidget(host);
    region->setObjectName(name);
    region->setProperty(regionRole, int(role));
    region->setFixedSize(0, 0);
    region->setFocusPolicy(Qt::NoFocus);
    return region;
}

} // namespace

Announcer::Announcer(QWidget *host) : QObject(host)
{
    static const bool installed = [] {
        QAccessible::installFactory(&regionInterface);
        return true;
    }();
    Q_UNUSED(installed);
    polite_ = makeRegion(host, QStringLiteral("announcement"), QAccessible::Notification);
    assertive_ = makeRegion(host, QStringLiteral("alert"), QAccessible::AlertMessage);
}

QWidget *Announcer::region(Urgency urgency) const
{
    return urgency == Urgency::Assertive ? assertive_ : polite_;
}

void Announcer::announce(const QString &text, Urgency urgency)
{
    if (text.isEmpty())
        return;
    QWidget *target = region(urgency);
    target->setAccessibleName(text);
    QAccessibleEvent named(target, QAccessible::NameChanged);
    QAccessible::updateAccessibility(&named);
    QAccessibleEvent shown(target, QAccessible::ObjectShow);
    QAccessible::updateAccessibility(&shown);
    if (urgency == Urgency::Assertive) {
        QAccessibleEvent alert(target, QAccessible::Alert);
        QAccessible::updateAccessibility(&alert);
    }
}
