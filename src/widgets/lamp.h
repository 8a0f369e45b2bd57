#pragma once

#include <QPixmap>
#include <QString>
#include <QWidget>

// A bold caption in a rounded frame, lit or dark. It paints both states itself at one size, so that a
// change repaints its own few pixels: no style sheet to parse, no layout to run again, and the changes that
// come between two repaints fold into one. Each state is drawn once into a picture that a repaint copies,
// until the lamp's size, font or colours change. Lit, it is amber; in a high-contrast theme it takes the
// theme's two colours, reversed when lit. A screen reader hears it as static text, as it would a label.
class Lamp : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(QString text READ text WRITE setText)
    Q_PROPERTY(bool lit READ isLit WRITE setLit NOTIFY litChanged)

public:
    explicit Lamp(QWidget *parent = nullptr);

    QString text() const { return text_; }
    void setText(const QString &text);
    bool isLit() const { return lit_; }
    void setLit(bool lit);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

signals:
    void litChanged(bool lit);

protected:
    void paintEvent(QPaintEvent *event) override;
    void changeEvent(QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    QFont captionFont() const;
    void drawFace(QPainter &painter) const;
    void forgetFaces();

    QString text_;
    bool lit_ = false;
    QPixmap faces_[2]; // dark and lit
};
