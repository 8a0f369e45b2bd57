#include "widgets/readable_colours.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr qreal readable = 4.5;

qreal relativeLuminance(const QColor &colour)
{
    const auto channel = [](qreal value) {
        return value <= 0.03928 ? value / 12.92 : std::pow((value + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(colour.redF()) + 0.7152 * channel(colour.greenF()) +
           0.0722 * channel(colour.blueF());
}

QColor mix(const QColor &over, qreal weight, const QColor &under)
{
    return QColor::fromRgbF(over.redF() * weight + under.redF() * (1 - weight),
                            over.greenF() * weight + under.greenF() * (1 - weight),
                            over.blueF() * weight + under.blueF() * (1 - weight));
}

} // namespace

qreal ReadableColours::contrast(const QColor &one, const QColor &other)
{
    const qreal a = relativeLuminance(one);
    const qreal b = relativeLuminance(other);
    return (std::max(a, b) + 0.05) / (std::min(a, b) + 0.05);
}

bool ReadableColours::isHighContrast(const QPalette &palette)
{
    return contrast(palette.color(QPalette::Window), palette.color(QPalette::WindowText)) >= 19.5;
}

QString ReadableColours::fieldFrames(const QPalette &palette)
{
    if (!isHighContrast(palette))
        return {};
    return QStringLiteral("QLineEdit, QPlainTextEdit, QTreeView { border: 1px solid palette(window-text); }");
}

QColor ReadableColours::muted(const QPalette &palette, QPalette::ColorRole background,
                              QPalette::ColorRole text)
{
    const QColor base = palette.color(background);
    const QColor placeholder = palette.color(QPalette::PlaceholderText);
    QColor colour = mix(placeholder, placeholder.alphaF(), base);
    for (int step = 0; step < 10 && contrast(colour, base) < readable; ++step)
        colour = mix(palette.color(text), 0.2, colour);
    return colour;
}
