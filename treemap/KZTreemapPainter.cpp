#include "treemap/KZTreemapPainter.h"

#include "platform/KZColor.h"
#include "platform/KZPathString.h"

#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>

#include <cmath>

namespace {

QFont makeFont(bool bold)
{
    QFont font = QGuiApplication::font();
    font.setPixelSize(int(KZTreemapPainter::kFontSize));
    font.setBold(bold);
    return font;
}

bool isIntegral(const QRectF& r)
{
    return r.x() == std::floor(r.x()) && r.y() == std::floor(r.y()) && r.width() == std::floor(r.width()) &&
           r.height() == std::floor(r.height());
}

} // namespace

KZTreemapPainter::KZTreemapPainter()
    : titleFont_(makeFont(true)), labelFont_(makeFont(false)), titleMetrics_(titleFont_), labelMetrics_(labelFont_)
{
}

double KZTreemapPainter::cornerRadiusForRect(const QRectF& drawnRect)
{
    return (drawnRect.width() < kRoundedMinSide || drawnRect.height() < kRoundedMinSide) ? 0 : kCornerRadius;
}

QColor KZTreemapPainter::textColorForBackground(const QColor& backgroundColor)
{
    if (!backgroundColor.isValid()) return Qt::black;
    return kz_legibleTextColor(backgroundColor);
}

QColor KZTreemapPainter::strokeColorForFill(const QColor& fill)
{
    return kz_blendedColor(fill, kOutlineDarkening, Qt::black);
}

void KZTreemapPainter::paint(QPainter& painter, const std::vector<KZTreemapDrawItem>& items,
                             const ColorProvider& colorForNode)
{
    for (const KZTreemapDrawItem& item : items) {
        const KZTreemapNode& node = *item.node;
        const QColor color = colorForNode ? colorForNode(node, item.share, node.selected(), node.isReloading(), item.depth)
                                          : QColor();
        layoutNode(painter, item, color);
    }
}

void KZTreemapPainter::layoutNode(QPainter& painter, const KZTreemapDrawItem& item, const QColor& color)
{
    const QRectF drawn = item.drawnRect();
    if (color.isValid()) {
        const QColor stroke = strokeColorForFill(color);
        const double radius = cornerRadiusForRect(drawn);
        if (radius == 0 && isIntegral(item.rect) && color.alpha() == 255) {
            // A one-unit outline centred on a rectangle inset by half a unit covers exactly the
            // outer ring of the laid-out rectangle's pixels; fill both directly.
            const QRect outer = item.rect.toRect();
            painter.fillRect(outer, stroke);
            if (outer.width() > 2 && outer.height() > 2) painter.fillRect(outer.adjusted(1, 1, -1, -1), color);
        } else {
            painter.save();
            painter.setRenderHint(QPainter::Antialiasing, true);
            painter.setPen(QPen(stroke, 1));
            painter.setBrush(color);
            painter.drawRoundedRect(drawn, radius, radius);
            painter.restore();
        }
    }
    drawMetaDataForNode(painter, *item.node, drawn, color);
}

void KZTreemapPainter::drawMetaDataForNode(QPainter& painter, const KZTreemapNode& node, const QRectF& drawnRect,
                                           const QColor& backgroundColor)
{
    const QRectF& r = drawnRect;
    if (r.height() < kTextMinHeight || r.width() < kTextMinWidth) return;

    QString label;
    double size = 0;
    bool isFolder = false;
    if (node.file()) {
        label = node.file()->fileName();
        size = node.file()->fileSize();
        isFolder = node.isPlainFolder();
    } else if (node.isGroupedNode()) {
        label = QStringLiteral("%1 total items").arg(node.totalFiles());
        size = node.fileSize();
    }

    const QColor textColor = textColorForBackground(backgroundColor);
    const double midY = r.center().y();
    QRectF textRect(r.left() + 5, r.top() + 4, r.width() - 10, kLineHeight);

    if (!isFolder) {
        textRect.moveTop(midY - kLineHeight / 2);
        if (r.height() > kSizeLineMinHeight) {
            const QString sizeString = formatter_.stringFromBytes(size);
            if (r.width() - 10 > labelMetrics_.horizontalAdvance(sizeString)) {
                textRect.moveTop(midY - kLineHeight);
                drawText(painter, sizeString, QRectF(textRect.x(), midY - 4, textRect.width(), kLineHeight), labelFont_,
                         labelMetrics_, Qt::AlignHCenter, Qt::ElideRight, textColor);
            }
        }
    }

    if (node.isReloading() && !node.currentPath().empty() && r.height() > kSizeLineMinHeight) {
        if (!pathColor_) pathColor_ = textColor;
        drawText(painter, kz::displayString(node.currentPath()),
                 QRectF(r.left() + 5, midY - kLineHeight / 2, r.width() - 10, kLineHeight), labelFont_, labelMetrics_,
                 Qt::AlignLeft, Qt::ElideMiddle, *pathColor_);
    }

    if (isFolder) {
        drawText(painter, label, textRect, titleFont_, titleMetrics_, Qt::AlignLeft, Qt::ElideRight, textColor);
    } else {
        drawText(painter, label, textRect, labelFont_, labelMetrics_, Qt::AlignHCenter, Qt::ElideRight, textColor);
    }
}

void KZTreemapPainter::drawText(QPainter& painter, const QString& text, const QRectF& rect, const QFont& font,
                                const QFontMetricsF& metrics, Qt::Alignment alignment, Qt::TextElideMode elide,
                                const QColor& color)
{
    if (text.isEmpty() || rect.width() <= 0) return;
    const QString shown = metrics.horizontalAdvance(text) <= rect.width() ? text : metrics.elidedText(text, elide, rect.width());
    if (shown.isEmpty()) return;
    painter.setFont(font);
    painter.setPen(color);
    painter.drawText(rect, int(alignment | Qt::AlignTop | Qt::TextSingleLine), shown);
}
