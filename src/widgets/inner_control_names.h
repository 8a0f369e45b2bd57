#pragma once

class QWidget;

// Names the controls that Qt adds inside others, which a screen reader would otherwise announce without a
// name: the clear button of a line edit, the list that a combo box opens, a toolbar's overflow button, the
// fields and lists of Qt's font dialog.
// Each takes its name from the control it belongs to, so name those first.
class InnerControlNames
{
public:
    static void nameAll(QWidget *window);
};
