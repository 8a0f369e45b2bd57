#pragma once

#include <QPushButton>

// A function key's button. Its label shows as written (an ampersand is no mnemonic) and is cut short with
// an ellipsis where the row is narrow, so that long labels never widen the console; the tool tip then
// gives the whole label above the message.
class FunctionKeyCell : public QPushButton
{
    Q_OBJECT
    Q_PROPERTY(QString label READ label WRITE setLabel)

public:
    explicit FunctionKeyCell(const QString &label, QWidget *parent = nullptr);

    QString label() const { return label_; }
    void setLabel(const QString &label);
    void setMessage(const QString &message);
    bool isElided() const { return elided_; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void showLabel();

    QString label_;
    QString message_;
    bool elided_ = false;
};
