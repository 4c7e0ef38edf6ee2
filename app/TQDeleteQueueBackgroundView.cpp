#include "app/TQDeleteQueueBackgroundView.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace {
const QColor darkGray(85, 85, 85);

QColor grey(double level)
{
    return QColor::fromRgbF(float(level), float(level), float(level));
}
} // namespace

TQDeleteQueueBackgroundView::TQDeleteQueueBackgroundView(QWidget* parent) : QWidget(parent) {}

void TQDeleteQueueBackgroundView::setShowsArrow(bool)
{
    update();
}

void TQDeleteQueueBackgroundView::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath clip;
    clip.addRoundedRect(QRectF(rect()), cornerRadius, cornerRadius);
    p.setClipPath(clip);
    const QRectF bounds = clip.boundingRect();
    drawTopContentBorderInRect(p, bounds);
    drawBottomContentBorderInRect(p, bounds);
}

void TQDeleteQueueBackgroundView::drawTopContentBorderInRect(QPainter& p, const QRectF& rect)
{
    p.save();
    const QRectF band(rect.x(), rect.top(), rect.width(), bandHeight);
    QLinearGradient g(band.topLeft(), band.bottomLeft());
    g.setColorAt(0, grey(1.0));
    g.setColorAt(1, grey(0.91));
    p.fillRect(band, g);
    // The line between the band and the table.
    p.fillRect(QRectF(band.x(), band.bottom() - 1, band.width(), 1), darkGray);
    p.restore();
}

void TQDeleteQueueBackgroundView::drawBottomContentBorderInRect(QPainter& p, const QRectF& rect)
{
    p.save();
    const QRectF band(rect.x(), rect.bottom() - bandHeight, rect.width(), bandHeight);
    QLinearGradient g(band.topLeft(), band.bottomLeft());
    g.setColorAt(0, grey(0.91));
    g.setColorAt(1, grey(0.89));
    p.fillRect(band, g);
    p.fillRect(QRectF(band.x(), band.top(), band.width(), 1), darkGray);
    p.restore();
}
