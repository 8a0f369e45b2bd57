#pragma once

#include <QPushButton>

// A function key's button. Its label shows as written (an ampersand is no mnemonic) and is cut short with
// an ellipsis where the row is narrow, so that long labels never widen the console; the tool tip then
// gives the whole label above the message. A screen reader hears the key, its whole label and, as the
// description, the message stored for it now.
class FunctionKeyCell : public QPushButton
{
    Q_OBJECT
    Q_PROPERTY(QString label READ label WRITE setLabel)

public:
    // keyName ("F1") is also the label until another is set.
    explicit FunctionKeyCell(const QString &keyName, QWidget *parent = nullptr);

    QString label() const { return label_; }
    void setLabel(const QString &label);
    void setMessage(const QString &message);
    void setCurrentMessage(const QString &message);
    bool isElided() const { return elided_; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void changeEvent(QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void showLabel();
    void keepKeyNameShown();
    void nameForReaders();

    QString keyName_;
    QString label_;
    QString message_;
    bool elided_ = false;
};
