#include "treemap/KZTreemapPainter.h"

#include "platform/KZColorUtilities.h"
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
    // The fill blended kOutlineDarkening of the way towards black.
    const QColor c = fill.toRgb();
    const float keep = float(1.0 - kOutlineDarkening);
    return QColor::fromRgbF(c.redF() * keep, c.greenF() * keep, c.blueF() * keep,
                            c.alphaF() + (1.0f - c.alphaF()) * float(kOutlineDarkening));
}

void KZTreemapPainter::paint(QPainter& painter, const std::vector<KZTreemapDrawItem>& items,
                             const ColorProvider& colorForNode)
{
    for (const KZTreemapDrawItem& item : items) {
        const KZTreemapNode& node = *item.node;
        const QColor color =
            colorForNode ? colorForNode(node, item.share, node.selected(), node.isReloading(), item.depth) : QColor();
        layoutNode(painter, item, color);
    }
}

void KZTreemapPainter::layoutNode(QPainter& painter, const KZTreemapDrawItem& item, const QColor& color)
{
    if (color.isValid()) {
        drawRectangle(painter, item.rect, color);
        // Fine diagonal lines over an inert area's fill tell it from the items around it.
        if (item.node->isInertArea() && item.rect.width() > 4 && item.rect.height() > 4)
            painter.fillRect(item.rect.adjusted(1, 1, -1, -1), QBrush(color.lighter(118), Qt::BDiagPattern));
    }
    drawMetaDataForNode(painter, *item.node, item.drawnRect(), color);
}

void KZTreemapPainter::drawRectangle(QPainter& painter, const QRectF& rect, const QColor& color)
{
    const QRectF drawn = rect.adjusted(0.5, 0.5, -0.5, -0.5);
    const double radius = cornerRadiusForRect(drawn);
    // A one-unit outline centred on a rectangle inset by half a unit covers exactly the outer
    // ring of the laid-out rectangle's pixels, so on a pixel grid the rectangle is painted with
    // plain fills (and pre-rendered corners when rounded).
    const QTransform& t = painter.deviceTransform();
    const bool pixelAligned = t.type() <= QTransform::TxTranslate && t.dx() == std::floor(t.dx()) &&
                              t.dy() == std::floor(t.dy()) && isIntegral(rect) && color.alpha() == 255;
    if (pixelAligned) {
        drawAlignedRectangle(painter, rect.toRect(), radius > 0, color);
    } else {
        drawRectangleAsPath(painter, drawn, radius, color);
    }
}

void KZTreemapPainter::drawRectangleAsPath(QPainter& painter, const QRectF& drawnRect, double radius,
                                           const QColor& fill)
{
    QPainterPath path;
    if (radius > 0) {
        path.addRoundedRect(drawnRect, radius, radius);
    } else {
        path.addRect(drawnRect);
    }
    // The outline as a filled shape (mitred), not the thin-line stroker, which cuts square
    // corners off.
    QPainterPathStroker stroker;
    stroker.setWidth(1);
    stroker.setJoinStyle(Qt::MiterJoin);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.fillPath(path, fill);
    painter.fillPath(stroker.createStroke(path), strokeColorForFill(fill));
    painter.restore();
}

namespace {
// Pixels from each corner that a corner of radius 2 on a half-unit inset outline reaches.
constexpr int kCornerTile = 4;
constexpr int kTileImage = 3 * kCornerTile;
} // namespace

const QImage& KZTreemapPainter::cornerTiles(const QColor& fill)
{
    auto it = cornerTiles_.find(fill.rgba());
    if (it != cornerTiles_.end()) return *it;
    // A small rounded rectangle on transparency; its four corner blocks composite over any
    // background exactly as the anti-aliased path would.
    QImage tiles(kTileImage, kTileImage, QImage::Format_ARGB32_Premultiplied);
    tiles.fill(Qt::transparent);
    QPainter p(&tiles);
    drawRectangleAsPath(p, QRectF(0.5, 0.5, kTileImage - 1, kTileImage - 1), kCornerRadius, fill);
    p.end();
    if (cornerTiles_.size() > 64) cornerTiles_.clear();
    return *cornerTiles_.insert(fill.rgba(), tiles);
}

void KZTreemapPainter::drawAlignedRectangle(QPainter& painter, const QRect& r, bool rounded, const QColor& fill)
{
    const QColor stroke = strokeColorForFill(fill);
    const int x = r.x(), y = r.y(), w = r.width(), h = r.height();
    if (w <= 2 || h <= 2) {
        painter.fillRect(r, stroke);
        return;
    }
    if (!rounded) {
        painter.fillRect(QRect(x, y, w, 1), stroke);
        painter.fillRect(QRect(x, y + h - 1, w, 1), stroke);
        painter.fillRect(QRect(x, y + 1, 1, h - 2), stroke);
        painter.fillRect(QRect(x + w - 1, y + 1, 1, h - 2), stroke);
        painter.fillRect(QRect(x + 1, y + 1, w - 2, h - 2), fill);
        return;
    }
    const int c = kCornerTile;
    // Outline between the corners, then the inside in three bands around the corners.
    painter.fillRect(QRect(x + c, y, w - 2 * c, 1), stroke);
    painter.fillRect(QRect(x + c, y + h - 1, w - 2 * c, 1), stroke);
    painter.fillRect(QRect(x, y + c, 1, h - 2 * c), stroke);
    painter.fillRect(QRect(x + w - 1, y + c, 1, h - 2 * c), stroke);
    painter.fillRect(QRect(x + c, y + 1, w - 2 * c, c - 1), fill);
    painter.fillRect(QRect(x + 1, y + c, w - 2, h - 2 * c), fill);
    painter.fillRect(QRect(x + c, y + h - c, w - 2 * c, c - 1), fill);
    const QImage& tiles = cornerTiles(fill);
    const int far = kTileImage - c;
    painter.drawImage(QPoint(x, y), tiles, QRect(0, 0, c, c));
    painter.drawImage(QPoint(x + w - c, y), tiles, QRect(far, 0, c, c));
    painter.drawImage(QPoint(x, y + h - c), tiles, QRect(0, far, c, c));
    painter.drawImage(QPoint(x + w - c, y + h - c), tiles, QRect(far, far, c, c));
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
    } else if (node.isInertArea()) {
        label = KZTreemapNode::inertAreaTitle(node.inertKind());
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
    const QString shown =
        metrics.horizontalAdvance(text) <= rect.width() ? text : metrics.elidedText(text, elide, rect.width());
    if (shown.isEmpty()) return;
    painter.setFont(font);
    painter.setPen(color);
    painter.drawText(rect, int(alignment | Qt::AlignTop | Qt::TextSingleLine), shown);
}
