#include "kit/KZProgressIndicator.h"

#include "platform/widgets/KZAccessibleWidget.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

namespace {
// What a reader hears as the bar's value: the share done, in whole percent.
QString percentDone(const QWidget* widget)
{
    const double progress = static_cast<const KZProgressIndicator*>(widget)->progress();
    if (!std::isfinite(progress) || progress < 0) return {};
    return QStringLiteral("%1%").arg(qRound(std::min(progress, 1.0) * 100));
}
} // namespace

KZProgressIndicator::KZProgressIndicator(QWidget* parent) : QWidget(parent)
{
    // Named by its accessible name or label (else "Progress"); its value is the share done.
    KZAccessibleWidget::registerClass(staticMetaObject, {QAccessible::ProgressBar, percentDone,
                                                         [](const QWidget*) { return QStringLiteral("Progress"); }});
    trackLeft_ = KZImage::named(QStringLiteral("progress-background-left"));
    trackMiddle_ = KZImage::named(QStringLiteral("progress-background-middle"));
    trackRight_ = KZImage::named(QStringLiteral("progress-background-right"));
    fillLeft_ = KZImage::named(QStringLiteral("progress-left-corner"));
    fillMiddle_ = KZImage::named(QStringLiteral("progress-middle"));
    fillRight_ = KZImage::named(QStringLiteral("progress-right-corner"));
    // Before any value: a fill as wide as its two corners and an empty middle.
    fillWidth_ = fillLeft_.size().width() + fillRight_.size().width();
    middleWidth_ = 0;
}

KZProgressIndicator::~KZProgressIndicator() = default;

double KZProgressIndicator::progressWidth(double progress, double barWidth)
{
    if (!std::isfinite(progress)) progress = 0;
    return std::ceil(std::min(barWidth, std::max(progress * barWidth, 8.0)));
}

double KZProgressIndicator::middleWidth(double fillWidth, double leftWidth, double rightWidth)
{
    return std::max(0.0, std::ceil(fillWidth - (leftWidth + rightWidth)) + 1);
}

double KZProgressIndicator::targetFillWidth() const
{
    return progressWidth(progress_, width());
}

double KZProgressIndicator::targetMiddleWidth() const
{
    return middleWidth(targetFillWidth(), fillLeft_.size().width(), fillRight_.size().width());
}

void KZProgressIndicator::setProgress(double progress)
{
    setProgress(progress, progress_ != -1);
}

void KZProgressIndicator::setProgress(double progress, bool animated)
{
    if (progress == progress_) return;
    progress_ = progress;
    adjustProgressViewAnimated(animated);
}

void KZProgressIndicator::adjustProgressViewAnimated(bool animated)
{
    if (progress_ != 0 && fillAlpha_ == 0) fillAlpha_ = 1;
    if (!animated) {
        timer_.reset();
        fillWidth_ = targetFillWidth();
        middleWidth_ = targetMiddleWidth();
        update();
        animationDidEnd();
        return;
    }
    fromFill_ = fillWidth_;
    fromMiddle_ = middleWidth_;
    animationStart_ = KZAnimationClock::shared().now();
    timer_ = KZAnimationClock::shared().schedule(1.0 / 60.0, true, [this] { animationStep(); });
    update();
}

void KZProgressIndicator::animationStep()
{
    const double t = std::clamp((KZAnimationClock::shared().now() - animationStart_) / animationDuration, 0.0, 1.0);
    const double eased = t * t * (3 - 2 * t);
    fillWidth_ = fromFill_ + (targetFillWidth() - fromFill_) * eased;
    middleWidth_ = fromMiddle_ + (targetMiddleWidth() - fromMiddle_) * eased;
    update();
    if (t >= 1) {
        timer_.reset();
        animationDidEnd();
    }
}

void KZProgressIndicator::animationDidEnd()
{
    // At 0 the track shows empty.
    if (progress_ == 0) {
        fillAlpha_ = 0;
        update();
    }
}

void KZProgressIndicator::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (progress_ >= 0 && !timer_) {
        fillWidth_ = targetFillWidth();
        middleWidth_ = targetMiddleWidth();
    }
}

QSize KZProgressIndicator::sizeHint() const
{
    return QSize(200, int(std::max<qreal>(trackMiddle_.size().height(), 10)));
}

void KZProgressIndicator::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const double W = width(), H = height();
    const double tl = trackLeft_.size().width(), tr = trackRight_.size().width();
    trackLeft_.draw(painter, QRectF(0, 0, tl, H));
    trackMiddle_.draw(painter, QRectF(tl - 1, 0, std::max(0.0, W - (tl + tr) + 1), H));
    trackRight_.draw(painter, QRectF(W - tr, 0, tr, H));
    if (fillAlpha_ <= 0 || progress_ < 0) return;
    const double fl = fillLeft_.size().width(), fr = fillRight_.size().width();
    painter.setOpacity(fillAlpha_);
    fillLeft_.draw(painter, QRectF(0, 0, fl, H));
    fillMiddle_.draw(painter, QRectF(fl - 1, 0, middleWidth_, H));
    fillRight_.draw(painter, QRectF(fillWidth_ - fr, 0, fr, H));
}
