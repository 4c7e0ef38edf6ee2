#include "kit/KZView.h"

#include <QPainter>
#include <QPainterPath>

KZView::KZView(QWidget* parent) : QWidget(parent) {}

void KZView::setBackgroundColor(const QColor& color)
{
    if (color == backgroundColor_ && color.isValid() == backgroundColor_.isValid()) return;
    backgroundColor_ = color;
    update();
}

void KZView::setBackgroundImage(const KZImage& image)
{
    backgroundImage_ = image;
    update();
}

void KZView::setShadow(const std::optional<KZShadow>& shadow)
{
    shadow_ = shadow;
    update();
}

void KZView::setAlphaValue(double alpha)
{
    alphaValue_ = std::clamp(alpha, 0.0, 1.0);
    update();
}

QPainterPath KZView::shapePath(QSizeF size) const
{
    QRectF shape(QPointF(0, 0), size);
    if (isBordered()) shape.adjust(0.5, 0.5, -0.5, -0.5);
    QPainterPath path;
    path.addRoundedRect(shape, cornerRadius_, cornerRadius_);
    return path;
}

QColor KZView::effectiveBackgroundColor() const
{
    QColor c = backgroundColor_;
    if (c.isValid()) c.setAlphaF(float(c.alphaF() * alphaValue_));
    return c;
}

void KZView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QPainterPath path = shapePath(size());
    if (shadow_ && (backgroundColor_.isValid() || isBordered())) {
        // A shadow under whatever the view fills or strokes.
        QColor c = shadow_->color;
        const int layers = shadow_->blurRadius > 0 ? 3 : 1;
        c.setAlphaF(float(c.alphaF() * alphaValue_ / layers));
        for (int i = 0; i < layers; ++i) {
            const qreal grow = layers > 1 ? shadow_->blurRadius * (i + 1) / (2.0 * layers) : 0;
            QPainterPathStroker stroker;
            stroker.setWidth(grow * 2);
            QPainterPath shadowPath = path.translated(shadow_->offset);
            if (grow > 0) shadowPath = shadowPath.united(stroker.createStroke(shadowPath));
            painter.fillPath(shadowPath, c);
        }
    }
    if (backgroundColor_.isValid()) painter.fillPath(path, effectiveBackgroundColor());
    if (isBordered()) {
        QPen pen(borderColor_);
        pen.setWidthF(borderWidth_);
        painter.strokePath(path, pen);
    }
    if (!backgroundImage_.isNull()) backgroundImage_.draw(painter, QRectF(rect()), alphaValue_);
}
