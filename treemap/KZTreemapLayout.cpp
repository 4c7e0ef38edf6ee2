#include "treemap/KZTreemapLayout.h"

#include <algorithm>
#include <cmath>

namespace {

// One pending call of the layout: the nodes [begin, end) of a list in a rectangle.
struct Task {
    const KZTreemapNodeList* nodes;
    size_t begin;
    size_t end;
    QRectF rect;
    double width;
    double height;
    int64_t depth;
    QRectF parentRect;
};

// Where to cut `length` (the side across which a run is split) so that part A gets `a`: as
// the weights give it, but never so thin that a part holding an item is not drawn; false
// when the side is too short to give both parts a drawn width.
bool cutKeepingItemsDrawn(double& a, double length, bool aHoldsItems, bool bHoldsItems, double least)
{
    const double lowest = aHoldsItems ? least : 0;
    const double highest = bHoldsItems ? length - least : length;
    if (lowest > highest) return false;
    a = std::clamp(a, lowest, highest);
    return true;
}

// One grouped node for the items of a run that has no room to draw them apart: its records,
// and the run's weight.
KZTreemapNodePtr crowdedRun(const KZTreemapNodeList& list, size_t begin, size_t end)
{
    std::vector<KZFilePtr> files;
    KZDirectoryPtr folder;
    double weight = 0;
    for (size_t i = begin; i < end; ++i) {
        const KZTreemapNode& node = *list[i];
        weight += node.value();
        if (node.file()) {
            files.push_back(node.file());
            if (!folder) folder = KZDirectoryPtr(node.file()->parent());
        } else if (!node.isInertArea()) {
            files.insert(files.end(), node.files().begin(), node.files().end());
        }
        if (!folder && node.parentDirectory()) folder = node.parentDirectory();
    }
    KZTreemapNodePtr group = KZTreemapNode::nodeWithGroupedFileArray(std::move(files), folder);
    group->setValue(weight);
    return group;
}

} // namespace

std::vector<KZTreemapDrawItem> KZTreemapLayout::layout(KZTreemapNodeLists& lists, const KZDirectory* directory,
                                                       const QRectF& bounds, const KZTreemapLayoutSettings& settings)
{
    std::vector<KZTreemapDrawItem> items;
    const KZTreemapNodeList* top = directory ? lists.cachedList(directory) : nullptr;
    if (!top || top->empty()) return items;
    // The layout only adds cache entries for folders it enters, never replaces one, so the
    // lists it walks stay where they are.
    calcNodePositions(lists, *top, bounds, std::ceil(bounds.width()), std::ceil(bounds.height()), 0, bounds, settings,
                      items);
    return items;
}

void KZTreemapLayout::calcNodePositions(KZTreemapNodeLists& lists, const KZTreemapNodeList& nodes, const QRectF& rect,
                                        double width, double height, int64_t depth, const QRectF& parentRect,
                                        const KZTreemapLayoutSettings& settings, std::vector<KZTreemapDrawItem>& out)
{
    // An explicit stack instead of recursion; run A is taken before run B and a folder's
    // children right after the folder, so the order is that of a depth-first walk.
    std::vector<Task> stack;
    stack.push_back({&nodes, 0, nodes.size(), rect, width, height, depth, parentRect});
    while (!stack.empty()) {
        const Task task = stack.back();
        stack.pop_back();
        const double W = task.width, H = task.height;
        if (settings.minimumSide >= H || settings.minimumSide >= W || task.depth > settings.maximumDepth) continue;
        const size_t count = task.end - task.begin;
        const KZTreemapNodeList& list = *task.nodes;
        const double x = task.rect.x(), y = task.rect.y();

        if (count >= 2) {
            double sum = 0;
            for (size_t i = task.begin; i < task.end; ++i) sum += list[i]->value();
            const double half = sum * 0.5;
            double running = 0;
            size_t split = count - 1;
            for (size_t i = 0; i < count; ++i) {
                if (running > half) {
                    split = i;
                    break;
                }
                running += list[task.begin + i]->value();
            }
            if (split == 0) split = 1;
            // The weights of the runs, and whether each holds an item (inert areas hold bytes
            // but no item).
            double sA = 0, sB = 0;
            bool aHoldsItems = false, bHoldsItems = false;
            for (size_t i = 0; i < count; ++i) {
                const KZTreemapNode& node = *list[task.begin + i];
                const double v = node.value();
                const bool item = v > 0 && !node.isInertArea();
                if (i < split) {
                    sA += v;
                    aHoldsItems = aHoldsItems || item;
                } else {
                    sB += v;
                    bHoldsItems = bHoldsItems || item;
                }
            }
            const double ratio = sA + sB > 0 ? sA / (sA + sB) : 0.5;
            // A part holding an item gets at least the narrowest side that is drawn, so a
            // small item beside a large one never vanishes; a run whose rectangle can't give
            // both parts that much is drawn as one group of its items.
            const double least = settings.minimumSide + 1;
            const double cutLength = (W > H ? W : H) - 1;
            double cut = std::ceil(ratio * cutLength);
            if ((W > H || running != 0) && !cutKeepingItemsDrawn(cut, cutLength, aHoldsItems, bHoldsItems, least)) {
                KZTreemapDrawItem item;
                item.node = crowdedRun(list, task.begin, task.end);
                item.rect = task.rect;
                item.parentRect = task.parentRect;
                item.depth = task.depth;
                item.share = areaPercentForRect(item.drawnRect(), task.parentRect);
                out.push_back(std::move(item));
                continue;
            }

            Task a{task.nodes, task.begin, task.begin + split, {}, 0, 0, task.depth, task.parentRect};
            Task b{task.nodes, task.begin + split, task.end, {}, 0, 0, task.depth, task.parentRect};
            if (W > H) {
                const double w1 = cutLength;
                const double wA = cut;
                a.rect = QRectF(x, y, wA, H);
                a.width = wA;
                a.height = H;
                b.rect = QRectF(x + wA + 1, y, w1 - wA, H);
                b.width = w1 - wA;
                b.height = H;
            } else if (running == 0) {
                // All weights zero: neither part is drawn.
                a.rect = QRectF(x, y, 0, 0);
                b.rect = QRectF(x, y + 1, 0, 0);
            } else {
                const double h1 = cutLength;
                const double hA = cut;
                a.rect = QRectF(x, y, W, hA);
                a.width = W;
                a.height = hA;
                b.rect = QRectF(x, y + hA + 1, W, h1 - hA);
                b.width = W;
                b.height = h1 - hA;
            }
            stack.push_back(b);
            stack.push_back(a);
            continue;
        }
        if (count == 0) continue;

        const KZTreemapNodePtr& node = list[task.begin];
        if (!node) continue;
        KZTreemapDrawItem item;
        item.node = node;
        item.rect = task.rect;
        item.parentRect = task.parentRect;
        item.depth = task.depth;
        item.share = areaPercentForRect(item.drawnRect(), task.parentRect);
        out.push_back(std::move(item));

        if (!node->isPlainFolder() || node->isReloading()) continue;
        const double w = task.rect.width(), h = task.rect.height();
        const double band = (h > kTitleBandMinHeight && w > kTitleBandMinWidth) ? kTitleBand : 0;
        const QRectF inner(x + kInset, y + kInset + band, w - 2 * kInset, h - 2 * kInset - band);
        const KZTreemapNodeList& children = lists.listForDirectory(static_cast<const KZDirectory*>(node->file().get()));
        if (children.empty()) continue;
        stack.push_back(
            {&children, 0, children.size(), inner, inner.width(), inner.height(), task.depth + 1, task.rect});
    }
}

double KZTreemapLayout::areaPercentForRect(const QRectF& rect, const QRectF& inRect)
{
    return (rect.width() * rect.height()) / (inRect.width() * inRect.height());
}

int KZTreemapLayout::itemAtPoint(const std::vector<KZTreemapDrawItem>& items, const QPointF& point, bool inertAreas)
{
    // Nested rectangles lie inside their folder's, and siblings never overlap, so the
    // deepest hit is the innermost; of two equal rectangles the later drawn wins. An inert
    // area is never hit unless asked for: the point belongs to the folder around it.
    int best = -1;
    for (size_t i = 0; i < items.size(); ++i) {
        if (!inertAreas && items[i].node->isInertArea()) continue;
        const QRectF& r = items[i].rect;
        if (point.x() < r.left() || point.x() >= r.right() || point.y() < r.top() || point.y() >= r.bottom()) continue;
        if (best < 0 || items[i].depth >= items[size_t(best)].depth) best = int(i);
    }
    return best;
}

// ---- the nesting of the items ----

KZTreemapItemTree::KZTreemapItemTree(const std::vector<KZTreemapDrawItem>& items)
{
    const size_t n = items.size();
    parent_.assign(n, -1);
    index_.reserve(n);
    // Items come parents first, a folder's children right after it: the last item seen at
    // each depth is the folder of the next item one level deeper.
    std::vector<int> open;
    std::vector<int> counts(n + 1, 0); // counts[i + 1]: children of item i
    for (size_t i = 0; i < n; ++i) {
        const size_t depth = size_t(std::max<int64_t>(0, items[i].depth));
        if (open.size() > depth) open.resize(depth);
        const int parent = open.empty() ? -1 : open.back();
        // A deeper item without its folder's item before it is a broken layout: keep it at the
        // level it can reach.
        parent_[i] = parent;
        if (parent < 0) {
            topLevel_.push_back(int(i));
        } else {
            ++counts[size_t(parent) + 1];
        }
        open.push_back(int(i));
        index_.emplace(items[i].node.get(), int(i));
    }
    childStart_.assign(n + 1, 0);
    for (size_t i = 0; i < n; ++i) childStart_[i + 1] = childStart_[i] + counts[i + 1];
    children_.assign(size_t(childStart_[n]), 0);
    std::vector<int> fill(childStart_.begin(), childStart_.end() - 1);
    for (size_t i = 0; i < n; ++i)
        if (parent_[i] >= 0) children_[size_t(fill[size_t(parent_[i])]++)] = int(i);
}

std::span<const int> KZTreemapItemTree::childrenOf(int item) const
{
    if (item < 0) return topLevel_;
    if (size_t(item) >= parent_.size()) return {};
    return std::span<const int>(children_).subspan(size_t(childStart_[size_t(item)]),
                                                   size_t(childStart_[size_t(item) + 1] - childStart_[size_t(item)]));
}

int KZTreemapItemTree::indexOf(const KZTreemapNode* node) const
{
    auto it = index_.find(node);
    return it == index_.end() ? -1 : it->second;
}

int KZTreemapItemTree::firstSelectable(const std::vector<KZTreemapDrawItem>& items, std::span<const int> siblings,
                                       bool forward)
{
    for (size_t k = 0; k < siblings.size(); ++k) {
        const int i = siblings[forward ? k : siblings.size() - 1 - k];
        if (!items[size_t(i)].node->isInertArea()) return i;
    }
    return -1;
}

int KZTreemapItemTree::nextSibling(const std::vector<KZTreemapDrawItem>& items, int item, bool forward) const
{
    if (item < 0 || size_t(item) >= parent_.size()) return -1;
    const std::span<const int> siblings = childrenOf(parentOf(item));
    const auto at = std::find(siblings.begin(), siblings.end(), item);
    if (at == siblings.end()) return -1;
    const auto place = size_t(at - siblings.begin());
    return forward ? firstSelectable(items, siblings.subspan(place + 1), true)
                   : firstSelectable(items, siblings.first(place), false);
}

int KZTreemapItemTree::neighbour(const std::vector<KZTreemapDrawItem>& items, int item, Direction direction) const
{
    if (item < 0 || size_t(item) >= parent_.size()) return -1;
    const QRectF from = items[size_t(item)].rect;
    const bool horizontal = direction == Direction::Left || direction == Direction::Right;
    // Along: how far the candidate lies beyond the edge (siblings sit one unit apart; half a
    // unit of slack for rounding). Across: how much of it faces the item.
    int best = -1;
    bool bestFaces = false;
    double bestGap = 0, bestOffset = 0;
    for (const int i : childrenOf(parentOf(item))) {
        if (i == item || items[size_t(i)].node->isInertArea()) continue;
        const QRectF r = items[size_t(i)].rect;
        double gap = 0;
        switch (direction) {
        case Direction::Left:
            gap = from.left() - r.right();
            break;
        case Direction::Right:
            gap = r.left() - from.right();
            break;
        case Direction::Up:
            gap = from.top() - r.bottom();
            break;
        case Direction::Down:
            gap = r.top() - from.bottom();
            break;
        }
        if (gap < -0.5) continue;
        const double overlap = horizontal ? std::min(from.bottom(), r.bottom()) - std::max(from.top(), r.top())
                                          : std::min(from.right(), r.right()) - std::max(from.left(), r.left());
        const bool faces = overlap > 0;
        const double offset =
            horizontal ? std::abs(r.center().y() - from.center().y()) : std::abs(r.center().x() - from.center().x());
        // Facing candidates first, nearest first, then the one most in line; the others by the
        // distance along plus the distance across.
        const double distance = faces ? gap : gap - overlap;
        bool better = best < 0;
        if (!better && faces != bestFaces) better = faces;
        if (!better && faces == bestFaces) {
            const double bestDistance = bestGap;
            better = distance < bestDistance || (distance == bestDistance && offset < bestOffset);
        }
        if (better) {
            best = i;
            bestFaces = faces;
            bestGap = distance;
            bestOffset = offset;
        }
    }
    return best;
}
