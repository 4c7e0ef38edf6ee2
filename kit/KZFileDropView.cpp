#include "kit/KZFileDropView.h"

#include <QPainter>

KZFileDropView::KZFileDropView(QWidget* parent) : QWidget(parent)
{
    // A grey at 59 % brightness.
    strokeColor_ = QColor::fromHsvF(0, 0, 0.59f, 1.0f);
}

KZFileDropView::~KZFileDropView()
{
    stopAnimation();
}

void KZFileDropView::startAnimation()
{
    stopAnimation();
    timer_ = KZAnimationClock::shared().schedule(double(0.05f), true, [this] { tick(); });
}

void KZFileDropView::stopAnimation()
{
    timer_.reset();
}

void KZFileDropView::tick()
{
    phase_ += 1;
    if (phase_ > 9) phase_ = 0;
    update();
}

void KZFileDropView::setStrokeColor(const QColor& color)
{
    strokeColor_ = color;
    update();
}

QPainterPath KZFileDropView::dropPath(QSizeF size)
{
    QPainterPath path;
    path.addRoundedRect(QRectF(QPointF(0, 0), size).adjusted(1.5, 1.5, -1.5, -1.5), 7.0, 7.0);
    return path;
}

void KZFileDropView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal width = 3.0;
    QPen pen(strokeColor_, width);
    // Dash lengths and offset are in units of the pen's width.
    pen.setDashPattern({5.0 / width, 5.0 / width});
    pen.setDashOffset(phase_ / width);
    pen.setCapStyle(Qt::FlatCap);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(dropPath(size()));
}
