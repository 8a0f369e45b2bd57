#include "widgets/disabled_reason.h"

#include <QStringList>
#include <QVariant>
#include <QWidget>

namespace {

constexpr char ownToolTip[] = "keylarkOwnToolTip";
constexpr char disabledReason[] = "keylarkDisabledReason";

QString reasonOf(const QWidget &widget)
{
    return widget.property(disabledReason).toString();
}

// The reasons of the widget and of every greyed-out control around it, outermost first.
QString reasonsFor(const QWidget *widget)
{
    QStringList reasons;
    for (; widget; widget = widget->parentWidget()) {
        if (const QString reason = reasonOf(*widget); !reason.isEmpty())
            reasons.prepend(reason);
    }
    return reasons.join(u'\n');
}

// A widget with no tooltip and no reason of its own leaves its tooltip empty: the question goes on to its
// parent, which answers.
void explain(QWidget &widget)
{
    if (!widget.property(ownToolTip).isValid())
        widget.setProperty(ownToolTip, widget.toolTip());
    const QString own = widget.property(ownToolTip).toString();
    const QString reasons = reasonsFor(&widget);
    if (reasons.isEmpty() || (own.isEmpty() && reasonOf(widget).isEmpty()))
        widget.setToolTip(own);
    else
        widget.setToolTip(own.isEmpty() ? reasons : reasons + QStringLiteral("\n\n") + own);
}

} // namespace

void DisabledReason::apply(const QList<QWidget *> &controls, bool usable, const QString &why)
{
    for (QWidget *control : controls) {
        control->setEnabled(usable);
        control->setProperty(disabledReason, usable ? QString() : why);
        explain(*control);
        for (QWidget *child : control->findChildren<QWidget *>())
            explain(*child);
    }
}
