#include "kit/KZLinedBackgroundView.h"

#include <QPainter>

#include <cmath>

KZLinedBackgroundView::KZLinedBackgroundView(QWidget* parent) : QWidget(parent) {}

QList<QRectF> KZLinedBackgroundView::lineRects(QSizeF size)
{
    QList<QRectF> lines;
    if (!(size.width() > 0)) return lines;
    const int n = int(std::ceil(size.width() * 0.5));
    lines.reserve(n);
    for (int i = 0; i < n; ++i) lines.append(QRectF(2.0 * i, 0, 1, size.height()));
    return lines;
}

void KZLinedBackgroundView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    if (backgroundColor_.isValid()) painter.fillRect(rect(), backgroundColor_);
    if (!backgroundImage_.isNull()) backgroundImage_.draw(painter, QRectF(rect()));
    if (!lineColor_.isValid()) lineColor_ = QColor::fromRgbF(1, 1, 1, 0.35f);
    painter.save();
    for (const QRectF& line : lineRects(size())) painter.fillRect(line, lineColor_);
    painter.restore();
}
