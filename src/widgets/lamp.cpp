#include "widgets/lamp.h"

#include "widgets/readable_colours.h"

#include <QAccessibleWidget>
#include <QEvent>
#include <QPainter>

namespace {

constexpr int frameWidth = 1;
constexpr int sidePadding = 8;
constexpr int endPadding = 3;
constexpr qreal cornerRadius = 4;

// Static text named by its caption unless it is given a name of its own, as a label is.
class LampAccessible : public QAccessibleWidget
{
public:
    explicit LampAccessible(Lamp *lamp) : QAccessibleWidget(lamp, QAccessible::StaticText) {}

    QString text(QAccessible::Text kind) const override
    {
        const QString said = QAccessibleWidget::text(kind);
        if (kind == QAccessible::Name && said.isEmpty())
            return static_cast<const Lamp *>(widget())->text();
        return said;
    }
};

QAccessibleInterface *lampAccessible(const QString &className, QObject *object)
{
    if (className == QLatin1String(Lamp::staticMetaObject.className()))
        return new LampAccessible(static_cast<Lamp *>(object));
    return nullptr;
}

} // namespace

Lamp::Lamp(QWidget *parent) : QWidget(parent)
{
    static const bool installed = [] {
        QAccessible::installFactory(lampAccessible);
        return true;
    }();
    Q_UNUSED(installed);
}

void Lamp::setText(const QString &text)
{
    text_ = text;
    forgetFaces();
    updateGeometry();
    update();
}

void Lamp::setLit(bool lit)
{
    if (lit == lit_)
        return;
    lit_ = lit;
    update();
    emit litChanged(lit);
}

QSize Lamp::sizeHint() const
{
    const QFontMetrics metrics(captionFont());
    return {metrics.horizontalAdvance(text_) + 2 * (sidePadding + frameWidth),
            metrics.height() + 2 * (endPadding + frameWidth)};
}

QFont Lamp::captionFont() const
{
    QFont bold = font();
    bold.setBold(true);
    return bold;
}

void Lamp::paintEvent(QPaintEvent *)
{
    QPixmap &face = faces_[lit_ ? 1 : 0];
    const qreal ratio = devicePixelRatioF();
    if (face.isNull() || face.devicePixelRatio() != ratio) {
        face = QPixmap(size() * ratio);
        face.setDevicePixelRatio(ratio);
        face.fill(Qt::transparent);
        QPainter painter(&face);
        drawFace(painter);
    }
    QPainter(this).drawPixmap(0, 0, face);
}

void Lamp::changeEvent(QEvent *event)
{
    const QEvent::Type type = event->type();
    if (type == QEvent::PaletteChange || type == QEvent::FontChange || type == QEvent::StyleChange)
        forgetFaces();
    QWidget::changeEvent(event);
}

void Lamp::resizeEvent(QResizeEvent *)
{
    forgetFaces();
}

void Lamp::forgetFaces()
{
    faces_[0] = faces_[1] = QPixmap();
}

void Lamp::drawFace(QPainter &painter) const
{
    const QPalette &theme = palette();
    const bool high = ReadableColours::isHighContrast(theme);
    QColor fill;
    QColor frame;
    QColor caption;
    if (lit_) {
        fill = high ? theme.color(QPalette::WindowText) : QColor(0xff, 0xb3, 0x00);
        frame = high ? fill : QColor(0xc6, 0x84, 0x00);
        caption = high ? theme.color(QPalette::Window) : QColor(0x3a, 0x26, 0x00);
    } else {
        frame = caption = theme.color(high ? QPalette::WindowText : QPalette::Mid);
    }
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(frame, frameWidth));
    painter.setBrush(fill.isValid() ? QBrush(fill) : QBrush());
    const qreal inset = frameWidth / 2.0;
    painter.drawRoundedRect(QRectF(rect()).adjusted(inset, inset, -inset, -inset), cornerRadius,
                            cornerRadius);
    painter.setFont(captionFont());
    painter.setPen(caption);
    painter.drawText(rect(), Qt::AlignCenter, text_);
}
