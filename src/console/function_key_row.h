#pragma once

#include <QList>
#include <QPointer>
#include <QPushButton>
#include <QWidget>

// One row of four function-key cells, each carrying its key number (1 to 12) as its tag. The row remembers
// the cell pressed last and reports every press with activated().
class FunctionKeyRow : public QWidget
{
    Q_OBJECT

public:
    static constexpr int columnCount = 4;

    explicit FunctionKeyRow(QWidget *parent = nullptr);

    // Creates the four cells, tagged firstKey to firstKey + 3 and titled F<tag>.
    void setFirstKey(int firstKey);

    QPushButton *selectedCell() const { return selectedCell_; }
    QPushButton *cellAt(int row, int column) const;
    void setToolTipForCell(const QString &toolTip, QPushButton *cell);

    static int tag(const QObject *cell);

signals:
    void activated();

private:
    QList<QPushButton *> cells_;
    QPointer<QPushButton> selectedCell_;
};
