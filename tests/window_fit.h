#pragma once

#include <QAbstractButton>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>
#include <QStringList>
#include <QWidget>

// How a window looks at the desktop's font size and in its colours, as far as a test can tell: text that
// does not fit its control, and colours a window sets of its own.
namespace WindowFit {

inline QString describe(const QWidget *widget)
{
    return QStringLiteral("%1 \"%2\" %3x%4")
        .arg(QString::fromLatin1(widget->metaObject()->className()), widget->objectName())
        .arg(widget->width())
        .arg(widget->height());
}

inline bool isText(const QLabel *label)
{
    return !label->text().isEmpty() && label->pixmap().isNull() &&
           label->sizePolicy().horizontalPolicy() != QSizePolicy::Ignored;
}

// Every shown label, button and field of the window that is smaller than its text needs. A label that
// gives up its width on purpose (an ignored size policy, as the status bar's) is left out.
inline QStringList clippedText(QWidget *window)
{
    QStringList clipped;
    for (QWidget *widget : window->findChildren<QWidget *>()) {
        // The field inside a spin box or a combo box is measured with the box.
        if (!widget->isVisible() || widget->window() != window ||
            qobject_cast<QAbstractSpinBox *>(widget->parentWidget()) ||
            qobject_cast<QComboBox *>(widget->parentWidget()))
            continue;
        QSize needed;
        if (auto *label = qobject_cast<QLabel *>(widget); label && isText(label))
            needed = label->wordWrap() ? QSize(0, label->heightForWidth(label->width()))
                                       : label->minimumSizeHint();
        else if (qobject_cast<QAbstractButton *>(widget) || qobject_cast<QLineEdit *>(widget) ||
                 qobject_cast<QAbstractSpinBox *>(widget) || qobject_cast<QComboBox *>(widget))
            needed = widget->minimumSizeHint();
        if (needed.isValid() && (widget->width() < needed.width() || widget->height() < needed.height()))
            clipped << QStringLiteral("%1 needs %2x%3")
                           .arg(describe(widget))
                           .arg(needed.width())
                           .arg(needed.height());
    }
    return clipped;
}

// Widgets whose style sheet names a colour instead of taking it from the palette.
inline QStringList ownColours(QWidget *window)
{
    static const QRegularExpression colour(
        QStringLiteral("#[0-9a-fA-F]{3,8}\\b|\\b(white|black|red|rgba?\\()"));
    QStringList found;
    for (QWidget *widget : window->findChildren<QWidget *>()) {
        if (widget->isVisible() && colour.match(widget->styleSheet()).hasMatch())
            found << describe(widget) + QStringLiteral(": ") + widget->styleSheet();
    }
    return found;
}

inline qreal luminance(const QColor &colour)
{
    const auto channel = [](qreal value) {
        return value <= 0.03928 ? value / 12.92 : std::pow((value + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(colour.redF()) + 0.7152 * channel(colour.greenF()) +
           0.0722 * channel(colour.blueF());
}

inline qreal contrast(const QColor &one, const QColor &other)
{
    const qreal a = luminance(one);
    const qreal b = luminance(other);
    return (std::max(a, b) + 0.05) / (std::min(a, b) + 0.05);
}

// A desktop theme of high contrast: white text on black.
inline QPalette highContrastPalette()
{
    QPalette palette(Qt::white, Qt::black);
    for (const auto role : {QPalette::Window, QPalette::Base, QPalette::Button, QPalette::AlternateBase})
        palette.setColor(role, Qt::black);
    for (const auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText, QPalette::BrightText})
        palette.setColor(role, Qt::white);
    palette.setColor(QPalette::Highlight, Qt::yellow);
    palette.setColor(QPalette::HighlightedText, Qt::black);
    palette.setColor(QPalette::PlaceholderText, QColor(0x80, 0x80, 0x80));
    return palette;
}

// Sets the application's font to twice its size, or its palette, for as long as it lives.
class DesktopLook
{
public:
    DesktopLook() : font_(QApplication::font()), palette_(QApplication::palette()) {}
    ~DesktopLook()
    {
        QApplication::setFont(font_);
        QApplication::setPalette(palette_);
    }
    void doubleFont() const
    {
        QFont font = font_;
        font.setPointSizeF(font_.pointSizeF() * 2);
        QApplication::setFont(font);
    }
    void highContrast() const { QApplication::setPalette(highContrastPalette()); }

private:
    QFont font_;
    QPalette palette_;
};

} // namespace WindowFit
