#include "TreemapFixtures.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QMenu>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

using namespace treetest;

namespace {

struct View : ::testing::Test {
    TestPreferences prefs;
    RecordingDelegate delegate;
    FakeServices services;
    KZDirectoryPtr r = root("/r");
    KZDirectoryPtr a, ab, docs, app;
    KZFilePtr abc, big, aFile;
    std::unique_ptr<KZNestedTreemapView> view;

    void SetUp() override
    {
        // /r: a/ (b/ with two files, the file "bc", aFile), docs/ (one file), Big.app, big, and
        // small files that group.
        a = dir(r, "a");
        ab = dir(a, "b");
        file(ab, "b1", 300000);
        file(ab, "b2", 200000);
        abc = file(a, "bc", 400000);
        aFile = file(a, "zz", 100000);
        docs = dir(r, "docs");
        file(docs, "d1", 900000);
        app = dir(r, "Big.app");
        app->setIsPackage(true);
        file(app, "binary", 700000);
        big = file(r, "big", 1500000);
        for (int i = 0; i < 40; ++i) file(r, "s" + std::to_string(i), 1000);
        file(a, "a-small1", 500);
        file(a, "a-small2", 400);
        makeView();
    }

    void makeView()
    {
        view = std::make_unique<KZNestedTreemapView>(r);
        view->setPreferences(&prefs.preferences);
        services.attach(*view);
        view->setDelegate(&delegate);
        view->resize(800, 500);
        view->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(view.get()));
        view->reloadData();
        // Let the resize events of showing pass, so no live resize is under way.
        ASSERT_TRUE(kztest::waitFor([&] { return !view->isInLiveResize(); }));
    }

    const KZTreemapDrawItem* item(const std::string& name)
    {
        for (const auto& i : view->drawItems())
            if (i.node->file() && i.node->file()->nameBytes() == name) return &i;
        return nullptr;
    }
    const KZTreemapDrawItem* groupIn(const KZDirectoryPtr& parent)
    {
        for (const auto& i : view->drawItems())
            if (i.node->isGroupedNode() && i.node->parentDirectory() == parent) return &i;
        return nullptr;
    }
    // A point well inside the item, clear of its children (the title band for a folder).
    static QPoint pointIn(const KZTreemapDrawItem* i)
    {
        const QRect r = i->rect.toRect();
        if (i->node->isPlainFolder() && r.height() > 17) return QPoint(r.left() + 3, r.top() + 8);
        return r.center();
    }
    void click(const std::string& name, Qt::KeyboardModifiers mods = {})
    {
        const auto* i = item(name);
        ASSERT_NE(i, nullptr) << name;
        QTest::mouseClick(view.get(), Qt::LeftButton, mods, pointIn(i));
    }
    std::vector<std::string> selected() { return names(view->selectedFiles()); }
    QStringList menuTitles(QMenu* menu)
    {
        QStringList out;
        for (QAction* action : menu->actions()) out << (action->isSeparator() ? QStringLiteral("-") : action->text());
        return out;
    }
};

TEST_F(View, ClickShiftClickAndCtrlClickSelect)
{
    QSignalSpy spy(view.get(), &KZNestedTreemapView::selectedFilesChanged);
    click("big");
    EXPECT_EQ(selected(), (std::vector<std::string>{"big"}));
    EXPECT_EQ(spy.count(), 1); // one change, reported once
    click("docs", Qt::ShiftModifier);
    EXPECT_EQ(selected(), (std::vector<std::string>{"big", "docs"}));
    click("big", Qt::ControlModifier); // selecting a selected node again removes it
    EXPECT_EQ(selected(), (std::vector<std::string>{"docs"}));
    click("docs"); // a plain click on the only selected node is no change
    EXPECT_EQ(spy.count(), 3);
    EXPECT_TRUE(item("docs")->node->selected());
    // A click in a gap clears the selection.
    const QRect bigRect = item("big")->rect.toRect();
    QTest::mouseClick(view.get(), Qt::LeftButton, {}, QPoint(bigRect.left() - 1, bigRect.center().y()));
    EXPECT_TRUE(view->selectedFiles().empty());
    EXPECT_FALSE(item("docs")->node->selected());
    EXPECT_EQ(spy.count(), 4);
}

TEST_F(View, NestedAndSiblingSelections)
{
    // A folder, then a file inside it: only the file stays; then the folder again: only it.
    click("a");
    click("b1", Qt::ControlModifier);
    EXPECT_EQ(selected(), (std::vector<std::string>{"b1"}));
    click("a", Qt::ControlModifier);
    EXPECT_EQ(selected(), (std::vector<std::string>{"a"}));
    // /r/a/b/ and /r/a/bc are siblings, not nested.
    click("b");
    click("bc", Qt::ShiftModifier);
    EXPECT_EQ(selected(), (std::vector<std::string>{"b", "bc"}));
    click("b1", Qt::ShiftModifier);
    EXPECT_EQ(selected(), (std::vector<std::string>{"bc", "b1"}));
}

TEST_F(View, GroupedNodesSelectButContributeNoFile)
{
    const auto* group = groupIn(r);
    ASSERT_NE(group, nullptr);
    QTest::mouseClick(view.get(), Qt::LeftButton, {}, pointIn(group));
    EXPECT_EQ(view->clickedNodes().size(), 1u);
    EXPECT_TRUE(view->selectedFiles().empty());
    click("big", Qt::ShiftModifier);
    EXPECT_EQ(view->clickedNodes().size(), 2u);
    // Deleting, ignoring and compressing send only the records of the other nodes.
    view->deleteSelectedFile();
    ASSERT_EQ(delegate.removed.size(), 1u);
    EXPECT_EQ(names(delegate.removed[0]), (std::vector<std::string>{"big"}));
}

TEST_F(View, ARightPressDoesNotSelectTheContextMenuDoes)
{
    click("big");
    const QPoint p = pointIn(item("docs"));
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(p), view->mapToGlobal(QPointF(p)), Qt::RightButton,
                      Qt::RightButton, Qt::ControlModifier);
    QApplication::sendEvent(view.get(), &press);
    EXPECT_EQ(selected(), (std::vector<std::string>{"big"}));

    QContextMenuEvent menuEvent(QContextMenuEvent::Mouse, p, view->mapToGlobal(p));
    QApplication::sendEvent(view.get(), &menuEvent);
    EXPECT_EQ(selected(), (std::vector<std::string>{"docs"}));
    QWidget* popup = QApplication::activePopupWidget();
    ASSERT_NE(popup, nullptr);
    auto* menu = qobject_cast<QMenu*>(popup);
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(menuTitles(menu).first(), "Refresh Directory");
    menu->close();
}

TEST_F(View, ContextMenuItemsForAFileAFolderAndAPackage)
{
    std::unique_ptr<QMenu> menu(view->menuForPoint(pointIn(item("big"))));
    ASSERT_TRUE(menu);
    EXPECT_EQ(menuTitles(menu.get()), (QStringList{"Show in File Manager", "Open with File Manager",
                                                   "Add to Ignore List", "-", "Compress File", "Delete File"}));
    menu.reset(view->menuForPoint(pointIn(item("docs"))));
    ASSERT_TRUE(menu);
    EXPECT_EQ(menuTitles(menu.get()),
              (QStringList{"Refresh Directory", "Zoom to Directory", "-", "Show in File Manager",
                           "Open with File Manager", "Add to Ignore List", "-", "Compress Directory",
                           "Delete Directory"}));
    EXPECT_EQ(selected(), (std::vector<std::string>{"docs"}));
    delegate.canRemove = false;
    menu.reset(view->menuForPoint(pointIn(item("Big.app"))));
    ASSERT_TRUE(menu);
    EXPECT_EQ(menuTitles(menu.get()), (QStringList{"Show in File Manager", "Open with File Manager",
                                                   "Add to Ignore List", "-", "Compress File"}));

    // The actions reach the view.
    menu->actions()[0]->trigger();
    ASSERT_EQ(services.revealed().size(), 1u);
    EXPECT_EQ(services.revealed()[0], (std::vector<std::string>{"/r/Big.app/"}));
    menu->actions()[1]->trigger();
    EXPECT_EQ(services.opened(), (std::vector<std::string>{"/r/Big.app/"}));
    menu->actions()[4]->trigger();
    ASSERT_EQ(delegate.compressed.size(), 1u);
    EXPECT_EQ(names(delegate.compressed[0]), (std::vector<std::string>{"Big.app"}));

    // A grouped node is selected but gets no menu; empty space clears and gets none.
    EXPECT_EQ(view->menuForPoint(pointIn(groupIn(r))), nullptr);
    EXPECT_EQ(view->clickedNodes().size(), 1u);
    const QRect bigRect = item("big")->rect.toRect();
    EXPECT_EQ(view->menuForPoint(QPoint(bigRect.left() - 1, bigRect.center().y())), nullptr);
    EXPECT_TRUE(view->clickedNodes().empty());
}

TEST_F(View, DoubleClicksZoomIntoFoldersAndRevealFiles)
{
    QTest::mouseDClick(view.get(), Qt::LeftButton, {}, pointIn(item("big")));
    ASSERT_EQ(services.revealed().size(), 1u);
    EXPECT_EQ(services.revealed()[0], (std::vector<std::string>{"/r/big"}));

    // A grouped node of the folder shown reveals nothing (it has no record) and stays.
    QTest::mouseDClick(view.get(), Qt::LeftButton, {}, pointIn(groupIn(r)));
    EXPECT_EQ(services.revealed().size(), 1u);
    EXPECT_EQ(view->directory(), r);

    QTest::mouseDClick(view.get(), Qt::LeftButton, {}, pointIn(item("a")));
    EXPECT_EQ(view->directory(), KZDirectoryPtr(a));
    EXPECT_TRUE(view->canZoomOut());
    ASSERT_EQ(delegate.zooms.size(), 1u);
    EXPECT_EQ(delegate.zooms[0], (std::pair<std::string, bool>("/r/a/", true)));
    EXPECT_TRUE(view->selectedFiles().empty());

    EXPECT_TRUE(view->zoomOut());
    // A grouped node of a nested folder shows that folder.
    view->resize(1600, 1000);
    ASSERT_TRUE(kztest::waitFor([&] { return !view->isInLiveResize(); }));
    const auto* nestedGroup = groupIn(a);
    ASSERT_NE(nestedGroup, nullptr);
    QTest::mouseDClick(view.get(), Qt::LeftButton, {}, pointIn(nestedGroup));
    EXPECT_EQ(view->directory(), KZDirectoryPtr(a));
}

TEST_F(View, ZoomStackIsAHistory)
{
    view->zoomToDirectory(a);
    view->zoomToDirectory(r);
    view->zoomToDirectory(a);
    ASSERT_EQ(view->zoomStack().size(), 3u);
    EXPECT_EQ(view->zoomStack()[0], r);
    EXPECT_EQ(view->zoomStack()[1], KZDirectoryPtr(a));
    EXPECT_EQ(view->zoomStack()[2], r);
    view->zoomToDirectory(a); // already shown: nothing
    EXPECT_EQ(view->zoomStack().size(), 3u);

    EXPECT_TRUE(view->zoomOut());
    EXPECT_EQ(view->directory(), r);
    ASSERT_EQ(view->zoomStack().size(), 1u);
    EXPECT_EQ(view->zoomStack()[0], KZDirectoryPtr(a));
    EXPECT_TRUE(view->canZoomOut());
    EXPECT_TRUE(view->zoomOut());
    EXPECT_EQ(view->directory(), KZDirectoryPtr(a));
    EXPECT_FALSE(view->canZoomOut());
    EXPECT_EQ(delegate.zooms.back(), (std::pair<std::string, bool>("/r/a/", false)));
    const size_t reports = delegate.zooms.size();
    EXPECT_FALSE(view->zoomOut());
    EXPECT_EQ(delegate.zooms.size(), reports);
}

TEST_F(View, ZoomingOutSkipsFoldersThatLeftTheTree)
{
    view->zoomToDirectory(a);
    view->zoomToDirectory(ab);
    view->zoomToDirectory(docs);
    // b is deleted meanwhile (taken out of its folder).
    ab->removeFromParent();
    EXPECT_TRUE(view->zoomOut());
    EXPECT_EQ(view->directory(), KZDirectoryPtr(a));
    EXPECT_TRUE(view->zoomOut());
    EXPECT_EQ(view->directory(), r);
    EXPECT_FALSE(view->canZoomOut());
}

TEST_F(View, ZoomInNeedsExactlyOneFolderWithChildren)
{
    view->zoomIn();
    EXPECT_EQ(view->directory(), r);
    click("a");
    click("docs", Qt::ShiftModifier);
    view->zoomIn();
    EXPECT_EQ(view->directory(), r);
    EXPECT_EQ(services.beeps, 0);
    auto empty = dir(r, "empty");
    empty->setFileSize(700000);
    view->zoomToDirectory(empty);
    EXPECT_EQ(view->directory(), KZDirectoryPtr(empty)); // the path bar may show any folder
    view->zoomOut();
    // Zooming into a folder whose rescan is under way beeps and does nothing.
    view->nodeLists().setReloadingNode(docs->path(), KZTreemapNode::nodeWithFile(docs));
    view->zoomToDirectory(docs);
    EXPECT_EQ(view->directory(), r);
    EXPECT_EQ(services.beeps, 1);
    view->nodeLists().removeReloadingNode(docs->path());
}

TEST_F(View, ResizingClearsTheSelectionAndLiveResizeLimitsTheDepth)
{
    click("big");
    view->resize(700, 450);
    EXPECT_TRUE(view->selectedFiles().empty());
    view->resize(650, 420);
    EXPECT_TRUE(view->isInLiveResize());
    for (const auto& i : view->drawItems()) EXPECT_LE(i.depth, 2);
    ASSERT_TRUE(kztest::waitFor([&] { return !view->isInLiveResize(); }));
}

TEST_F(View, DeleteIgnoreAndCompressGoThroughTheDelegate)
{
    click("big");
    click("docs", Qt::ShiftModifier);
    delegate.removeAnswer = false;
    view->deleteSelectedFile();
    ASSERT_EQ(delegate.removed.size(), 1u);
    EXPECT_EQ(r->childCount(), 44u); // untouched
    EXPECT_EQ(selected(), (std::vector<std::string>{"big", "docs"}));

    delegate.removeAnswer = true;
    const double total = r->fileSize();
    view->deleteSelectedFile();
    EXPECT_EQ(r->childCount(), 42u);
    EXPECT_EQ(item("big"), nullptr);
    EXPECT_EQ(item("docs"), nullptr);
    EXPECT_EQ(r->fileSize(), total); // folders keep their totals
    EXPECT_TRUE(view->selectedFiles().empty());

    click("a");
    view->compressSelectedFile();
    ASSERT_EQ(delegate.compressed.size(), 1u);
    EXPECT_EQ(names(delegate.compressed[0]), (std::vector<std::string>{"a"}));

    delegate.ignoreAnswer = false;
    click("a");
    view->ignoreSelectedFile();
    EXPECT_NE(item("a"), nullptr);
    delegate.ignoreAnswer = true;
    click("a");
    view->ignoreSelectedFile();
    EXPECT_EQ(delegate.ignored, (std::vector<std::string>{"/r/a/", "/r/a/"}));
    EXPECT_EQ(item("a"), nullptr);
    EXPECT_EQ(a->parent(), nullptr);

    // Nothing selected: nothing asked.
    view->deleteSelectedFile();
    view->compressSelectedFile();
    EXPECT_EQ(delegate.removed.size(), 2u);
    EXPECT_EQ(delegate.compressed.size(), 1u);
}

TEST_F(View, HoverReportsNodesAndExits)
{
    QTest::mouseMove(view.get(), pointIn(item("big")));
    EXPECT_GE(delegate.movedCount, 1);
    ASSERT_TRUE(delegate.lastHovered);
    EXPECT_EQ(delegate.lastHovered->file(), big);
    EXPECT_EQ(view->cursor().shape(), Qt::PointingHandCursor);
    const int exits = delegate.exitedCount;
    const QRect bigRect = item("big")->rect.toRect();
    QTest::mouseMove(view.get(), QPoint(bigRect.left() - 1, bigRect.center().y()));
    EXPECT_GT(delegate.exitedCount, exits);
    EXPECT_EQ(view->cursor().shape(), Qt::ArrowCursor);
}

TEST_F(View, ReloadsReportWhetherAnythingIsShownAndHonourTheSettings)
{
    EXPECT_GE(delegate.drawCount, 1);
    view->setShowsHiddenFiles(false); // no change: no reload
    const int draws = delegate.drawCount;
    view->setShowsHiddenFiles(true);
    EXPECT_EQ(delegate.drawCount, draws + 1);
    view->setShowsSystemFiles(true);
    EXPECT_EQ(delegate.drawCount, draws + 2);

    delegate.ignoredNames = {"a", "docs", "Big.app", "big"};
    view->reloadData();
    // What is left is the group; the ignored items' bytes are an inert area beside it.
    for (const auto& i : view->drawItems()) EXPECT_TRUE(i.node->isGroupedNode() || i.node->isInertArea());

    auto lonely = root("/lonely");
    KZNestedTreemapView empty(lonely);
    empty.setPreferences(&prefs.preferences);
    empty.setDelegate(&delegate);
    empty.reloadData();
    EXPECT_EQ(delegate.emptyCount, 1);
}

TEST_F(View, CopesWithoutADelegate)
{
    view->setDelegate(nullptr);
    view->reloadData();
    click("big");
    EXPECT_EQ(selected(), (std::vector<std::string>{"big"}));
    std::unique_ptr<QMenu> menu(view->menuForPoint(pointIn(item("big"))));
    ASSERT_TRUE(menu);
    EXPECT_FALSE(menuTitles(menu.get()).contains("Delete File"));
    view->deleteSelectedFile();
    view->ignoreSelectedFile();
    view->compressSelectedFile();
    EXPECT_NE(r->childCount(), 0u);
    QTest::mouseMove(view.get(), pointIn(item("docs")));
    view->grab();
}

TEST_F(View, GrabShowsTheTreemap)
{
    const QImage image = view->grab().toImage();
    EXPECT_TRUE(image.save(kztest::outputFolder() + "/treemap-view.png"));
    const QRect bigRect = item("big")->rect.toRect();
    EXPECT_EQ(image.pixelColor(bigRect.left() + 3, bigRect.bottom() - 3), delegate.theme->fileColor());
}

} // namespace
