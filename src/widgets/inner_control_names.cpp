#include "widgets/inner_control_names.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QAccessibleInterface>
#include <QComboBox>
#include <QCoreApplication>
#include <QLineEdit>
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

} // namespace

void InnerControlNames::nameAll(QWidget *window)
{
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
