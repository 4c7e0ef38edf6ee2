#pragma once
// Paints laid-out treemap items with a QPainter: each node a filled rectangle (rounded when
// large enough) outlined in its colour darkened by 0.3 towards black, then its texts: a
// folder's name in its title band, a file's, group's or inert area's name centred with its
// size below when there is room, and the path a rescan is reading. Nothing fills the background. QtGui only,
// so it paints into an image as well as into the view. Made once per view; keeps its fonts,
// byte formatter and text metrics.

#include "model/KZMemoryFormatter.h"
#include "treemap/KZTreemapLayout.h"

#include <QColor>
#include <QFont>
#include <QFontMetricsF>
#include <QHash>
#include <QImage>

#include <functional>
#include <memory>
#include <optional>

class QPainter;

class KZTreemapPainter {
public:
    // The colour of a node (invalid: neither fill nor outline).
    using ColorProvider =
        std::function<QColor(const KZTreemapNode& node, double percent, bool selected, bool reloading, int64_t depth)>;

    static constexpr double kFontSize = 11;      // pixels
    static constexpr double kLineHeight = 17;    // one line of text
    static constexpr double kTextMinHeight = 22; // smaller rectangles get no text
    static constexpr double kTextMinWidth = 40;
    static constexpr double kSizeLineMinHeight = 34; // taller rectangles show the size too
    static constexpr double kRoundedMinSide = 15;    // smaller rectangles have square corners
    static constexpr double kCornerRadius = 2;
    static constexpr double kOutlineDarkening = 0.3;

    KZTreemapPainter();

    void paint(QPainter& painter, const std::vector<KZTreemapDrawItem>& items, const ColorProvider& colorForNode);
    // Fill and outline of one item, then its texts; an invalid colour draws only the texts.
    void layoutNode(QPainter& painter, const KZTreemapDrawItem& item, const QColor& color);
    // Fill and outline of a laid-out rectangle (the outline centred half a unit inside it).
    void drawRectangle(QPainter& painter, const QRectF& rect, const QColor& color);
    // The texts of one node in its drawn rectangle.
    void drawMetaDataForNode(QPainter& painter, const KZTreemapNode& node, const QRectF& drawnRect,
                             const QColor& backgroundColor);

    static double cornerRadiusForRect(const QRectF& drawnRect);
    // The text colour that reads on the fill (black without a fill).
    static QColor textColorForBackground(const QColor& backgroundColor);
    // The outline colour for a fill.
    static QColor strokeColorForFill(const QColor& fill);

    const QFont& titleFont() const { return titleFont_; }
    const QFont& labelFont() const { return labelFont_; }

    // Paints fill and outline of a rounded (or square) rectangle as a path, anti-aliased: the
    // reference for the faster pixel-aligned painting used when the rectangle allows it.
    static void drawRectangleAsPath(QPainter& painter, const QRectF& drawnRect, double radius, const QColor& fill);

private:
    // The corners of a rounded rectangle in a colour, pre-rendered.
    const QImage& cornerTiles(const QColor& fill);
    void drawAlignedRectangle(QPainter& painter, const QRect& rect, bool rounded, const QColor& fill);

    void drawText(QPainter& painter, const QString& text, const QRectF& rect, const QFont& font,
                  const QFontMetricsF& metrics, Qt::Alignment alignment, Qt::TextElideMode elide, const QColor& color);

    QFont titleFont_;
    QFont labelFont_;
    QFontMetricsF titleMetrics_;
    QFontMetricsF labelMetrics_;
    KZMemoryFormatter formatter_;
    // The colour of the rescan paths, fixed by the first one drawn.
    std::optional<QColor> pathColor_;
    QHash<QRgb, QImage> cornerTiles_;
};
