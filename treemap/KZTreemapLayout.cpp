#include "treemap/KZTreemapLayout.h"

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

} // namespace

std::vector<KZTreemapDrawItem> KZTreemapLayout::layout(KZTreemapNodeLists& lists, const KZDirectory* directory,
                                                       const QRectF& bounds, const KZTreemapLayoutSettings& settings)
{
    std::vector<KZTreemapDrawItem> items;
    const KZTreemapNodeList* top = directory ? lists.cachedList(directory) : nullptr;
    if (!top || !KZTreemapNodeLists::hasShownNode(*top)) return items;
    // The layout only adds cache entries for folders it enters, never replaces one, so the
    // lists it walks stay where they are.
    calcNodePositions(lists, *top, bounds, std::ceil(bounds.width()), std::ceil(bounds.height()), 0, bounds,
                      settings, items);
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
            double sA = 0, sB = 0;
            for (size_t i = 0; i < split; ++i) sA += list[task.begin + i]->value();
            for (size_t i = split; i < count; ++i) sB += list[task.begin + i]->value();
            const double ratio = sA + sB > 0 ? sA / (sA + sB) : 0.5;

            Task a{task.nodes, task.begin, task.begin + split, {}, 0, 0, task.depth, task.parentRect};
            Task b{task.nodes, task.begin + split, task.end, {}, 0, 0, task.depth, task.parentRect};
            if (W > H) {
                const double w1 = W - 1;
                const double wA = std::ceil(ratio * w1);
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
                const double h1 = H - 1;
                const double hA = std::ceil(ratio * h1);
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
        stack.push_back({&children, 0, children.size(), inner, inner.width(), inner.height(), task.depth + 1, task.rect});
    }
}

double KZTreemapLayout::areaPercentForRect(const QRectF& rect, const QRectF& inRect)
{
    return (rect.width() * rect.height()) / (inRect.width() * inRect.height());
}

int KZTreemapLayout::itemAtPoint(const std::vector<KZTreemapDrawItem>& items, const QPointF& point)
{
    // Nested rectangles lie inside their folder's, and siblings never overlap, so the
    // deepest hit is the innermost; of two equal rectangles the later drawn wins. An inert
    // area is never hit: the point belongs to the folder around it.
    int best = -1;
    for (size_t i = 0; i < items.size(); ++i) {
        if (items[i].node->isInertArea()) continue;
        const QRectF& r = items[i].rect;
        if (point.x() < r.left() || point.x() >= r.right() || point.y() < r.top() || point.y() >= r.bottom()) continue;
        if (best < 0 || items[i].depth >= items[size_t(best)].depth) best = int(i);
    }
    return best;
}
