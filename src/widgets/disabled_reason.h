#pragma once

#include <QList>
#include <QString>

class QWidget;

// Greys out controls that do nothing in the present choice and says why: the reason goes ahead of each
// control's own tooltip, and on a control without one (a group's empty space, a label) it is the tooltip.
// Made usable again, each control has its own tooltip back.
class DisabledReason
{
public:
    static void apply(const QList<QWidget *> &controls, bool usable, const QString &why);
};
