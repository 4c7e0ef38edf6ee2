#include "kit/YRKSpinningProgressIndicator.h"

#include <QEvent>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

YRKSpinningProgressIndicator::YRKSpinningProgressIndicator(QWidget* parent) : QWidget(parent)
{
    for (int i = 0; i < finCount; ++i) {
        QColor c = color_;
        c.setAlphaF(float(alphaForFin(i)));
        finColors_[size_t(i)] = c;
    }
}

YRKSpinningProgressIndicator::~YRKSpinningProgressIndicator() = default;

double YRKSpinningProgressIndicator::alphaValueForPosition(int fin, int currentPosition, bool fadingOut,
                                                           double secondsFading)
{
    double alpha = std::pow(0.85, double((currentPosition + fin) % finCount));
    if (fadingOut) alpha *= fadeOutDuration - secondsFading;
    return alpha;
}

YRKSpinningProgressIndicator::PieAngles YRKSpinningProgressIndicator::pieAngles(double currentValue, double maxValue)
{
    double fraction = maxValue > 0 ? currentValue / maxValue : 0;
    if (!std::isfinite(fraction)) fraction = 0;
    fraction = std::clamp(fraction, 0.0, 1.0);
    return {90.0, 90.0 - fraction * 360.0};
}

double YRKSpinningProgressIndicator::alphaForFin(int fin) const
{
    const double fading = isFadingOut_ ? KZAnimationClock::shared().now() - fadeOutStartTime_ : 0;
    return alphaValueForPosition(fin, currentPosition_, isFadingOut_, fading);
}

void YRKSpinningProgressIndicator::updateFrame()
{
    const double floor = displayedWhenStopped_ ? 0.15 : 0.0;
    for (int i = 0; i < finCount; ++i) {
        QColor c = color_;
        c.setAlphaF(float(std::clamp(std::max(floor, alphaForFin(i)), 0.0, 1.0)));
        finColors_[size_t(i)] = c;
    }
    if (isFadingOut_ && KZAnimationClock::shared().now() - fadeOutStartTime_ > fadeOutDuration) actuallyStopAnimation();
    update();
    if (!isFadingOut_) currentPosition_ = (currentPosition_ + 1) % finCount;
}

void YRKSpinningProgressIndicator::setColor(const QColor& color)
{
    if (color == color_) return;
    color_ = color;
    for (int i = 0; i < finCount; ++i) {
        QColor c = color_;
        c.setAlphaF(float(std::clamp(alphaForFin(i), 0.0, 1.0)));
        finColors_[size_t(i)] = c;
    }
    update();
}

void YRKSpinningProgressIndicator::setBackgroundColor(const QColor& color)
{
    if (color == backgroundColor_) return;
    backgroundColor_ = color;
    update();
}

void YRKSpinningProgressIndicator::setDrawsBackground(bool draws)
{
    drawsBackground_ = draws;
    update();
}

void YRKSpinningProgressIndicator::setIsIndeterminate(bool indeterminate)
{
    indeterminate_ = indeterminate;
    if (!indeterminate && isAnimating_) stopAnimation();
    update();
}

void YRKSpinningProgressIndicator::setCurrentValue(double value)
{
    setIndeterminate(false);
    currentValue_ = value;
    update();
}

void YRKSpinningProgressIndicator::setMaxValue(double value)
{
    maxValue_ = value;
    update();
}

void YRKSpinningProgressIndicator::setUsesThreadedAnimation(bool threaded)
{
    if (threaded == usesThreadedAnimation_) return;
    usesThreadedAnimation_ = threaded;
    if (isAnimating_) {
        stopAnimation();
        startAnimation();
    }
}

void YRKSpinningProgressIndicator::setDisplayedWhenStopped(bool displayed)
{
    displayedWhenStopped_ = displayed;
    if (!isAnimating_) setViewHidden(!displayed);
}

void YRKSpinningProgressIndicator::setViewHidden(bool hidden)
{
    viewHidden_ = hidden;
    // A spinner not yet placed anywhere only records it: showing a parentless widget would
    // open a window of its own.
    if (parentWidget()) setVisible(!hidden);
}

void YRKSpinningProgressIndicator::startAnimation()
{
    if (!indeterminate_) return;
    if (!isAnimating_ || isFadingOut_) actuallyStartAnimation();
}

void YRKSpinningProgressIndicator::stopAnimation()
{
    isFadingOut_ = true;
    fadeOutStartTime_ = KZAnimationClock::shared().now();
}

void YRKSpinningProgressIndicator::actuallyStartAnimation()
{
    actuallyStopAnimation();
    isAnimating_ = true;
    isFadingOut_ = false;
    currentPosition_ = 0;
    if (!displayedWhenStopped_) setViewHidden(false);
    if (!isInWindow()) return;
    // Both modes tick on the main thread.
    animationTimer_ = KZAnimationClock::shared().schedule(frameInterval, true, [this] { updateFrame(); });
}

void YRKSpinningProgressIndicator::actuallyStopAnimation()
{
    isAnimating_ = false;
    isFadingOut_ = false;
    if (!displayedWhenStopped_) setViewHidden(true);
    animationTimer_.reset();
    update();
}

void YRKSpinningProgressIndicator::viewDidMoveToWindow()
{
    if (!isInWindow())
        actuallyStopAnimation();
    else if (isAnimating_)
        actuallyStartAnimation();
    else if (viewHidden_)
        setVisible(false);
}

bool YRKSpinningProgressIndicator::event(QEvent* event)
{
    const bool handled = QWidget::event(event);
    if (event->type() == QEvent::ParentChange) viewDidMoveToWindow();
    return handled;
}

void YRKSpinningProgressIndicator::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    if (drawsBackground_) painter.fillRect(rect(), backgroundColor_);
    const double s = std::min(width(), height());
    painter.translate(width() / 2.0, height() / 2.0);
    if (indeterminate_) {
        QPen pen;
        pen.setWidthF(0.0859375 * s);
        pen.setCapStyle(Qt::RoundCap);
        // Fin 0 points straight up; each next fin 30 degrees anticlockwise.
        const QLineF fin(0, -0.234375 * s, 0, -0.421875 * s);
        QColor stopped = color_;
        stopped.setAlphaF(0.15f);
        for (int i = 0; i < finCount; ++i) {
            pen.setColor(isAnimating_ ? finColors_[size_t(i)] : stopped);
            painter.setPen(pen);
            painter.drawLine(fin);
            painter.rotate(-30);
        }
        return;
    }
    const double w = 1 + 0.01 * s;
    const double r = (s - w) / 2.1;
    painter.setPen(QPen(color_, w));
    painter.setBrush(Qt::NoBrush);
    painter.drawEllipse(QPointF(0, 0), r, r);
    const PieAngles angles = pieAngles(currentValue_, maxValue_);
    painter.setPen(Qt::NoPen);
    painter.setBrush(color_);
    const QRectF box(-r, -r, 2 * r, 2 * r);
    painter.drawPie(box, int(std::lround(angles.start * 16)), int(std::lround((angles.end - angles.start) * 16)));
}
