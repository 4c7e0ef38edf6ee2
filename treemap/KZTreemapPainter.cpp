#include "treemap/KZTreemapPainter.h"

#include "platform/KZColorUtilities.h"
#include "platform/KZPathString.h"

#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>

#include <cmath>
#include <functional>

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
        if (item.node->isInertArea()) drawInertMarks(painter, item, color);
    }
    drawMetaDataForNode(painter, *item.node, item.drawnRect(), color);
}

KZTreemapPainter::InertLook KZTreemapPainter::inertLook(KZTreemapNode::InertKind kind, const QColor& fill)
{
    using Kind = KZTreemapNode::InertKind;
    InertLook look;
    const QColor mark = fill.lighter(kind == Kind::RemovedItems ? 260 : 150);
    look.markColor = mark;
    // Which pixels of a square tile are marked.
    std::function<bool(int x, int y)> marked;
    int side = 0;
    switch (kind) {
    case Kind::SmallFiles: // a grain of staggered dots: many small things
        side = 4;
        marked = [](int x, int y) { return (x == 1 && y == 1) || (x == 3 && y == 3); };
        break;
    case Kind::HiddenItems: // level lines, as of a blind drawn down
        side = 4;
        marked = [](int, int y) { return y == 3; };
        break;
    case Kind::SystemItems: // a lattice: fenced off
        side = 6;
        marked = [](int x, int y) { return x == y || x == 5 - y; };
        break;
    case Kind::IgnoredItems: // slanted stripes: struck out
        side = 6;
        marked = [](int x, int y) { return (x + y) % 6 < 2; };
        break;
    case Kind::None:
    case Kind::RemovedItems: // no pattern: an empty place with a dashed frame
        look.dashedFrame = true;
        return look;
    }
    look.tile = QImage(side, side, QImage::Format_ARGB32_Premultiplied);
    look.tile.fill(fill);
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x)
            if (marked(x, y)) look.tile.setPixelColor(x, y, mark);
    return look;
}

void KZTreemapPainter::drawInertMarks(QPainter& painter, const KZTreemapDrawItem& item, const QColor& fill)
{
    const QRectF& r = item.rect;
    if (r.width() <= 4 || r.height() <= 4) return;
    const auto key = qMakePair(int(item.node->inertKind()), fill.rgba());
    auto it = inertLooks_.find(key);
    if (it == inertLooks_.end()) {
        if (inertLooks_.size() > 64) inertLooks_.clear();
        it = inertLooks_.insert(key, inertLook(item.node->inertKind(), fill));
    }
    const InertLook& look = *it;
    if (!look.tile.isNull()) painter.fillRect(r.adjusted(1, 1, -1, -1), QBrush(look.tile));
    if (look.dashedFrame && r.width() >= 10 && r.height() >= 10) {
        painter.save();
        painter.setRenderHint(QPainter::Antialiasing, false);
        painter.setBrush(Qt::NoBrush);
        painter.setPen(QPen(look.markColor, 1, Qt::DashLine, Qt::FlatCap, Qt::MiterJoin));
        painter.drawRect(r.adjusted(3.5, 3.5, -3.5, -3.5));
        painter.restore();
    }
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

    if (node.isInertArea()) {
        drawInertAreaTexts(painter, node, r, backgroundColor);
        return;
    }

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

void KZTreemapPainter::drawInertAreaTexts(QPainter& painter, const KZTreemapNode& node, const QRectF& r,
                                          const QColor& backgroundColor)
{
    // What it holds; below it, when there is room, its size and how such bytes are shown.
    const double width = r.width() - 10;
    QStringList lines{KZTreemapNode::inertAreaTitle(node.inertKind())};
    if (r.height() > kSizeLineMinHeight) {
        const QString sizeString = formatter_.stringFromBytes(node.fileSize());
        if (width > labelMetrics_.horizontalAdvance(sizeString)) lines << sizeString;
    }
    if (lines.size() == 2 && r.height() > kSizeLineMinHeight + kInertHintPitch + 4)
        lines << labelMetrics_.elidedText(KZTreemapNode::inertAreaHint(node.inertKind()), Qt::ElideRight, width);
    for (QString& line : lines)
        if (labelMetrics_.horizontalAdvance(line) > width) line = labelMetrics_.elidedText(line, Qt::ElideRight, width);
    if (lines.last().isEmpty()) lines.removeLast();
    if (lines.isEmpty() || lines.first().isEmpty()) return;

    // Lines kInertHintPitch apart, the block centred as an item's name and size are.
    const double top = r.center().y() - (kInertHintPitch * double(lines.size() - 1) + kLineHeight) / 2;
    if (backgroundColor.isValid()) {
        double widest = 0;
        for (const QString& line : lines) widest = std::max(widest, labelMetrics_.horizontalAdvance(line));
        const double height = kInertHintPitch * double(lines.size() - 1) + labelMetrics_.height();
        QRectF plate(r.center().x() - widest / 2 - 4, top - 1, widest + 8, height + 2);
        plate = plate.intersected(r.adjusted(1.5, 1.5, -1.5, -1.5));
        painter.fillRect(plate, backgroundColor);
    }
    const QColor textColor = textColorForBackground(backgroundColor);
    for (qsizetype i = 0; i < lines.size(); ++i)
        drawText(painter, lines[i], QRectF(r.left() + 5, top + kInertHintPitch * double(i), width, kLineHeight),
                 labelFont_, labelMetrics_, Qt::AlignHCenter, Qt::ElideRight, textColor);
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
