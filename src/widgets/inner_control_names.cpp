#include "widgets/inner_control_names.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QAccessibleInterface>
#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>
#include <QToolBar>
#include <QToolButton>

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("InnerControlNames", text);
}

QString nameOf(QWidget *control)
{
    if (!control->accessibleName().isEmpty())
        return control->accessibleName();
    QAccessibleInterface *node = QAccessible::queryAccessibleInterface(control);
    return node ? node->text(QAccessible::Name) : QString();
}

QString labelText(const QLabel *label)
{
    QString text = label->text();
    text.remove(QRegularExpression(QStringLiteral("&(?!&)")));
    return text.remove(QRegularExpression(QStringLiteral("[:\\s]+$")));
}

// Qt's font dialog pairs each field with a list below it and labels only one of the two: the other takes
// the same name.
void namePairs(QWidget *window)
{
    QLineEdit *field = nullptr;
    for (QObject *child : window->children()) {
        if (auto *edit = qobject_cast<QLineEdit *>(child)) {
            field = edit;
            continue;
        }
        auto *list = qobject_cast<QAbstractItemView *>(child);
        if (!list || !field)
            continue;
        for (QLabel *label : window->findChildren<QLabel *>(Qt::FindDirectChildrenOnly)) {
            if (label->buddy() != field && label->buddy() != list)
                continue;
            if (field->accessibleName().isEmpty())
                field->setAccessibleName(labelText(label));
            if (list->accessibleName().isEmpty())
                list->setAccessibleName(tr("%1 list").arg(labelText(label)));
        }
        field = nullptr;
    }
}

} // namespace

void InnerControlNames::nameAll(QWidget *window)
{
    namePairs(window);
    for (QLineEdit *edit : window->findChildren<QLineEdit *>()) {
        for (QToolButton *button : edit->findChildren<QToolButton *>(Qt::FindDirectChildrenOnly)) {
            if (button->accessibleName().isEmpty())
                button->setAccessibleName(tr("Clear %1").arg(nameOf(edit)));
        }
    }
    for (QComboBox *box : window->findChildren<QComboBox *>()) {
        if (box->view() && box->view()->accessibleName().isEmpty())
            box->view()->setAccessibleName(tr("Choices of %1").arg(nameOf(box)));
    }
    for (QToolBar *bar : window->findChildren<QToolBar *>()) {
        for (QToolButton *button : bar->findChildren<QToolButton *>(Qt::FindDirectChildrenOnly)) {
            if (button->objectName() == QLatin1String("qt_toolbar_ext_button"))
                button->setAccessibleName(tr("More"));
        }
    }
}
