#pragma once
// Which colour of a theme a treemap node gets: by its state (rescanned, selected), its kind
// (files and packages take the file colour) and, for folders and grouped nodes, a palette
// colour by depth or by its share of the rectangle it lies in; inert areas a muted colour of
// their kind's own. An invalid colour means no fill and no outline. Stateless; the treemap's
// delegate answers its colour question with it.

#include "treemap/KZTreemapNode.h"

#include <QColor>

#include <cstdint>

class TQTheme;

class KZTreemapColorRule {
public:
    // Lower bounds of the share bands of the palette colours 1 to 4 (below the last: colour 5).
    static constexpr float kBand1 = 0.7f;
    static constexpr float kBand2 = 0.45f;
    static constexpr float kBand3 = 0.3f;
    static constexpr float kBand4 = 0.15f;

    static QColor colorForNode(const KZTreemapNode& node, double percent, bool isSelected, bool isReloading,
                               int64_t depth, const TQTheme& theme, bool useDepth);
    // Index 0 to 5 into the palette (depth1Color ... depth6Color).
    static int paletteIndex(double percent, int64_t depth, bool useDepth);
    static QColor paletteColor(const TQTheme& theme, int index);
    // The fill of an inert area: muted and darker than any theme's item colours, a hue of
    // its own for each kind (the painter adds each kind's pattern).
    static QColor inertAreaColor(KZTreemapNode::InertKind kind);
};
