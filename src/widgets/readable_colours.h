#pragma once

#include <QColor>
#include <QPalette>

// Colours that stay readable in the desktop's theme, however dark, light or stark it is.
class ReadableColours
{
public:
    // The contrast of two colours as the web's accessibility guidelines measure it: 1 to 21.
    static qreal contrast(const QColor &one, const QColor &other);
    // A high-contrast theme sets its text and background further apart than ordinary themes do: white on
    // black or black on white is 21:1, where Fusion's black on light grey is about 18:1. Such a theme's
    // colours are the operator's to keep.
    static bool isHighContrast(const QPalette &palette);
    // The palette's placeholder colour over the background role, darkened toward the text role until it
    // reads at 4.5:1: for notes and timestamps that stand back without fading out.
    // A style sheet that frames text fields in the text colour in a high-contrast theme, where the style's
    // own frames, shades of the background, may vanish; empty in any other theme.
    static QString fieldFrames(const QPalette &palette);
    static QColor muted(const QPalette &palette, QPalette::ColorRole background = QPalette::Window,
                        QPalette::ColorRole text = QPalette::WindowText);
};
