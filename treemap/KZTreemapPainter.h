#pragma once
// Paints laid-out treemap items with a QPainter: each node a filled rectangle (rounded when
// large enough) outlined in its colour darkened by 0.3 towards black, then its texts: a
// folder's name in its title band, a file's or group's name centred with its size below when
// there is room, and the path a rescan is reading. An inert area has a look of its kind's own
// over its fill (dots for small files, level lines for hidden items, a lattice for system
// items, slanted stripes for ignored items, a dashed frame round the empty place of removed
// items) and says what it holds, its size and how such bytes come to be shown, on a plain
// backing so the pattern never crosses the text. Nothing fills the background. QtGui only, so
// it paints into an image as well as into the view. Made once per view; keeps its fonts, byte
// formatter, text metrics and patterns.

#include "model/KZMemoryFormatter.h"
#include "treemap/KZTreemapLayout.h"

#include <QColor>
#include <QFont>
#include <QFontMetricsF>
#include <QHash>
#include <QImage>
#include <QPair>

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
    static constexpr double kInertHintPitch = 13;    // from one line of an inert area's text to the next
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

    // The look of an inert area of a kind with the given fill, over the fill: a pattern tile
    // (null for none) and whether a dashed frame marks the place.
    struct InertLook {
        QImage tile;
        QColor markColor; // the pattern's and the frame's colour
        bool dashedFrame = false;
    };
    static InertLook inertLook(KZTreemapNode::InertKind kind, const QColor& fill);
    // The pattern, frame and text backing of an inert area's look (its fill is drawn already).
    void drawInertMarks(QPainter& painter, const KZTreemapDrawItem& item, const QColor& fill);

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

    void drawInertAreaTexts(QPainter& painter, const KZTreemapNode& node, const QRectF& drawnRect,
                            const QColor& backgroundColor);
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
    QHash<QPair<int, QRgb>, InertLook> inertLooks_;
};
