#pragma once

#include <QAccessible>
#include <QAccessibleInterface>
#include <QMenu>
#include <QSet>
#include <QStringList>
#include <QWidget>

#include <functional>

// Reads a window as a screen reader reads it: through Qt's accessibility interfaces, from the window down,
// and through the window's menus, which are windows of their own.
namespace AccessibleTree {

// The roles an operator acts on. Items inside a list or a table are not among them: they are named by the
// data they show.
inline bool isInteractive(QAccessible::Role role)
{
    switch (role) {
    case QAccessible::Button:
    case QAccessible::CheckBox:
    case QAccessible::RadioButton:
    case QAccessible::ComboBox:
    case QAccessible::EditableText:
    case QAccessible::SpinBox:
    case QAccessible::Slider:
    case QAccessible::Dial:
    case QAccessible::PageTab:
    case QAccessible::PageTabList:
    case QAccessible::List:
    case QAccessible::Tree:
    case QAccessible::Table:
    case QAccessible::ButtonDropDown:
    case QAccessible::ButtonMenu:
    case QAccessible::ButtonDropGrid:
    case QAccessible::HotkeyField:
    case QAccessible::Link:
    case QAccessible::MenuItem:
        return true;
    default:
        return false;
    }
}

inline QString describe(QAccessibleInterface *node)
{
    QObject *object = node->object();
    const QString kind =
        object ? QString::fromLatin1(object->metaObject()->className()) : QStringLiteral("?");
    const QString name = object ? object->objectName() : QString();
    return QStringLiteral("%1 \"%2\" (role 0x%3) in %4")
        .arg(kind, name, QString::number(node->role(), 16),
             node->parent() && node->parent()->object() ? node->parent()->object()->objectName()
                                                        : QStringLiteral("?"));
}

inline void visit(QAccessibleInterface *node, const std::function<void(QAccessibleInterface *)> &see,
                  QSet<QObject *> &seen, int depth = 0)
{
    if (!node || depth > 40)
        return;
    if (QObject *object = node->object()) {
        if (seen.contains(object) && node->role() != QAccessible::PageTab &&
            node->role() != QAccessible::MenuItem)
            return;
        seen.insert(object);
    }
    see(node);
    // The rows and cells of an item view are its data, not controls: do not descend into them.
    if (node->role() == QAccessible::Tree || node->role() == QAccessible::Table ||
        node->role() == QAccessible::List)
        return;
    for (int index = 0; index < node->childCount(); ++index)
        visit(node->child(index), see, seen, depth + 1);
}

// Calls see() for every node of the window's tree and of its menus' trees.
inline void walk(QWidget *window, const std::function<void(QAccessibleInterface *)> &see)
{
    QSet<QObject *> seen;
    visit(QAccessible::queryAccessibleInterface(window), see, seen);
    for (QMenu *menu : window->findChildren<QMenu *>())
        visit(QAccessible::queryAccessibleInterface(menu), see, seen);
}

// Every control of the window that a screen reader would announce without a name.
inline QStringList unnamedControls(QWidget *window)
{
    QStringList unnamed;
    walk(window, [&](QAccessibleInterface *node) {
        if (isInteractive(node->role()) && node->text(QAccessible::Name).trimmed().isEmpty())
            unnamed << describe(node);
    });
    return unnamed;
}

// Controls of the window that a reader could not tell apart by their names. A combo box is left out: on
// Linux Qt names it by the choice it shows, and a reader tells it by its label.
inline QStringList indistinctControls(QWidget *window)
{
    QHash<QString, QString> first;
    QStringList clashes;
    walk(window, [&](QAccessibleInterface *node) {
        const QAccessible::Role role = node->role();
        if (role != QAccessible::EditableText && role != QAccessible::SpinBox &&
            role != QAccessible::CheckBox && role != QAccessible::Tree && role != QAccessible::List)
            return;
        const QString key = QString::number(role) + QLatin1Char('|') + node->text(QAccessible::Name);
        if (first.contains(key))
            clashes << describe(node) + QStringLiteral(" sounds like ") + first.value(key);
        else
            first.insert(key, describe(node));
    });
    return clashes;
}

} // namespace AccessibleTree
