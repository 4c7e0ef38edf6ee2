#pragma once
// The layout of the nested treemap: a pure function from the folder shown, a rectangle and
// the limits to the list of rectangles to draw, parents before their children. A list of
// nodes is cut into two runs of about equal weight, the rectangle is cut across its longer
// side in proportion with a gap of one unit, and each run is laid out in its part until single
// nodes remain; a plain folder's children are laid out inside its rectangle, 5 units in and
// below a title band. The only state it touches is the cache of node lists, which it fills
// for the folders it enters. No widgets; the view paints and hit-tests what this returns.

#include "treemap/KZTreemapNodeLists.h"

#include <QPointF>
#include <QRectF>

#include <cstdint>
#include <vector>

// Limits of one layout: a call whose width or height is at most minimumSide draws nothing,
// nor one deeper than maximumDepth.
struct KZTreemapLayoutSettings {
    double minimumSide = 2;
    int64_t maximumDepth = 6;

    static KZTreemapLayoutSettings atRest() { return {2, 6}; }
    // While the view is being resized: larger rectangles only, three levels.
    static KZTreemapLayoutSettings duringLiveResize() { return {10, 2}; }
};

// One rectangle to draw.
struct KZTreemapDrawItem {
    KZTreemapNodePtr node;
    QRectF rect;       // the laid-out rectangle; its pixels are exactly the ones painted
    QRectF parentRect; // the rectangle of the folder it lies in (the bounds at top level)
    int64_t depth = 0; // 0 at top level
    double share = 0;  // drawn area / area of parentRect

    // The rectangle the outline is drawn on: rect inset by half a unit.
    QRectF drawnRect() const { return rect.adjusted(0.5, 0.5, -0.5, -0.5); }
};

class KZTreemapLayout {
public:
    static constexpr double kTitleBand = 17;
    static constexpr double kInset = 5;
    // A folder gets a title band only when taller and wider than these.
    static constexpr double kTitleBandMinHeight = 17;
    static constexpr double kTitleBandMinWidth = 40;

    // The items for the folder's cached node list laid out in the bounds; nothing when the
    // cache holds no list for the folder, or one without a node for an item (inert areas
    // alone are nothing to show).
    static std::vector<KZTreemapDrawItem> layout(KZTreemapNodeLists& lists, const KZDirectory* directory,
                                                 const QRectF& bounds, const KZTreemapLayoutSettings& settings);
    // Lays out one list in `rect`; `width` and `height` drive the split and the limits.
    static void calcNodePositions(KZTreemapNodeLists& lists, const KZTreemapNodeList& nodes, const QRectF& rect,
                                  double width, double height, int64_t depth, const QRectF& parentRect,
                                  const KZTreemapLayoutSettings& settings, std::vector<KZTreemapDrawItem>& out);
    // (width × height of rect) / (width × height of inRect).
    static double areaPercentForRect(const QRectF& rect, const QRectF& inRect);
    // Index into `items` of the innermost item whose painted pixels hold the point, or -1.
    // Inert areas are passed over.
    static int itemAtPoint(const std::vector<KZTreemapDrawItem>& items, const QPointF& point);
};
