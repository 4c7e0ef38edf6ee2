#pragma once
// The layout of the nested treemap: a pure function from the folder shown, a rectangle and
// the limits to the list of rectangles to draw, parents before their children. A list of
// nodes is cut into two runs of about equal weight, the rectangle is cut across its longer
// side in proportion with a gap of one unit (a part that holds an item never thinner than the
// narrowest side drawn, so no item vanishes beside a large one; a run without room for that
// is drawn as one group of its items), and each run is laid out in its part until single
// nodes remain; a plain folder's children are laid out inside its rectangle, 5 units in and
// below a title band. The only state it touches is the cache of node lists, which it fills
// for the folders it enters. No widgets; the view paints and hit-tests what this returns.

#include "treemap/KZTreemapNodeLists.h"

#include <QPointF>
#include <QRectF>

#include <cstdint>
#include <span>
#include <unordered_map>
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
    // cache holds no list for the folder or an empty one. A list of inert areas alone is
    // drawn: its bytes are there, and the areas say why no item stands for them.
    static std::vector<KZTreemapDrawItem> layout(KZTreemapNodeLists& lists, const KZDirectory* directory,
                                                 const QRectF& bounds, const KZTreemapLayoutSettings& settings);
    // Lays out one list in `rect`; `width` and `height` drive the split and the limits.
    static void calcNodePositions(KZTreemapNodeLists& lists, const KZTreemapNodeList& nodes, const QRectF& rect,
                                  double width, double height, int64_t depth, const QRectF& parentRect,
                                  const KZTreemapLayoutSettings& settings, std::vector<KZTreemapDrawItem>& out);
    // (width × height of rect) / (width × height of inRect).
    static double areaPercentForRect(const QRectF& rect, const QRectF& inRect);
    // Index into `items` of the innermost item whose painted pixels hold the point, or -1.
    // Inert areas are passed over unless asked for.
    static int itemAtPoint(const std::vector<KZTreemapDrawItem>& items, const QPointF& point, bool inertAreas = false);
};

// The nesting of one layout's items, for moving through them without the pointer: each item's
// folder item, its own child items in drawing order, and the index of each node. Built in one
// pass over the items (not the tree); valid for the items it was built from only.
class KZTreemapItemTree {
public:
    // Where the keyboard moves from an item among its siblings.
    enum class Direction : uint8_t { Left, Right, Up, Down };

    KZTreemapItemTree() = default;
    explicit KZTreemapItemTree(const std::vector<KZTreemapDrawItem>& items);

    // The item's folder item, or -1 at top level.
    int parentOf(int item) const { return parent_[size_t(item)]; }
    // The items laid out directly inside the item (-1: the top-level items), in drawing order.
    std::span<const int> childrenOf(int item) const;
    // The index of the node's item, or -1 when the node is not drawn.
    int indexOf(const KZTreemapNode* node) const;
    size_t size() const { return parent_.size(); }

    // Of the item's siblings that are not inert areas, the nearest one lying wholly beyond the
    // item's edge in the direction (one overlapping the item across that direction before any
    // other), or -1 when there is none.
    int neighbour(const std::vector<KZTreemapDrawItem>& items, int item, Direction direction) const;
    // The next (or previous) sibling in drawing order that is not an inert area, or -1.
    int nextSibling(const std::vector<KZTreemapDrawItem>& items, int item, bool forward) const;
    // The first (or last) item of a list of siblings that is not an inert area, or -1.
    static int firstSelectable(const std::vector<KZTreemapDrawItem>& items, std::span<const int> siblings,
                               bool forward = true);

private:
    std::vector<int> parent_;
    std::vector<int> childStart_; // children of item i: children_[childStart_[i] .. childStart_[i + 1])
    std::vector<int> children_;
    std::vector<int> topLevel_;
    std::unordered_map<const KZTreemapNode*, int> index_;
};
