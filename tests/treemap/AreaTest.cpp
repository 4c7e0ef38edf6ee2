// Areas follow sizes at every level: what a folder holds beyond its drawn nodes is an inert
// area of its own, never spread over the drawn children, and never a target of the pointer.
#include "TreemapFixtures.h"

#include "treemap/KZTreemapAccessibility.h"
#include "treemap/KZTreemapLayout.h"
#include "treemap/KZTreemapNodeLists.h"
#include "treemap/KZTreemapPainter.h"

#include <QImage>
#include <QMenu>
#include <QPainter>
#include <QTest>

#include <gtest/gtest.h>

#include <cmath>
#include <set>

using namespace treetest;

namespace {

// Whether what assistive technology reads of an inert area names the setting that shows it.
::testing::AssertionResult namesSetting(const KZTreemapNode& node, const QString& setting)
{
    const QString description = KZTreemapAccessibility::descriptionOfNode(node);
    if (description.contains(setting)) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << description.toStdString();
}

constexpr double KB = 1024;
constexpr double MB = 1024 * 1024;

// /r holds one folder "man" (as a scan of a folder of many small files makes it) beside a
// large file: in "man", 500 files of 20 KB, two of 100 KB and one of 10 MB.
struct Areas : ::testing::Test {
    KZDirectoryPtr r = root("/r");
    KZDirectoryPtr man;
    KZFilePtr tenMB, hundredA, hundredB;
    KZTreemapNodeLists lists;
    double minimum = 50 * KB;
    const QRectF bounds{0, 0, 1600, 1000};

    // smallAsRecords: the 20 KB files are in the tree (and left out by the minimum size);
    // otherwise the scan dropped them and only their bytes are kept (ignoredSize).
    void makeTree(bool smallAsRecords)
    {
        man = dir(r, "man");
        tenMB = file(man, "big.gz", 10 * MB);
        hundredA = file(man, "a.gz", 100 * KB);
        hundredB = file(man, "b.gz", 100 * KB);
        if (smallAsRecords) {
            for (int i = 0; i < 500; ++i) file(man, "s" + std::to_string(i) + ".gz", 20 * KB);
        } else {
            man->setIgnoredSize(500 * 20 * KB);
        }
        file(r, "disk.img", 30 * MB);
        lists.setDirectory(r);
        lists.setMinimumFileSize([this] { return minimum; });
        ASSERT_EQ(man->fileSize(), 10 * MB + 200 * KB + 500 * 20 * KB);
    }

    std::vector<KZTreemapDrawItem> layOut()
    {
        lists.removeAllLists();
        lists.storeList(r.get(), *lists.dataForDirectory(r.get()));
        return KZTreemapLayout::layout(lists, r.get(), bounds, KZTreemapLayoutSettings::atRest());
    }

    // The items laid out inside the folder's rectangle, and the rectangle they share.
    static std::vector<const KZTreemapDrawItem*> inside(const std::vector<KZTreemapDrawItem>& items,
                                                        const KZDirectory* folder, QRectF& inner)
    {
        std::vector<const KZTreemapDrawItem*> out;
        QRectF folderRect;
        for (const auto& i : items)
            if (i.node->file().get() == folder) folderRect = i.rect;
        for (const auto& i : items)
            if (i.depth == 1 && i.parentRect == folderRect) out.push_back(&i);
        const double band = KZTreemapLayout::kTitleBand, in = KZTreemapLayout::kInset;
        inner = QRectF(folderRect.x() + in, folderRect.y() + in + band, folderRect.width() - 2 * in,
                       folderRect.height() - 2 * in - band);
        return out;
    }

    // Every node drawn in the folder covers its share of the folder's total, within what the
    // one-unit gaps and the rounding of the cuts take (a few per cent of a small rectangle).
    void expectAreasFollowSizes(const std::vector<KZTreemapDrawItem>& items)
    {
        QRectF inner;
        const auto drawn = inside(items, man.get(), inner);
        ASSERT_GE(drawn.size(), 3u); // the files and the small files' area
        const double total = man->fileSize();
        double covered = 0;
        bool sawSmall = false;
        for (const KZTreemapDrawItem* i : drawn) {
            const double share = i->node->value() / total;
            const double area = i->rect.width() * i->rect.height() / (inner.width() * inner.height());
            covered += share;
            EXPECT_NEAR(area, share, 0.004 + 0.06 * share) << i->node->description();
            if (i->node->inertKind() == KZTreemapNode::InertKind::SmallFiles) {
                EXPECT_EQ(i->node->fileSize(), 500 * 20 * KB);
                sawSmall = true;
            }
        }
        EXPECT_TRUE(sawSmall);
        EXPECT_NEAR(covered, 1.0, 1e-9);
    }
};

TEST_F(Areas, InsideAFolderEveryNodeTakesItsShareOfTheFolderTotal)
{
    makeTree(true);
    expectAreasFollowSizes(layOut());
    // The 10 MB file is about half the folder, not nearly all of it.
    QRectF inner;
    const auto items = layOut();
    for (const KZTreemapDrawItem* i : inside(items, man.get(), inner)) {
        if (i->node->file() == tenMB) {
            EXPECT_LT(i->rect.width() * i->rect.height(), 0.52 * inner.width() * inner.height());
        }
    }
}

TEST_F(Areas, BytesTheScanKeptWithoutRecordsTakeTheirShareToo)
{
    makeTree(false);
    expectAreasFollowSizes(layOut());
}

TEST_F(Areas, ARemovalLeavesTheOtherRectanglesWhereTheyWere)
{
    makeTree(true);
    const auto before = layOut();
    auto rectOf = [](const std::vector<KZTreemapDrawItem>& items, const KZFilePtr& f) {
        for (const auto& i : items)
            if (i.node->file() == f) return i.rect;
        return QRectF();
    };
    const QRectF tenRect = rectOf(before, tenMB), aRect = rectOf(before, hundredA), bRect = rectOf(before, hundredB);
    ASSERT_FALSE(tenRect.isEmpty());

    // The folder keeps the removed item's size; its bytes become an inert area in its place.
    hundredB->removeFromParent();
    auto after = layOut();
    EXPECT_EQ(rectOf(after, tenMB), tenRect);
    EXPECT_EQ(rectOf(after, hundredA), aRect);
    bool removedArea = false;
    for (const auto& i : after) {
        if (i.node->inertKind() != KZTreemapNode::InertKind::RemovedItems) continue;
        removedArea = true;
        EXPECT_EQ(i.rect, bRect);
        EXPECT_EQ(i.node->fileSize(), 100 * KB);
    }
    EXPECT_TRUE(removedArea);

    // A second removal joins the first in one area, which takes its place by its new size;
    // the areas still follow the sizes.
    tenMB->removeFromParent();
    expectAreasFollowSizes(layOut());
}

TEST_F(Areas, AFolderOfSmallFilesOnlyShowsOneInertAreaWithItsBytes)
{
    // The folder's drawn children are all left out: its whole inside says what they are.
    man = dir(r, "man");
    for (int i = 0; i < 300; ++i) file(man, "s" + std::to_string(i), 20 * KB);
    file(r, "disk.img", 30 * MB);
    lists.setDirectory(r);
    lists.setMinimumFileSize([this] { return minimum; });
    const auto items = layOut();
    QRectF inner;
    const auto drawn = inside(items, man.get(), inner);
    ASSERT_EQ(drawn.size(), 1u);
    EXPECT_TRUE(drawn[0]->node->isInertArea());
    EXPECT_EQ(drawn[0]->rect, inner);

    // Painted with its title and size.
    QImage image(int(bounds.width()), int(bounds.height()), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::black);
    QPainter p(&image);
    KZTreemapPainter painter;
    TQThemeBlueSkies theme;
    painter.paint(p, items, [&](const KZTreemapNode& n, double percent, bool sel, bool rel, int64_t depth) {
        return KZTreemapColorRule::colorForNode(n, percent, sel, rel, depth, theme, true);
    });
    p.end();
    EXPECT_TRUE(image.save(kztest::outputFolder() + "/treemap-inert-area.png"));
    const QPoint corner = drawn[0]->rect.toRect().topLeft() + QPoint(1, 1);
    const QColor fill = image.pixelColor(corner);
    EXPECT_NE(fill, theme.fileColor());
    EXPECT_EQ(fill, KZTreemapColorRule::inertAreaColor(KZTreemapNode::InertKind::SmallFiles));
}

TEST_F(Areas, AFolderWhoseFilesTheScanLeftOutAsSmallIsStillAnItem)
{
    // No record inside, but the scan measured its files: the folder can still be chosen (to
    // delete it, say), and its inside says what it holds.
    man = dir(r, "many");
    man->setIgnoredSize(200000 * 100.0);
    auto emptied = dir(r, "emptied"); // nothing measured inside: no node, as before
    emptied->setFileSize(5 * MB);
    file(r, "disk.img", 30 * MB);
    lists.setDirectory(r);
    lists.setMinimumFileSize([this] { return minimum; });
    const auto items = layOut();
    QRectF inner;
    const auto drawn = inside(items, man.get(), inner);
    ASSERT_EQ(drawn.size(), 1u);
    EXPECT_EQ(drawn[0]->node->inertKind(), KZTreemapNode::InertKind::SmallFiles);
    EXPECT_EQ(drawn[0]->node->fileSize(), 200000 * 100.0);
    for (const auto& i : items) EXPECT_NE(i.node->file(), KZFilePtr(emptied));
    bool removedArea = false;
    for (const auto& i : items)
        if (i.depth == 0 && i.node->inertKind() == KZTreemapNode::InertKind::RemovedItems) removedArea = true;
    EXPECT_TRUE(removedArea);
}

TEST_F(Areas, AnInertAreaIsNeverATargetOfThePointerOrOfAnAction)
{
    TestPreferences prefs;
    prefs.preferences.setMinFileSize(minimum);
    RecordingDelegate delegate;
    FakeServices services;
    makeTree(true);
    KZNestedTreemapView view(r);
    view.setPreferences(&prefs.preferences);
    services.attach(view);
    view.setDelegate(&delegate);
    view.resize(800, 500);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    view.reloadData();
    ASSERT_TRUE(kztest::waitFor([&] { return !view.isInLiveResize(); }));

    const KZTreemapDrawItem* area = nullptr;
    for (const auto& i : view.drawItems())
        if (i.node->isInertArea()) area = &i;
    ASSERT_TRUE(area);
    const QPoint point = area->rect.toRect().center();
    // The point belongs to the folder around the area.
    EXPECT_EQ(view.treemapNodeAt(point)->file(), KZFilePtr(man));
    QTest::mouseClick(&view, Qt::LeftButton, {}, point);
    ASSERT_EQ(view.clickedNodes().size(), 1u);
    EXPECT_FALSE(view.clickedNodes().front()->isInertArea());
    EXPECT_EQ(view.selectedFiles(), (std::vector<KZFilePtr>{man}));
    // The pointer over it hears what it holds (for the tooltip), and no more.
    QTest::mouseMove(&view, point);
    ASSERT_TRUE(delegate.lastHovered);
    EXPECT_EQ(delegate.lastHovered, area->node);
    EXPECT_EQ(view.cursor().shape(), Qt::ArrowCursor);
    std::unique_ptr<QMenu> menu(view.menuForPoint(point));
    ASSERT_TRUE(menu);
    view.deleteSelectedFile();
    ASSERT_EQ(delegate.removed.size(), 1u);
    EXPECT_EQ(delegate.removed.front(), (std::vector<KZFilePtr>{man}));
    // The folder's place is now an inert area at top level: nothing is there to hit.
    EXPECT_EQ(view.treemapNodeAt(point), nullptr);
}

// A view of a folder with the recording delegate, laid out at rest.
struct ShownFolder {
    TestPreferences prefs;
    RecordingDelegate delegate;
    FakeServices services;
    KZNestedTreemapView view;
    explicit ShownFolder(const KZDirectoryPtr& folder, double minimum, QSize size = {600, 400}) : view(folder)
    {
        prefs.preferences.setMinFileSize(minimum);
        view.setPreferences(&prefs.preferences);
        services.attach(view);
        view.setDelegate(&delegate);
        view.resize(size);
        view.reloadData();
    }
    const KZTreemapDrawItem* area(KZTreemapNode::InertKind kind, int64_t depth)
    {
        for (const auto& i : view.drawItems())
            if (i.node->inertKind() == kind && i.depth == depth) return &i;
        return nullptr;
    }
};

TEST_F(Areas, AFolderOfLeftOutItemsOnlyIsDrawnAtTheTopAndInsideAndSaysHowToShowThem)
{
    using Kind = KZTreemapNode::InertKind;
    // As a scan of /usr/lib makes it: every item lies under a system path.
    auto lib = root("/usr/lib");
    for (int i = 0; i < 6; ++i)
        file(lib, "libbig" + std::to_string(i) + ".so", (i + 1) * 100 * MB)->setIsSystemFile(true);
    auto sub = dir(lib, "x86_64-linux-gnu");
    sub->setIsSystemFile(true);
    file(sub, "libc.so.6", 2 * MB)->setIsSystemFile(true);
    ShownFolder shown(lib, minimum);
    EXPECT_EQ(shown.delegate.drawCount, 1);
    EXPECT_EQ(shown.delegate.emptyCount, 0);
    const KZTreemapDrawItem* system = shown.area(Kind::SystemItems, 0);
    ASSERT_TRUE(system);
    EXPECT_EQ(system->rect, QRectF(0, 0, 600, 400));
    EXPECT_EQ(system->node->fileSize(), lib->fileSize());
    EXPECT_TRUE(namesSetting(*system->node, QStringLiteral("\u201cShow system files\u201d")));
    // Shown, the items take the area's place.
    shown.view.setShowsSystemFiles(true);
    EXPECT_FALSE(shown.area(Kind::SystemItems, 0));
    EXPECT_GE(shown.view.drawItems().size(), 7u);

    // A folder of hidden items only, inside a home folder and at the top once zoomed into.
    auto home = root("/home/ann");
    auto dots = dir(home, "settings");
    for (int i = 0; i < 4; ++i) file(dots, ".rc" + std::to_string(i), 3 * MB)->setIsHidden(true);
    file(home, "film.mkv", 20 * MB);
    ShownFolder inHome(home, minimum);
    const KZTreemapDrawItem* hidden = inHome.area(Kind::HiddenItems, 1);
    ASSERT_TRUE(hidden);
    EXPECT_EQ(hidden->node->fileSize(), 12 * MB);
    EXPECT_TRUE(namesSetting(*hidden->node, QStringLiteral("\u201cShow hidden files\u201d")));
    inHome.view.zoomToDirectory(dots);
    EXPECT_EQ(inHome.delegate.drawCount, 2);
    hidden = inHome.area(Kind::HiddenItems, 0);
    ASSERT_TRUE(hidden);
    EXPECT_EQ(hidden->rect, QRectF(0, 0, 600, 400));

    // Files below the minimum alone: their area, not nothing.
    auto smalls = root("/smalls");
    for (int i = 0; i < 10; ++i) file(smalls, "s" + std::to_string(i), 1 * KB);
    ShownFolder small(smalls, minimum);
    EXPECT_EQ(small.delegate.drawCount, 1);
    ASSERT_TRUE(small.area(Kind::SmallFiles, 0));
    EXPECT_EQ(small.area(Kind::SmallFiles, 0)->node->fileSize(), 10 * KB);

    // Only a folder without bytes is nothing to show.
    auto nothing = root("/nothing");
    file(nothing, "empty", 0);
    ShownFolder none(nothing, minimum);
    EXPECT_EQ(none.delegate.emptyCount, 1);
    EXPECT_TRUE(none.view.drawItems().empty());
}

TEST_F(Areas, EachKindHasItsOwnLabelAndLook)
{
    using Kind = KZTreemapNode::InertKind;
    const Kind kinds[] = {Kind::SmallFiles, Kind::HiddenItems, Kind::SystemItems, Kind::IgnoredItems,
                          Kind::RemovedItems};
    auto folder = root("/f");
    TQThemeObsidian theme; // its first colour is a dark grey, as inert areas are
    KZTreemapPainter painter;
    const QSize size(330, 90);
    QImage sheet(size.width(), (size.height() + 4) * 5, QImage::Format_ARGB32_Premultiplied);
    sheet.fill(Qt::black);
    QPainter sheetPainter(&sheet);
    std::vector<QImage> corners;
    std::set<QString> titles;
    for (size_t k = 0; k < std::size(kinds); ++k) {
        KZTreemapDrawItem item;
        item.node = KZTreemapNode::nodeWithInertArea(kinds[k], 125.8e6, folder);
        item.rect = QRectF(QPointF(0, 0), QSizeF(size));
        item.parentRect = QRectF(0, 0, 1000, 1000);
        item.share = KZTreemapLayout::areaPercentForRect(item.drawnRect(), item.parentRect);
        QImage image(size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::black);
        QPainter p(&image);
        painter.paint(p, {item}, [&](const KZTreemapNode& n, double percent, bool sel, bool rel, int64_t depth) {
            return KZTreemapColorRule::colorForNode(n, percent, sel, rel, depth, theme, true);
        });
        p.end();
        sheetPainter.drawImage(0, int(k) * (size.height() + 4), image);
        titles.insert(KZTreemapNode::inertAreaTitle(kinds[k]));
        EXPECT_FALSE(KZTreemapNode::inertAreaHint(kinds[k]).isEmpty());
        // A corner away from the texts: the fill and its marks.
        corners.push_back(image.copy(2, 2, 14, 14));
        // Unlike any item: neither a flat fill nor a theme's colour.
        const QImage& c = corners.back();
        bool flat = true;
        for (int y = 0; y < c.height() && flat; ++y)
            for (int x = 0; x < c.width() && flat; ++x) flat = c.pixel(x, y) == c.pixel(0, 0);
        EXPECT_FALSE(flat) << KZTreemapNode::inertAreaTitle(kinds[k]).toStdString();
        for (const QColor& themed : {theme.depth1Color(), theme.depth2Color(), theme.fileColor()})
            EXPECT_NE(QColor(c.pixel(8, 8)).rgb(), themed.rgb());
    }
    sheetPainter.end();
    EXPECT_TRUE(sheet.save(kztest::outputFolder() + "/treemap-inert-kinds.png"));
    EXPECT_EQ(titles.size(), std::size(kinds));
    for (size_t i = 0; i < corners.size(); ++i)
        for (size_t j = i + 1; j < corners.size(); ++j)
            EXPECT_NE(corners[i], corners[j]) << KZTreemapNode::inertAreaTitle(kinds[i]).toStdString() << " looks like "
                                              << KZTreemapNode::inertAreaTitle(kinds[j]).toStdString();
}

TEST_F(Areas, AnIgnoredItemIsCountedAsIgnoredAndARemovedOneAsRemoved)
{
    using Kind = KZTreemapNode::InertKind;
    auto videos = dir(r, "videos");
    auto film = file(videos, "film.mkv", 125.8e6);
    auto clip = file(videos, "clip.mp4", 40e6);
    file(videos, "keep.mp4", 300e6);
    file(r, "disk.img", 200e6);
    ShownFolder shown(r, minimum, {900, 600});
    const auto nodeOf = [&](const KZFilePtr& f) {
        for (const auto& i : shown.view.drawItems())
            if (i.node->file() == f) return i.node;
        return KZTreemapNodePtr();
    };
    ASSERT_TRUE(nodeOf(film));
    shown.view.setClickedNode(nodeOf(film));
    shown.view.ignoreSelectedFile();
    EXPECT_EQ(shown.delegate.ignored, (std::vector<std::string>{film->path()}));
    EXPECT_EQ(videos->fileSize(), 465.8e6) << "the folder keeps the ignored bytes";
    const KZTreemapDrawItem* ignored = shown.area(Kind::IgnoredItems, 1);
    ASSERT_TRUE(ignored);
    EXPECT_EQ(ignored->node->fileSize(), 125.8e6);
    EXPECT_EQ(KZTreemapAccessibility::nameOfNode(*ignored->node), "Ignored items 125.8 MB");
    EXPECT_FALSE(shown.area(Kind::RemovedItems, 1)) << "nothing was removed";

    // Removing another item there: its bytes are removed items, the ignored ones stay apart.
    shown.view.setClickedNode(nodeOf(clip));
    shown.view.deleteSelectedFile();
    ASSERT_TRUE(shown.area(Kind::RemovedItems, 1));
    EXPECT_EQ(shown.area(Kind::RemovedItems, 1)->node->fileSize(), 40e6);
    ASSERT_TRUE(shown.area(Kind::IgnoredItems, 1));
    EXPECT_EQ(shown.area(Kind::IgnoredItems, 1)->node->fileSize(), 125.8e6);
}

} // namespace
