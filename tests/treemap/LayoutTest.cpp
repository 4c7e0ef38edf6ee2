#include "TreemapFixtures.h"

#include "treemap/KZTreemapLayout.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <set>

using namespace treetest;

namespace {

// A list of file nodes with the given weights.
KZTreemapNodeList weights(std::initializer_list<double> values)
{
    static auto holder = root("/w");
    KZTreemapNodeList list;
    int i = 0;
    for (double v : values) {
        auto f = KZFile::childWithName(holder.get(), "n" + std::to_string(i++));
        f->setFileSize(v);
        list.push_back(KZTreemapNode::nodeWithFile(f));
    }
    return list;
}

std::vector<KZTreemapDrawItem> layOut(const KZTreemapNodeList& nodes, const QRectF& r,
                                      KZTreemapLayoutSettings settings = KZTreemapLayoutSettings::atRest())
{
    KZTreemapNodeLists lists;
    std::vector<KZTreemapDrawItem> out;
    KZTreemapLayout::calcNodePositions(lists, nodes, r, r.width(), r.height(), 0, r, settings, out);
    return out;
}

TEST(Layout, SplitsIntoRunsOfAboutEqualWeight)
{
    // 10 and 1: half is 5.5, the walk stops at index 1, ratio 10/11.
    auto items = layOut(weights({10, 1}), QRectF(0, 0, 111, 50));
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[0].rect, QRectF(0, 0, 100, 50));
    EXPECT_EQ(items[1].rect, QRectF(101, 0, 10, 50));

    // 1 and 1: the walk never stops; split stays at 1, ratio 0.5; ceil(49.5) = 50.
    items = layOut(weights({1, 1}), QRectF(0, 0, 100, 40));
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[0].rect, QRectF(0, 0, 50, 40));
    EXPECT_EQ(items[1].rect, QRectF(51, 0, 49, 40));

    // 3, 1, 1, 1: half 3; running is 3 after index 0 (not more), 4 after index 1: A holds two
    // nodes (4), B two (2). A is then cut 3:1 across its width, B 1:1 across its height.
    items = layOut(weights({3, 1, 1, 1}), QRectF(0, 0, 100, 50));
    ASSERT_EQ(items.size(), 4u);
    EXPECT_EQ(items[0].rect, QRectF(0, 0, 49, 50));
    EXPECT_EQ(items[1].rect, QRectF(50, 0, 16, 50));
    EXPECT_EQ(items[2].rect, QRectF(67, 0, 33, 25));
    EXPECT_EQ(items[3].rect, QRectF(67, 26, 33, 24));
}

TEST(Layout, TheCutRoundsRatioTimesWidthLessOneUpwards)
{
    // 14 / 25 × 25 comes out as 14.000000000000002 in double precision; its ceiling is 15.
    auto items = layOut(weights({14, 11}), QRectF(0, 0, 26, 20));
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[0].rect, QRectF(0, 0, 15, 20));
    EXPECT_EQ(items[1].rect, QRectF(16, 0, 10, 20));
    // Across the height the same way.
    items = layOut(weights({29, 6}), QRectF(0, 0, 20, 36));
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[0].rect, QRectF(0, 0, 20, 30));
    EXPECT_EQ(items[1].rect, QRectF(0, 31, 20, 5));
}

TEST(Layout, AllZeroWeights)
{
    // Wider than high: halves of W - 1.
    auto items = layOut(weights({0, 0}), QRectF(0, 0, 41, 20));
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[0].rect, QRectF(0, 0, 20, 20));
    EXPECT_EQ(items[1].rect, QRectF(21, 0, 20, 20));
    // At least as high as wide: both parts are empty and nothing is drawn.
    EXPECT_TRUE(layOut(weights({0, 0, 0}), QRectF(0, 0, 40, 40)).empty());
}

TEST(Layout, SmallestSideAndDeepestDepthAtRestAndDuringLiveResize)
{
    EXPECT_TRUE(layOut(weights({1}), QRectF(0, 0, 100, 2)).empty());
    EXPECT_EQ(layOut(weights({1}), QRectF(0, 0, 100, 3)).size(), 1u);
    const auto live = KZTreemapLayoutSettings::duringLiveResize();
    EXPECT_TRUE(layOut(weights({1}), QRectF(0, 0, 10, 100), live).empty());
    EXPECT_EQ(layOut(weights({1}), QRectF(0, 0, 11, 100), live).size(), 1u);

    // A chain of nested folders: depths 0 to 6 at rest, 0 to 2 while resizing.
    auto r = root("/deep");
    KZDirectoryPtr d = r;
    for (int i = 0; i < 10; ++i) d = dir(d, "d" + std::to_string(i));
    file(d, "leaf", 1000);
    KZTreemapNodeLists lists;
    lists.setDirectory(r);
    lists.setMinimumFileSize([] { return 0.0; });
    lists.storeList(r.get(), *lists.dataForDirectory(r.get()));
    auto items = KZTreemapLayout::layout(lists, r.get(), QRectF(0, 0, 800, 800), KZTreemapLayoutSettings::atRest());
    ASSERT_EQ(items.size(), 7u);
    EXPECT_EQ(items.back().depth, 6);
    items = KZTreemapLayout::layout(lists, r.get(), QRectF(0, 0, 800, 800), live);
    ASSERT_EQ(items.size(), 3u);
    EXPECT_EQ(items.back().depth, 2);
}

TEST(Layout, ASmallItemBesideALargeOneGetsTheNarrowestSideThatIsDrawn)
{
    // 1 MB beside 409.6 MB across 900 units: by weight its part would be 2 units (after the
    // large part's cut is rounded up), which is not drawn.
    auto items = layOut(weights({409.6e6, 1e6}), QRectF(0, 0, 900, 600));
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[0].rect, QRectF(0, 0, 896, 600));
    EXPECT_EQ(items[1].rect, QRectF(897, 0, 3, 600));
    // Across the height the same way; during a live resize the narrowest side drawn is 11.
    items = layOut(weights({409.6e6, 1e6}), QRectF(0, 0, 300, 700), KZTreemapLayoutSettings::duringLiveResize());
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[1].rect, QRectF(0, 689, 300, 11));
    // The first part is kept drawn as well, and a part of zero bytes is not.
    items = layOut(weights({1e6, 0}), QRectF(0, 0, 900, 600));
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].rect, QRectF(0, 0, 899, 600));
}

TEST(Layout, ARunWithoutRoomForItsItemsApartIsDrawnAsOneGroupOfThem)
{
    // Two items in 6 by 5: no cut leaves both parts 3 wide.
    auto nodes = weights({5, 4});
    auto items = layOut(nodes, QRectF(10, 10, 6, 5));
    ASSERT_EQ(items.size(), 1u);
    const KZTreemapNode& group = *items[0].node;
    EXPECT_TRUE(group.isGroupedNode());
    EXPECT_EQ(group.files(), (std::vector<KZFilePtr>{nodes[0]->file(), nodes[1]->file()}));
    EXPECT_EQ(group.totalFiles(), 2);
    EXPECT_EQ(group.fileSize(), 9);
    EXPECT_EQ(group.parentDirectory().get(), nodes[0]->file()->parent());
    EXPECT_EQ(items[0].rect, QRectF(10, 10, 6, 5));
    // 7 wide is room enough.
    EXPECT_EQ(layOut(weights({5, 4}), QRectF(0, 0, 7, 5)).size(), 2u);
}

// Lists of items of heavy-tailed sizes (with a group of small files and inert areas among
// them) in rectangles of every shape: every item is drawn, or is one of the records of a drawn
// group; what is drawn lies inside the rectangle and nothing overlaps.
TEST(Layout, EveryItemIsDrawnOrCountedInADrawnGroup)
{
    auto holder = root("/every");
    std::mt19937 rng(7);
    for (int round = 0; round < 400; ++round) {
        KZTreemapNodeList list;
        const int count = 2 + int(rng() % (round % 4 == 0 ? 400 : 40));
        std::vector<KZFilePtr> records;
        for (int i = 0; i < count; ++i) {
            auto f = KZFile::childWithName(holder.get(), "n" + std::to_string(i));
            f->setFileSize(std::floor(1e3 / std::pow(double(rng() % 10000 + 1) / 10001.0, 1.5)));
            records.push_back(f);
        }
        std::sort(records.begin(), records.end(),
                  [](const KZFilePtr& a, const KZFilePtr& b) { return a->fileSize() > b->fileSize(); });
        const size_t grouped = round % 3 == 0 && count >= 8 ? size_t(count) / 4 : 0;
        for (size_t i = 0; i + grouped < records.size(); ++i) list.push_back(KZTreemapNode::nodeWithFile(records[i]));
        if (round % 2) {
            auto area = KZTreemapNode::nodeWithInertArea(KZTreemapNode::InertKind::HiddenItems,
                                                         records[size_t(count) / 2]->fileSize(), holder);
            list.insert(list.begin() + count / 3, area);
        }
        if (grouped > 1)
            list.push_back(KZTreemapNode::nodeWithGroupedFileArray(
                std::vector<KZFilePtr>(records.end() - long(grouped), records.end()), holder));
        const QRectF bounds(5, 5, 3 + rng() % 400, 3 + rng() % 300);
        const auto items = layOut(list, bounds);

        std::set<const KZFile*> counted;
        for (const auto& item : items) {
            EXPECT_TRUE(bounds.contains(item.rect)) << round;
            if (item.node->file()) counted.insert(item.node->file().get());
            for (const KZFilePtr& f : item.node->files()) counted.insert(f.get());
            if (item.node->isGroupedNode()) {
                double bytes = 0;
                for (const KZFilePtr& f : item.node->files()) bytes += f->fileSize();
                EXPECT_EQ(item.node->fileSize(), bytes);
                EXPECT_EQ(item.node->totalFiles(), int64_t(item.node->files().size()));
            }
        }
        for (const KZFilePtr& f : records)
            ASSERT_TRUE(counted.count(f.get())) << "round " << round << ": " << f->nameBytes() << " of " << count
                                                << " in " << bounds.width() << " x " << bounds.height();
        for (size_t i = 0; i < items.size(); ++i)
            for (size_t j = i + 1; j < items.size(); ++j)
                ASSERT_FALSE(items[i].rect.intersects(items[j].rect)) << round;
    }
}

// One folder node holding one file, laid out in `r`; the child's rectangle.
std::optional<QRectF> childRectOfFolderIn(const QRectF& r)
{
    auto top = root("/t");
    auto folder = dir(top, "folder");
    file(folder, "child", 10);
    KZTreemapNodeLists lists;
    lists.setDirectory(top);
    lists.setMinimumFileSize([] { return 0.0; });
    std::vector<KZTreemapDrawItem> out;
    KZTreemapLayout::calcNodePositions(lists, {KZTreemapNode::nodeWithFile(folder)}, r, r.width(), r.height(), 0, r,
                                       KZTreemapLayoutSettings::atRest(), out);
    if (out.size() < 2) return std::nullopt;
    EXPECT_EQ(out[1].parentRect, r);
    EXPECT_EQ(out[1].depth, 1);
    return out[1].rect;
}

TEST(Layout, TitleBandOnlyAboveSeventeenHighAndFortyWide)
{
    EXPECT_EQ(childRectOfFolderIn(QRectF(10, 10, 41, 60)), QRectF(15, 32, 31, 33));
    EXPECT_EQ(childRectOfFolderIn(QRectF(10, 10, 40, 60)), QRectF(15, 15, 30, 50));
    EXPECT_EQ(childRectOfFolderIn(QRectF(10, 10, 100, 17)), QRectF(15, 15, 90, 7));
    // 18 high gets a band, which leaves no room for the children.
    EXPECT_EQ(childRectOfFolderIn(QRectF(10, 10, 100, 18)), std::nullopt);
}

TEST(Layout, ParentsComeBeforeChildrenAndSharesUseTheDrawnRectangle)
{
    auto r = root("/r");
    auto a = dir(r, "a");
    file(a, "a1", 300);
    file(a, "a2", 100);
    file(r, "b", 400);
    KZTreemapNodeLists lists;
    lists.setDirectory(r);
    lists.setMinimumFileSize([] { return 0.0; });
    lists.storeList(r.get(), *lists.dataForDirectory(r.get()));
    auto items = KZTreemapLayout::layout(lists, r.get(), QRectF(0, 0, 401.5, 200), KZTreemapLayoutSettings::atRest());
    ASSERT_EQ(items.size(), 4u);
    std::vector<std::string> order;
    for (const auto& i : items) order.push_back(i.node->file()->nameBytes());
    EXPECT_EQ(order, (std::vector<std::string>{"a", "a1", "a2", "b"}));
    // The bounds' width is rounded up (402) before the cut.
    EXPECT_EQ(items[0].rect, QRectF(0, 0, 201, 200));
    EXPECT_EQ(items[3].rect, QRectF(202, 0, 200, 200));
    EXPECT_DOUBLE_EQ(items[0].share, (200.0 * 199.0) / (401.5 * 200.0));
    EXPECT_EQ(items[1].parentRect, items[0].rect);
    // The nested list was built and cached by the layout.
    EXPECT_NE(lists.cachedList(a.get()), nullptr);
}

TEST(Layout, NothingWithoutACachedTopList)
{
    auto r = root("/r");
    file(r, "x", 10);
    KZTreemapNodeLists lists;
    lists.setDirectory(r);
    EXPECT_TRUE(KZTreemapLayout::layout(lists, r.get(), QRectF(0, 0, 100, 100), {}).empty());
}

TEST(HitTest, InnermostPaintedRectangleWinsAndGapsHitTheFolder)
{
    auto r = root("/r");
    auto a = dir(r, "a");
    file(a, "a1", 300);
    file(a, "a2", 300);
    file(r, "b", 600);
    KZTreemapNodeLists lists;
    lists.setDirectory(r);
    lists.setMinimumFileSize([] { return 0.0; });
    lists.storeList(r.get(), *lists.dataForDirectory(r.get()));
    auto items = KZTreemapLayout::layout(lists, r.get(), QRectF(0, 0, 401, 200), KZTreemapLayoutSettings::atRest());
    ASSERT_EQ(items.size(), 4u);
    // a: (0,0,200,200); b: (201,0,200,200); a's children inside (5,22,190,173): a1 (5,22,95,173),
    // a2 (101,22,94,173).
    EXPECT_EQ(items[1].rect, QRectF(5, 22, 95, 173));
    auto nameAt = [&](double x, double y) -> std::string {
        const int i = KZTreemapLayout::itemAtPoint(items, QPointF(x, y));
        return i < 0 ? "" : items[size_t(i)].node->file()->nameBytes();
    };
    EXPECT_EQ(nameAt(200, 100), "");  // the gap between a and b
    EXPECT_EQ(nameAt(199, 100), "a"); // a's outline pixel
    EXPECT_EQ(nameAt(201, 100), "b");
    EXPECT_EQ(nameAt(50, 10), "a"); // a's title band
    EXPECT_EQ(nameAt(50, 100), "a1");
    EXPECT_EQ(nameAt(5, 22), "a1");   // a1's first pixel
    EXPECT_EQ(nameAt(100, 100), "a"); // the gap between a1 and a2 lies in a
    EXPECT_EQ(nameAt(101, 100), "a2");
    EXPECT_EQ(nameAt(400, 199), "b");
    EXPECT_EQ(nameAt(401, 100), "");
    EXPECT_EQ(nameAt(-1, 100), "");
}

TEST(HitTest, OrderOfItemsDoesNotMatter)
{
    // The innermost rectangle is found whatever order the table lists them in.
    auto r = root("/r");
    auto a = dir(r, "a");
    auto a1 = file(a, "a1", 1);
    std::vector<KZTreemapDrawItem> items(2);
    items[0].node = KZTreemapNode::nodeWithFile(a1);
    items[0].rect = QRectF(10, 10, 20, 20);
    items[0].depth = 1;
    items[1].node = KZTreemapNode::nodeWithFile(a);
    items[1].rect = QRectF(0, 0, 100, 100);
    items[1].depth = 0;
    EXPECT_EQ(KZTreemapLayout::itemAtPoint(items, QPointF(15, 15)), 0);
    EXPECT_EQ(KZTreemapLayout::itemAtPoint(items, QPointF(50, 50)), 1);
}

// Hand-made items: a 3x2 grid of top-level items (the middle one of the top row a folder with
// two children), and an inert area at the right of the bottom row.
struct GridItems {
    KZDirectoryPtr r = root("/g");
    std::vector<KZTreemapDrawItem> items;
    void add(const KZFilePtr& f, QRectF rect, int64_t depth)
    {
        KZTreemapDrawItem item;
        item.node = KZTreemapNode::nodeWithFile(f);
        item.rect = rect;
        item.depth = depth;
        items.push_back(item);
    }
    GridItems()
    {
        auto folder = dir(r, "m");
        add(file(r, "tl", 1), QRectF(0, 0, 100, 100), 0);
        add(folder, QRectF(101, 0, 100, 100), 0);
        add(file(folder, "m1", 1), QRectF(106, 22, 44, 73), 1);
        add(file(folder, "m2", 1), QRectF(151, 22, 44, 73), 1);
        add(file(r, "tr", 1), QRectF(202, 0, 100, 60), 0);
        add(file(r, "bl", 1), QRectF(0, 101, 150, 100), 0);
        add(file(r, "br", 1), QRectF(151, 101, 100, 100), 0);
        KZTreemapDrawItem inert;
        inert.node = KZTreemapNode::nodeWithInertArea(KZTreemapNode::InertKind::SmallFiles, 10, r);
        inert.rect = QRectF(252, 101, 50, 100);
        items.push_back(inert);
    }
};

TEST(ItemTree, NestingFollowsTheDrawingOrderAndTheDepths)
{
    GridItems g;
    const KZTreemapItemTree tree(g.items);
    ASSERT_EQ(tree.size(), 8u);
    EXPECT_EQ(std::vector<int>(tree.childrenOf(-1).begin(), tree.childrenOf(-1).end()),
              (std::vector<int>{0, 1, 4, 5, 6, 7}));
    EXPECT_EQ(std::vector<int>(tree.childrenOf(1).begin(), tree.childrenOf(1).end()), (std::vector<int>{2, 3}));
    EXPECT_TRUE(tree.childrenOf(0).empty());
    EXPECT_EQ(tree.parentOf(3), 1);
    EXPECT_EQ(tree.parentOf(4), -1);
    EXPECT_EQ(tree.indexOf(g.items[3].node.get()), 3);
    EXPECT_EQ(tree.indexOf(nullptr), -1);
    EXPECT_TRUE(KZTreemapItemTree().childrenOf(-1).empty());
}

TEST(ItemTree, NeighboursLieWhollyThatWayFacingFirstAndNeverInert)
{
    GridItems g;
    const KZTreemapItemTree tree(g.items);
    using D = KZTreemapItemTree::Direction;
    EXPECT_EQ(tree.neighbour(g.items, 0, D::Right), 1);
    EXPECT_EQ(tree.neighbour(g.items, 1, D::Right), 4);
    EXPECT_EQ(tree.neighbour(g.items, 4, D::Right), -1);
    EXPECT_EQ(tree.neighbour(g.items, 0, D::Down), 5);
    // Below the folder both bottom items face it; the one more in line wins.
    EXPECT_EQ(tree.neighbour(g.items, 1, D::Down), 6);
    // Below "tr" only the inert area faces it, and it never counts: the nearest other one.
    EXPECT_EQ(tree.neighbour(g.items, 4, D::Down), 6);
    EXPECT_EQ(tree.neighbour(g.items, 6, D::Up), 1);
    EXPECT_EQ(tree.neighbour(g.items, 6, D::Right), -1) << "only the inert area lies that way";
    EXPECT_EQ(tree.neighbour(g.items, 5, D::Left), -1);
    // Children move among themselves only.
    EXPECT_EQ(tree.neighbour(g.items, 2, D::Right), 3);
    EXPECT_EQ(tree.neighbour(g.items, 3, D::Right), -1);
    EXPECT_EQ(tree.neighbour(g.items, 2, D::Down), -1);
    // Drawing order for Tab, passing over inert areas at both ends.
    EXPECT_EQ(tree.nextSibling(g.items, 5, true), 6);
    EXPECT_EQ(tree.nextSibling(g.items, 6, true), -1);
    EXPECT_EQ(tree.nextSibling(g.items, 0, false), -1);
    EXPECT_EQ(tree.nextSibling(g.items, 3, false), 2);
    EXPECT_EQ(KZTreemapItemTree::firstSelectable(g.items, tree.childrenOf(-1), false), 6);
    EXPECT_EQ(tree.neighbour(g.items, 99, D::Up), -1);
}

} // namespace
