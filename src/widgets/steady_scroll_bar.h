#pragma once

#include <QRect>
#include <QScrollBar>

#include <optional>

// A scroll bar that repaints only when what it shows has changed. A log that keeps a bounded number of lines
// moves its range and its value for every line it adds and drops, and the slider mostly stays where it was:
// an ordinary scroll bar repaints its whole height each time.
class SteadyScrollBar : public QScrollBar
{
public:
    explicit SteadyScrollBar(Qt::Orientation orientation, QWidget *parent = nullptr);

protected:
    void sliderChange(SliderChange change) override;
    void paintEvent(QPaintEvent *event) override;

private:
    struct Look
    {
        QRect slider;
        bool atMinimum = false;
        bool atMaximum = false;
        bool operator==(const Look &) const = default;
    };

    Look look() const;

    std::optional<Look> shown_;
    bool lookDue_ = false;
};
