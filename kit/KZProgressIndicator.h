#pragma once
// A horizontal progress bar drawn from six images: a track ("progress-background-left",
// "-middle", "-right") and a fill ("progress-left-corner", "progress-middle",
// "progress-right-corner") whose width follows the fraction shown, at least 8 pixels, with an
// animation of a quarter second. At 0 the fill shrinks and then hides. The status panel shows
// the scan's progress in one.

#include "platform/KZAnimationClock.h"
#include "platform/widgets/KZImage.h"

#include <QWidget>

#include <memory>

class KZProgressIndicator : public QWidget {
    Q_OBJECT
public:
    static constexpr double animationDuration = 0.25;

    explicit KZProgressIndicator(QWidget* parent = nullptr);
    ~KZProgressIndicator() override;

    // -1 until a value is set.
    double progress() const { return progress_; }
    // Animated unless nothing has been shown yet.
    void setProgress(double progress);
    void setProgress(double progress, bool animated);

    // The fill's width for a fraction in a bar of that width: ceil(min(W, max(p * W, 8))).
    static double progressWidth(double progress, double barWidth);
    // The stretched middle slice's width for a fill width, never negative.
    static double middleWidth(double fillWidth, double leftWidth, double rightWidth);

    // What is on screen now (mid-animation values while one runs).
    double displayedFillWidth() const { return fillWidth_; }
    double displayedMiddleWidth() const { return middleWidth_; }
    double fillAlpha() const { return fillAlpha_; }
    bool isAnimating() const { return timer_ != nullptr; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void adjustProgressViewAnimated(bool animated);
    void animationStep();
    void animationDidEnd();
    double targetFillWidth() const;
    double targetMiddleWidth() const;

    double progress_ = -1;
    KZImage trackLeft_, trackMiddle_, trackRight_;
    KZImage fillLeft_, fillMiddle_, fillRight_;
    double fillWidth_ = 0, middleWidth_ = 0, fillAlpha_ = 1;
    double fromFill_ = 0, fromMiddle_ = 0, animationStart_ = 0;
    std::unique_ptr<KZAnimationClock::Timer> timer_;
};
