#include "console/function_key_row.h"

#include "console/function_key_cell.h"

#include <QHBoxLayout>

FunctionKeyRow::FunctionKeyRow(QWidget *parent) : QWidget(parent)
{
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(4);
}

void FunctionKeyRow::setFirstKey(int firstKey)
{
    qDeleteAll(cells_);
    cells_.clear();
    for (int column = 0; column < columnCount; ++column) {
        const int key = firstKey + column;
        auto *cell = new FunctionKeyCell(QStringLiteral("F%1").arg(key), this);
        cell->setObjectName(QStringLiteral("functionKey%1").arg(key));
        cell->setProperty("tag", key);
        cell->setFocusPolicy(Qt::NoFocus);
        cell->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
        cell->setMinimumHeight(34);
        connect(cell, &QPushButton::clicked, this, [this, cell] {
            selectedCell_ = cell;
            emit activated();
        });
        layout()->addWidget(cell);
        cells_.append(cell);
    }
}

QPushButton *FunctionKeyRow::cellAt(int row, int column) const
{
    if (row != 0 || column < 0 || column >= cells_.size())
        return nullptr;
    return cells_.at(column);
}

void FunctionKeyRow::setToolTipForCell(const QString &toolTip, QPushButton *cell)
{
    if (cells_.contains(cell))
        static_cast<FunctionKeyCell *>(cell)->setMessage(toolTip);
}

int FunctionKeyRow::tag(const QObject *cell)
{
    return cell ? cell->property("tag").toInt() : 0;
}
