#include "treemap/KZTreemapColorRule.h"

#include "treemap/KZTreemapNode.h"
#include "treemap/TQTheme.h"

#include <algorithm>

QColor KZTreemapColorRule::colorForNode(const KZTreemapNode& node, double percent, bool isSelected, bool isReloading,
                                        int64_t depth, const TQTheme& theme, bool useDepth)
{
    if (percent <= 0) return {};
    // An inert area is never selected nor rescanned, and looks the same in every theme.
    if (node.isInertArea()) return inertAreaColor(node.inertKind());
    if (isReloading) return theme.reloadingColor();
    if (isSelected) return theme.selectionColor();
    if (!node.isGroupedNode() && !node.isPlainFolder()) return theme.fileColor();
    return paletteColor(theme, paletteIndex(percent, depth, useDepth));
}

int KZTreemapColorRule::paletteIndex(double percent, int64_t depth, bool useDepth)
{
    if (useDepth) return int(std::clamp<int64_t>(depth, 0, 5));
    // The band bounds are single-precision values compared in double precision.
    if (percent >= double(kBand1) && percent < 1.0) return 0;
    if (percent >= double(kBand2) && percent < double(kBand1)) return 1;
    if (percent >= double(kBand3) && percent < double(kBand2)) return 2;
    if (percent >= double(kBand4) && percent < double(kBand3)) return 3;
    if (percent >= 0 && percent < double(kBand4)) return 4;
    return 5;
}

QColor KZTreemapColorRule::inertAreaColor(KZTreemapNode::InertKind kind)
{
    using Kind = KZTreemapNode::InertKind;
    switch (kind) {
    case Kind::SmallFiles:
        return QColor(88, 100, 116); // slate
    case Kind::HiddenItems:
        return QColor(86, 70, 116); // dusky violet
    case Kind::SystemItems:
        return QColor(48, 92, 82); // deep teal
    case Kind::IgnoredItems:
        return QColor(118, 92, 44); // ochre
    case Kind::None:
    case Kind::RemovedItems:
        break;
    }
    return QColor(40, 40, 44); // nearly black: an empty place
}

QColor KZTreemapColorRule::paletteColor(const TQTheme& theme, int index)
{
    switch (index) {
    case 0:
        return theme.depth1Color();
    case 1:
        return theme.depth2Color();
    case 2:
        return theme.depth3Color();
    case 3:
        return theme.depth4Color();
    case 4:
        return theme.depth5Color();
    default:
        return theme.depth6Color();
    }
}
