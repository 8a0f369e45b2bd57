#pragma once

#include <QScrollArea>

// A scroll area that asks for the whole size of what it holds: a window opens as large as its content
// wants, and scrolls only where the screen or the operator makes it smaller.
class FittingScrollArea : public QScrollArea
{
    Q_OBJECT

public:
    explicit FittingScrollArea(QWidget *parent = nullptr);

    QSize sizeHint() const override;
};
