#include "kit/KZLinedBackgroundView.h"

#include <QPaintEvent>
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

void KZLinedBackgroundView::paintEvent(QPaintEvent* event)
{
    // Colour, image and lines are drawn once per size and colour into a cache: the backdrop of
    // a whole screen, repainted whenever anything above it changes.
    if (!lineColor_.isValid()) lineColor_ = QColor::fromRgbF(1, 1, 1, 0.35f);
    const qreal dpr = devicePixelRatioF();
    const QSize pixels = (QSizeF(size()) * dpr).toSize();
    if (cache_.size() != pixels || cacheBackground_ != backgroundColor_ || cacheLines_ != lineColor_ ||
        cacheImage_ != backgroundImage_) {
        cache_ = QPixmap(pixels.expandedTo(QSize(1, 1)));
        cache_.setDevicePixelRatio(dpr);
        cache_.fill(Qt::transparent);
        QPainter painter(&cache_);
        if (backgroundColor_.isValid()) painter.fillRect(rect(), backgroundColor_);
        if (!backgroundImage_.isNull()) {
            // Rendered at its own size, then stretched over the view.
            const QSize natural = (backgroundImage_.size() * dpr).toSize();
            painter.setRenderHint(QPainter::SmoothPixmapTransform);
            painter.drawImage(QRectF(rect()), backgroundImage_.render(natural.isEmpty() ? pixels : natural));
        }
        // The lines of lineRects(), as one fill with a two-pixel pattern (a fill per line costs
        // a great deal on a large view).
        QImage pattern(2, 1, QImage::Format_ARGB32_Premultiplied);
        pattern.setPixelColor(0, 0, lineColor_);
        pattern.setPixelColor(1, 0, Qt::transparent);
        painter.fillRect(rect(), QBrush(pattern));
        cacheBackground_ = backgroundColor_;
        cacheLines_ = lineColor_;
        cacheImage_ = backgroundImage_;
    }
    QPainter painter(this);
    painter.drawPixmap(event->rect(), cache_,
                       QRectF(QPointF(event->rect().topLeft()) * dpr, QSizeF(event->rect().size()) * dpr));
}
