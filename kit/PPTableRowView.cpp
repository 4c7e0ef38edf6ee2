#include "kit/PPTableRowView.h"

#include "kit/DSTableViewColors.h"

#include <QLinearGradient>
#include <QPainter>

namespace {
// Top-to-bottom gradient in the rectangle (the skin's start colour on top).
QLinearGradient verticalGradient(const QRectF& rect, const QColor& start, const QColor& end)
{
    QLinearGradient g(rect.topLeft(), rect.bottomLeft());
    g.setColorAt(0, start);
    g.setColorAt(1, end);
    return g;
}
} // namespace

void PPTableRowView::drawBackground(QPainter& painter, const QRectF& rect)
{
    static const QColor start = DSTableViewColors::cellGradientStart();
    static const QColor end = DSTableViewColors::cellGradientEnd();
    painter.fillRect(rect, verticalGradient(rect, start, end));
    drawBorders(painter, rect);
}

void PPTableRowView::drawBorders(QPainter& painter, const QRectF& rect)
{
    static const QColor top = DSTableViewColors::borderTop();
    static const QColor bottom = DSTableViewColors::borderBottom();
    painter.fillRect(QRectF(rect.x(), rect.y(), rect.width(), 1), top);
    painter.fillRect(QRectF(rect.x(), rect.bottom() - 1, rect.width(), 1), bottom);
}

void PPTableRowView::drawSelection(QPainter& painter, const QRectF& rect, bool emphasized)
{
    if (!emphasized) {
        painter.fillRect(rect, secondarySelectedControlColor());
        return;
    }
    static const QColor start = DSTableViewColors::selectionStart();
    static const QColor end = DSTableViewColors::selectionEnd();
    static const QColor borderTop = DSTableViewColors::selectionBorderTop();
    static const QColor borderBottom = DSTableViewColors::selectionBorderBottom();
    painter.fillRect(rect, verticalGradient(rect, start, end));
    painter.fillRect(QRectF(rect.x(), rect.bottom() - 1, rect.width(), 1), borderBottom);
    painter.fillRect(QRectF(rect.x(), rect.y(), rect.width(), 1), borderTop);
}

QColor PPTableRowView::secondarySelectedControlColor()
{
    return QColor(212, 212, 212);
}
