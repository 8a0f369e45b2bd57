#include "console/state_badge.h"

#include "compose/keyer.h"
#include "widgets/readable_colours.h"

#include <QLabel>

#include <algorithm>

namespace {

constexpr int pollInterval = 100; // ms

} // namespace

StateBadge::StateBadge(QLabel &label, Keyer &keyer, QObject *parent)
    : QObject(parent), label_(label), keyer_(keyer)
{
    poll_.setInterval(pollInterval);
    connect(&poll_, &QTimer::timeout, this, &StateBadge::update);
    poll_.start();
}

void StateBadge::update()
{
    const bool sending = keyer_.isSending();
    const bool beacon = keyer_.beaconArmed();
    emit looked(sending, beacon);
    const int pauseLeft = sending && beacon ? keyer_.beaconPauseLeft() : 0;
    QString text = tr("IDLE");
    Look look = Look::Idle;
    if (sending && beacon) {
        text = pauseLeft > 0 ? tr("BEACON %1 s").arg(pauseLeft) : tr("BEACON");
        look = pauseLeft > 0 ? Look::Pause : Look::OnAir;
    } else if (sending) {
        text = tr("SENDING");
        look = Look::OnAir;
    } else if (beacon) {
        text = tr("BEACON ARMED");
        look = Look::Armed;
    }
    label_.setProperty("sending", sending);
    if (label_.text() == text && look_ == look)
        return;
    label_.setText(text);
    look_ = look;
    restyle();
}

// Red on air, amber in a beacon's pause, yellow when armed; in a high-contrast theme the theme's own two
// colours, reversed on air and with a dashed frame when armed.
void StateBadge::restyle()
{
    struct Colours
    {
        Look look;
        const char *ordinary;
        const char *highContrast;
    };
    static const Colours looks[] = {
        {Look::Idle, "border: 1px solid palette(mid); color: palette(window-text);",
         "border: 1px solid palette(window-text);"},
        {Look::Armed, "background: #ffe082; color: #4e3b00;", "border: 2px dashed palette(window-text);"},
        {Look::OnAir, "background: #c62828; color: white;",
         "background: palette(window-text); color: palette(window);"},
        {Look::Pause, "background: #a84300; color: white;",
         "background: palette(window-text); color: palette(window);"},
    };
    const bool high = ReadableColours::isHighContrast(label_.window()->palette());
    QString colours;
    for (const Colours &entry : looks) {
        if (entry.look == look_)
            colours = QLatin1String(high ? entry.highContrast : entry.ordinary);
    }
    label_.setStyleSheet(
        QStringLiteral("QLabel { %1 border-radius: 4px; padding: 3px 10px; font-weight: bold; }")
            .arg(colours));
    fit();
}

void StateBadge::followFont()
{
    QFont bold = label_.window()->font();
    bold.setBold(true);
    width_ = QFontMetrics(bold).horizontalAdvance(tr("SENDING")) + 24;
    fit();
}

// A longer state than SENDING makes it wider.
void StateBadge::fit()
{
    label_.setMinimumWidth(std::max(width_, label_.minimumSizeHint().width()));
}
