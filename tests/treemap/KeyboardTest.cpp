// The treemap without the pointer: keys that move the selection, zoom, open the context menu
// and ask for deletion; and what assistive technology reads of it, through QAccessible.
#include "TreemapFixtures.h"

#include "treemap/KZTreemapAccessibility.h"

#include <QAccessible>
#include <QApplication>
#include <QContextMenuEvent>
#include <QMenu>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

using namespace treetest;

namespace {

// An accessibility event the view sent: its type, and the name and state of its item then.
struct RecordedEvent {
    QAccessible::Event type;
    QAccessible::Role role;
    QString name;
    bool selected;
};

struct Keys : ::testing::Test {
    TestPreferences prefs;
    RecordingDelegate delegate;
    FakeServices services;
    KZDirectoryPtr r = root("/r");
    KZDirectoryPtr a, ab, docs, app;
    KZFilePtr big;
    std::unique_ptr<QWidget> window;
    KZNestedTreemapView* view = nullptr;
    QWidget* before = nullptr;
    QWidget* after = nullptr;
    std::vector<RecordedEvent> events;

    void SetUp() override
    {
        // /r: a/ (b/ with two files, "bc", "zz", two small files), docs/ (one file), Big.app,
        // big, and 40 small files that make an inert area.
        a = dir(r, "a");
        ab = dir(a, "b");
        file(ab, "b1", 300000);
        file(ab, "b2", 200000);
        file(a, "bc", 400000);
        file(a, "zz", 100000);
        file(a, "a-small1", 500);
        file(a, "a-small2", 400);
        docs = dir(r, "docs");
        file(docs, "d1", 900000);
        app = dir(r, "Big.app");
        app->setIsPackage(true);
        file(app, "binary", 700000);
        big = file(r, "big", 1500000);
        for (int i = 0; i < 40; ++i) file(r, "s" + std::to_string(i), 1000);
        prefs.preferences.setMinFileSize(1000);

        KZTreemapAccessibility::setEventObserverForTesting([this](QAccessibleEvent* event) {
            QAccessibleInterface* iface = event->accessibleInterface();
            if (iface)
                events.push_back(
                    {event->type(), iface->role(), iface->text(QAccessible::Name), bool(iface->state().selected)});
        });

        // The view between two other controls, as in a window.
        window = std::make_unique<QWidget>();
        before = new QWidget(window.get());
        before->setFocusPolicy(Qt::StrongFocus);
        before->setGeometry(0, 0, 800, 20);
        view = new KZNestedTreemapView(r, window.get());
        view->setGeometry(0, 20, 800, 500);
        after = new QWidget(window.get());
        after->setFocusPolicy(Qt::StrongFocus);
        after->setGeometry(0, 520, 800, 20);
        view->setPreferences(&prefs.preferences);
        services.attach(*view);
        view->setDelegate(&delegate);
        window->resize(800, 540);
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        window->activateWindow();
        view->reloadData();
        ASSERT_TRUE(kztest::waitFor([&] { return !view->isInLiveResize(); }));
        view->setFocus(Qt::OtherFocusReason);
        ASSERT_TRUE(kztest::waitFor([&] { return view->hasFocus(); }));
    }
    void TearDown() override
    {
        window.reset();
        KZTreemapAccessibility::setEventObserverForTesting({});
    }

    std::vector<std::string> selected() { return names(view->selectedFiles()); }
    std::string current()
    {
        const KZTreemapNodePtr node = view->keyboardNode();
        return node && node->file() ? node->file()->nameBytes() : std::string();
    }
    const KZTreemapDrawItem* item(const std::string& name)
    {
        for (const auto& i : view->drawItems())
            if (i.node->file() && i.node->file()->nameBytes() == name) return &i;
        return nullptr;
    }
    void key(Qt::Key k, Qt::KeyboardModifiers mods = {}) { QTest::keyClick(view, k, mods); }
    // The names of the top-level nodes in drawing order (not inert areas).
    std::vector<std::string> topLevelNames()
    {
        std::vector<std::string> out;
        const auto& items = view->drawItems();
        for (const int i : view->itemTree().childrenOf(-1))
            if (items[size_t(i)].node->file()) out.push_back(items[size_t(i)].node->file()->nameBytes());
        return out;
    }
    QMenu* popup() { return qobject_cast<QMenu*>(QApplication::activePopupWidget()); }
    static QStringList titles(QMenu* menu)
    {
        QStringList out;
        for (QAction* action : menu->actions()) out << (action->isSeparator() ? QStringLiteral("-") : action->text());
        return out;
    }
    QAccessibleInterface* viewInterface() { return QAccessible::queryAccessibleInterface(view); }
    // The accessible child of the view with the name, or null.
    QAccessibleInterface* childNamed(QAccessibleInterface* parent, const QString& name)
    {
        for (int i = 0; i < parent->childCount(); ++i)
            if (QAccessibleInterface* c = parent->child(i); c && c->text(QAccessible::Name) == name) return c;
        return nullptr;
    }
};

TEST_F(Keys, ArrowsMoveToTheNearestSiblingThatWayAndTabWalksTheDrawingOrder)
{
    QSignalSpy spy(view, &KZNestedTreemapView::selectedFilesChanged);
    const std::vector<std::string> order = topLevelNames();
    ASSERT_GE(order.size(), 4u);
    // Nothing selected: the first key selects the first node drawn.
    key(Qt::Key_Right);
    EXPECT_EQ(selected(), (std::vector<std::string>{order[0]}));
    EXPECT_EQ(spy.count(), 1);

    // Each arrow lands on a sibling lying wholly that way, the nearest facing one.
    for (Qt::Key k : {Qt::Key_Right, Qt::Key_Down, Qt::Key_Left, Qt::Key_Up}) {
        const QRectF from = item(current())->rect;
        const std::string was = current();
        const int changes = spy.count();
        key(k);
        if (current() == was) {
            // At the edge: nothing moves and nothing is reported.
            EXPECT_EQ(spy.count(), changes);
            continue;
        }
        const QRectF to = item(current())->rect;
        if (k == Qt::Key_Right) {
            EXPECT_GE(to.left(), from.right());
        }
        if (k == Qt::Key_Left) {
            EXPECT_LE(to.right(), from.left());
        }
        if (k == Qt::Key_Down) {
            EXPECT_GE(to.top(), from.bottom());
        }
        if (k == Qt::Key_Up) {
            EXPECT_LE(to.bottom(), from.top());
        }
        EXPECT_EQ(spy.count(), changes + 1) << "one report per move";
        EXPECT_EQ(view->selectedFiles().size(), 1u);
    }

    // Tab and Shift+Tab follow the drawing order, keeping the focus inside.
    view->setClickedNode(nullptr);
    for (const std::string& name : order) {
        key(Qt::Key_Tab);
        EXPECT_EQ(current(), name);
        EXPECT_TRUE(view->hasFocus());
    }
    key(Qt::Key_Backtab);
    EXPECT_EQ(current(), order[order.size() - 2]);
    key(Qt::Key_Tab);
    // Past the last node Tab leaves the view as it leaves any control; the selection stays.
    key(Qt::Key_Tab);
    EXPECT_TRUE(after->hasFocus());
    EXPECT_EQ(selected(), (std::vector<std::string>{order.back()}));
}

TEST_F(Keys, TheKeysNeverSelectAnInertAreaAndMoveAmongTheSiblingsOfADeepNode)
{
    // The small files of /r are an inert area at top level: no key ever lands on it.
    bool sawInert = false;
    for (const int i : view->itemTree().childrenOf(-1)) sawInert |= view->drawItems()[size_t(i)].node->isInertArea();
    ASSERT_TRUE(sawInert);
    for (int i = 0; i < 12; ++i) {
        key(i % 2 ? Qt::Key_Down : Qt::Key_Right);
        ASSERT_FALSE(view->clickedNodes().empty());
        EXPECT_FALSE(view->clickedNodes().back()->isInertArea());
        key(Qt::Key_Tab);
        if (!view->hasFocus()) view->setFocus();
        for (const auto& node : view->clickedNodes()) EXPECT_FALSE(node->isInertArea());
    }

    // A node the mouse selected deep down: the keys move among its folder's nodes.
    view->setClickedNode(item("b1")->node);
    key(Qt::Key_Tab);
    EXPECT_EQ(current(), "b2");
    key(Qt::Key_Backtab);
    EXPECT_EQ(current(), "b1");
    for (Qt::Key k : {Qt::Key_Left, Qt::Key_Right, Qt::Key_Up, Qt::Key_Down}) {
        key(k);
        EXPECT_TRUE(current() == "b1" || current() == "b2") << current();
    }
}

TEST_F(Keys, ReturnZoomsInBackspaceOutAndTheSelectionFollows)
{
    view->setClickedNode(item("a")->node);
    key(Qt::Key_Return);
    EXPECT_EQ(view->directory(), a);
    ASSERT_EQ(delegate.zooms.size(), 1u);
    // The keys go on from the first node inside.
    EXPECT_EQ(selected(), (std::vector<std::string>{topLevelNames().front()}));
    EXPECT_EQ(current(), "b");
    key(Qt::Key_Enter); // the keypad's Enter as well
    EXPECT_EQ(view->directory(), ab);

    key(Qt::Key_Backspace);
    EXPECT_EQ(view->directory(), a);
    EXPECT_EQ(selected(), (std::vector<std::string>{"b"})) << "the folder just left";
    key(Qt::Key_Backspace);
    EXPECT_EQ(view->directory(), r);
    EXPECT_EQ(selected(), (std::vector<std::string>{"a"}));
    EXPECT_EQ(services.beeps, 0);
    // Nothing further out; a file can't be entered; nothing selected: each beeps.
    key(Qt::Key_Backspace);
    EXPECT_EQ(view->directory(), r);
    view->setClickedNode(item("big")->node);
    key(Qt::Key_Return);
    view->setClickedNode(nullptr);
    key(Qt::Key_Return);
    EXPECT_EQ(view->directory(), r);
    EXPECT_EQ(services.beeps, 3);
}

TEST_F(Keys, TheMenuKeyAndShiftF10OpenTheContextMenuAtTheSelection)
{
    view->setClickedNode(item("docs")->node);
    key(Qt::Key_Menu);
    QMenu* menu = popup();
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(titles(menu).first(), "Refresh Directory");
    // Shown over the node's rectangle, not at the pointer.
    const QRect docs = item("docs")->rect.toRect().translated(view->mapToGlobal(QPoint(0, 0)));
    EXPECT_TRUE(docs.contains(menu->pos())) << menu->pos().x() << "," << menu->pos().y();
    menu->close();
    ASSERT_TRUE(kztest::waitFor([&] { return !popup(); }));

    // A keyboard context-menu event (the Menu key on some desktops) does the same, once.
    view->setClickedNode(item("big")->node);
    key(Qt::Key_F10, Qt::ShiftModifier);
    menu = popup();
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(titles(menu), (QStringList{"Show in File Manager", "Open with File Manager", "Add to Ignore List", "-",
                                         "Compress File", "Delete File"}));
    QContextMenuEvent again(QContextMenuEvent::Keyboard, QPoint(1, 1), view->mapToGlobal(QPoint(1, 1)));
    QApplication::sendEvent(view, &again);
    EXPECT_EQ(popup(), menu);
    // Its items act on the selection.
    menu->actions()[0]->trigger();
    ASSERT_EQ(services.revealed().size(), 1u);
    EXPECT_EQ(services.revealed()[0], (std::vector<std::string>{"/r/big"}));
    menu->close();
    ASSERT_TRUE(kztest::waitFor([&] { return !popup(); }));

    QContextMenuEvent fromKeyboard(QContextMenuEvent::Keyboard, QPoint(1, 1), view->mapToGlobal(QPoint(1, 1)));
    QApplication::sendEvent(view, &fromKeyboard);
    ASSERT_NE(popup(), nullptr);
    EXPECT_EQ(selected(), (std::vector<std::string>{"big"})) << "at the selection, not at the point";
    popup()->close();
    ASSERT_TRUE(kztest::waitFor([&] { return !popup(); }));

    // Plain F10 is no menu key; nothing selected means no menu, and a beep.
    key(Qt::Key_F10);
    EXPECT_EQ(popup(), nullptr);
    view->setClickedNode(nullptr);
    const int beeps = services.beeps;
    key(Qt::Key_Menu);
    EXPECT_EQ(popup(), nullptr);
    EXPECT_EQ(services.beeps, beeps + 1);
}

TEST_F(Keys, DeleteOnlyAsksTheOwnerAndNeverDeletesByItself)
{
    QSignalSpy asked(view, &KZNestedTreemapView::deleteRequested);
    key(Qt::Key_Delete);
    EXPECT_EQ(asked.count(), 0) << "nothing selected";
    EXPECT_EQ(services.beeps, 1);
    view->setClickedNode(item("big")->node);
    QTest::keyPress(view, Qt::Key_Delete);
    QKeyEvent repeat(QEvent::KeyPress, Qt::Key_Delete, Qt::NoModifier, QString(), true);
    QApplication::sendEvent(view, &repeat);
    QTest::keyRelease(view, Qt::Key_Delete);
    EXPECT_EQ(asked.count(), 1) << "held down, the key asks once";
    EXPECT_TRUE(delegate.removed.empty());
    EXPECT_EQ(r->childCount(), 44u);
    EXPECT_TRUE(item("big"));
}

TEST_F(Keys, TheFocusRingShowsOnceTheKeyboardIsUsedAndAClickHidesIt)
{
    EXPECT_FALSE(view->showsFocusRing());
    key(Qt::Key_Right);
    EXPECT_TRUE(view->showsFocusRing());
    const KZTreemapDrawItem* chosen = item(current());
    ASSERT_NE(chosen, nullptr);
    const QImage image = view->grab().toImage();
    image.save(kztest::outputFolder() + "/treemap-keyboard-focus.png");
    // A dark ring hugs the selected node; the light one inside it.
    const QRect ring = chosen->rect.toRect();
    const QColor outer = image.pixelColor(ring.center().x(), ring.top());
    const QColor inner = image.pixelColor(ring.center().x(), ring.top() + 3);
    EXPECT_LT(outer.lightness(), 110) << outer.name().toStdString();
    EXPECT_EQ(inner, QColor(Qt::white));

    QTest::mouseClick(view, Qt::LeftButton, {}, item("big")->rect.center().toPoint());
    EXPECT_FALSE(view->showsFocusRing());
    // Focus that comes by Tab shows it (around the whole view while nothing is selected).
    view->setClickedNode(nullptr);
    before->setFocus();
    QTest::keyClick(before, Qt::Key_Tab);
    ASSERT_TRUE(view->hasFocus());
    EXPECT_TRUE(view->showsFocusRing());
    const QImage whole = view->grab().toImage();
    EXPECT_EQ(whole.pixelColor(view->width() / 2, 3), QColor(Qt::white));
    before->setFocus();
    EXPECT_FALSE(view->showsFocusRing());
}

// ---- what assistive technology reads ----

TEST_F(Keys, TheViewIsAListOfTheDrawnNodesNestedByFolderWithNamesKindsSizesAndSelection)
{
    QAccessibleInterface* tree = viewInterface();
    ASSERT_NE(tree, nullptr);
    EXPECT_NE(dynamic_cast<KZTreemapAccessibility*>(tree), nullptr);
    EXPECT_EQ(tree->role(), QAccessible::List);
    EXPECT_EQ(tree->text(QAccessible::Name), "Treemap");
    EXPECT_EQ(tree->text(QAccessible::Description), "/r, " + KZMemoryFormatter().stringFromBytes(r->fileSize()));
    EXPECT_FALSE(tree->text(QAccessible::Help).isEmpty());
    EXPECT_TRUE(tree->state().focusable);

    // One child per top-level node, in drawing order.
    const auto top = view->itemTree().childrenOf(-1);
    ASSERT_EQ(tree->childCount(), int(top.size()));
    for (int i = 0; i < tree->childCount(); ++i) {
        QAccessibleInterface* c = tree->child(i);
        ASSERT_NE(c, nullptr);
        EXPECT_EQ(tree->indexOfChild(c), i);
        EXPECT_EQ(c->parent(), tree);
        EXPECT_EQ(c->rect().size(), view->drawItems()[size_t(top[size_t(i)])].rect.toAlignedRect().size());
        EXPECT_EQ(tree->childAt(c->rect().center().x(), c->rect().center().y()), c);
    }

    QAccessibleInterface* docsItem = childNamed(tree, "docs");
    ASSERT_NE(docsItem, nullptr);
    EXPECT_EQ(docsItem->role(), QAccessible::ListItem);
    EXPECT_EQ(docsItem->text(QAccessible::Description), "Folder, 900.0 KB");
    EXPECT_EQ(docsItem->text(QAccessible::Value), "900.0 KB");
    EXPECT_TRUE(docsItem->state().selectable);
    EXPECT_FALSE(docsItem->state().selected);
    EXPECT_EQ(childNamed(tree, "big")->text(QAccessible::Description), "File, 1.5 MB");
    EXPECT_EQ(childNamed(tree, "Big.app")->text(QAccessible::Description), "Package, 700.0 KB");
    // The inert area reads as text with its size, and offers nothing.
    QAccessibleInterface* inert = childNamed(tree, "Small files 40.0 KB");
    ASSERT_NE(inert, nullptr);
    EXPECT_EQ(inert->role(), QAccessible::StaticText);
    EXPECT_FALSE(inert->state().selectable);
    EXPECT_EQ(inert->actionInterface(), nullptr);

    // A folder's drawn nodes are its children, down the levels.
    QAccessibleInterface* aItem = childNamed(tree, "a");
    ASSERT_NE(aItem, nullptr);
    QAccessibleInterface* bItem = childNamed(aItem, "b");
    ASSERT_NE(bItem, nullptr);
    EXPECT_EQ(bItem->parent(), aItem);
    ASSERT_EQ(bItem->childCount(), 2);
    EXPECT_EQ(bItem->child(0)->text(QAccessible::Name), "b1");
    EXPECT_EQ(bItem->child(0)->text(QAccessible::Description), "File, 300.0 KB");
    EXPECT_EQ(bItem->indexOfChild(bItem->child(1)), 1);

    // Selection and focus read from the view.
    view->setClickedNode(item("docs")->node);
    EXPECT_TRUE(docsItem->state().selected);
    EXPECT_TRUE(docsItem->state().focused);
    EXPECT_EQ(tree->focusChild(), docsItem);
    before->setFocus();
    EXPECT_FALSE(docsItem->state().focused);
    EXPECT_EQ(tree->focusChild(), nullptr);
}

TEST_F(Keys, SelectionChangesAndNewLayoutsAreAnnouncedAndItemsOfGoneNodesAnswerNothing)
{
    QAccessibleInterface* tree = viewInterface();
    QAccessibleInterface* docsItem = childNamed(tree, "docs");
    ASSERT_NE(docsItem, nullptr);
    events.clear();
    key(Qt::Key_Tab);
    const std::string first = current();
    key(Qt::Key_Tab);
    const std::string second = current();
    ASSERT_NE(first, second);
    // The node that left the selection, the one that joined it, and the focus on it.
    const auto has = [&](QAccessible::Event type, const std::string& name, bool selectedNow) {
        return std::any_of(events.begin(), events.end(), [&](const RecordedEvent& e) {
            return e.type == type && e.name == QString::fromStdString(name) && e.selected == selectedNow;
        });
    };
    EXPECT_TRUE(has(QAccessible::SelectionRemove, first, false));
    EXPECT_TRUE(has(QAccessible::Selection, second, true));
    EXPECT_TRUE(has(QAccessible::Focus, second, true));
    EXPECT_EQ(std::count_if(events.begin(), events.end(),
                            [](const RecordedEvent& e) { return e.type == QAccessible::Focus; }),
              2)
        << "one focus report per move";

    // Its actions select a node and open its menu, through the view's own code.
    QAccessibleActionInterface* actions = docsItem->actionInterface();
    ASSERT_NE(actions, nullptr);
    EXPECT_EQ(actions->actionNames(),
              (QStringList{QAccessibleActionInterface::pressAction(), QAccessibleActionInterface::showMenuAction()}));
    QSignalSpy spy(view, &KZNestedTreemapView::selectedFilesChanged);
    actions->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_EQ(selected(), (std::vector<std::string>{"docs"}));
    EXPECT_EQ(spy.count(), 1);
    actions->doAction(QAccessibleActionInterface::showMenuAction());
    ASSERT_NE(popup(), nullptr);
    popup()->close();
    ASSERT_TRUE(kztest::waitFor([&] { return !popup(); }));

    // A reload makes new nodes: the view announces the new order, the old items turn invalid
    // and are let go; new ones stand for the new nodes.
    auto* owner = dynamic_cast<KZTreemapAccessibility*>(tree);
    ASSERT_NE(owner, nullptr);
    EXPECT_GT(owner->madeItemCount(), 0u);
    const QAccessible::Id oldId = QAccessible::uniqueId(docsItem);
    events.clear();
    view->reloadData();
    EXPECT_TRUE(std::any_of(events.begin(), events.end(),
                            [](const RecordedEvent& e) { return e.type == QAccessible::ObjectReorder; }));
    EXPECT_EQ(QAccessible::accessibleInterface(oldId), nullptr);
    QAccessibleInterface* fresh = childNamed(tree, "docs");
    ASSERT_NE(fresh, nullptr);
    EXPECT_TRUE(fresh->isValid());

    // An item whose node lives on but is no longer drawn (zoomed away) answers nothing; the
    // item of a node that went is let go.
    const KZTreemapNodePtr kept = item("docs")->node;
    const QAccessible::Id bigId = QAccessible::uniqueId(childNamed(tree, "big"));
    view->zoomToDirectory(docs);
    EXPECT_EQ(QAccessible::accessibleInterface(bigId), nullptr);
    EXPECT_FALSE(fresh->isValid());
    EXPECT_EQ(fresh->text(QAccessible::Name), QString());
    EXPECT_EQ(fresh->childCount(), 0);
    EXPECT_EQ(fresh->parent(), nullptr);
    EXPECT_TRUE(fresh->state().invalid);
    EXPECT_EQ(tree->childCount(), 1);
    EXPECT_EQ(tree->child(0)->text(QAccessible::Name), "d1");

    // The view going leaves no item behind that could reach it.
    const QAccessible::Id childId = QAccessible::uniqueId(tree->child(0));
    delete view;
    view = nullptr;
    EXPECT_EQ(QAccessible::accessibleInterface(childId), nullptr);
}

} // namespace
