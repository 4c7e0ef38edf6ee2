#pragma once
// A spinner: twelve fins whose bright head turns clockwise (indeterminate), or a pie that
// fills clockwise from twelve o'clock (determinate). Stopping fades the fins out over 0.7 s.
// It animates on a 0.05 s timer of the main thread, in both animation modes: widgets are
// never painted off the main thread.

#include <QColor>
#include <QWidget>

#include "platform/KZAnimationClock.h"

#include <array>
#include <memory>

class YRKSpinningProgressIndicator : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QColor color READ color WRITE setColor)
    Q_PROPERTY(bool displayedWhenStopped READ isDisplayedWhenStopped WRITE setDisplayedWhenStopped)
    Q_PROPERTY(bool indeterminate READ isIndeterminate WRITE setIsIndeterminate)
public:
    static constexpr int finCount = 12;
    static constexpr double frameInterval = 0.05;
    static constexpr double fadeOutDuration = 0.7;

    explicit YRKSpinningProgressIndicator(QWidget* parent = nullptr);
    ~YRKSpinningProgressIndicator() override;

    void startAnimation();
    // Begins the fade-out; the spinner stops 0.7 s later.
    void stopAnimation();

    bool isAnimating() const { return isAnimating_; }
    bool isFadingOut() const { return isFadingOut_; }
    int currentPosition() const { return currentPosition_; }
    // Whether the spinner keeps itself hidden (stopped while not displayed when stopped).
    bool isViewHidden() const { return viewHidden_; }

    QColor color() const { return color_; }
    void setColor(const QColor& color);
    QColor backgroundColor() const { return backgroundColor_; }
    void setBackgroundColor(const QColor& color);
    bool drawsBackground() const { return drawsBackground_; }
    void setDrawsBackground(bool draws);
    bool isDisplayedWhenStopped() const { return displayedWhenStopped_; }
    void setDisplayedWhenStopped(bool displayed);
    bool usesThreadedAnimation() const { return usesThreadedAnimation_; }
    void setUsesThreadedAnimation(bool threaded);
    bool isIndeterminate() const { return indeterminate_; }
    // Switching to determinate stops a running animation.
    void setIsIndeterminate(bool indeterminate);
    // Only stores.
    void setIndeterminate(bool indeterminate) { indeterminate_ = indeterminate; }
    double currentValue() const { return currentValue_; }
    // Switches to determinate (without stopping the fins).
    void setCurrentValue(double value);
    double maxValue() const { return maxValue_; }
    void setMaxValue(double value);

    const std::array<QColor, finCount>& finColors() const { return finColors_; }

    // The alpha of fin i at a frame: 0.85 ^ ((position + i) mod 12), times (0.7 - seconds
    // since the fade began) while fading.
    static double alphaValueForPosition(int fin, int currentPosition, bool fadingOut, double secondsFading);
    // The pie's arc in degrees (counter-clockwise positive, 0 at three o'clock): from 90 to
    // 90 - fraction * 360, the fraction clamped to 0..1 (0 for a maximum of 0).
    struct PieAngles {
        double start;
        double end;
    };
    static PieAngles pieAngles(double currentValue, double maxValue);

    // One frame of the animation (the timer's tick).
    void updateFrame();

    QSize sizeHint() const override { return QSize(32, 32); }

protected:
    void paintEvent(QPaintEvent* event) override;
    bool event(QEvent* event) override;

private:
    void actuallyStartAnimation();
    void actuallyStopAnimation();
    void viewDidMoveToWindow();
    bool isInWindow() const { return parentWidget() != nullptr; }
    void setViewHidden(bool hidden);
    double alphaForFin(int fin) const;

    int currentPosition_ = 0;
    std::array<QColor, finCount> finColors_;
    bool isAnimating_ = false;
    std::unique_ptr<KZAnimationClock::Timer> animationTimer_;
    bool isFadingOut_ = false;
    double fadeOutStartTime_ = 0;
    bool drawsBackground_ = false;
    bool displayedWhenStopped_ = true;
    bool usesThreadedAnimation_ = true;
    bool indeterminate_ = true;
    QColor color_ = Qt::black;
    QColor backgroundColor_ = Qt::transparent;
    double currentValue_ = 0;
    double maxValue_ = 100;
    bool viewHidden_ = false;
};
