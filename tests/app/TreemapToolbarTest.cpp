// The results screen's toolbar on its own, over a treemap view of a real scanned folder: the
// items made from the table, their rules, what a click runs, and the window's toolbar place.
#include "app/TQToolbarPlace.h"
#include "app/TQTreemapToolbar.h"
#include "tests/app/TreemapScreenFixture.h"

#include <QAction>
#include <QToolButton>

namespace {

using T = TQTreemapToolbar;

struct TreemapToolbar : ::testing::Test {
    kztest::ScreenTestEnvironment env;
    kztest::TempDir tmp;
    QMainWindow window;
    QToolBar* own = window.addToolBar(QStringLiteral("Status"));
    TQToolbarPlace place{&window, own};
    KZDirectoryPtr root;
    KZNestedTreemapView* view = nullptr;
    std::set<std::string> unremovable;
    int quickLooks = 0;
    std::vector<QWidget*> queueSenders;
    std::unique_ptr<T> toolbar;

    void SetUp() override
    {
        if (!TQTheme::availableThemes()) TQTheme::registerAvailableThemes();
        prefs().setMinFileSize(1000);
        kztest::makeFile(tmp / "big.bin", 400000);
        kztest::makeFile(tmp / "docs/a.txt", 120000);
        kztest::makeFile(tmp / "pkg.app/inner", 50000);
        root = screentest::scan(tmp.path());
        ASSERT_TRUE(root);
        view = new KZNestedTreemapView(root);
        window.setCentralWidget(view);
        window.resize(800, 600);
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        view->reloadData();
        ASSERT_FALSE(view->drawItems().empty());
        toolbar = std::make_unique<T>(
            T::Hooks{[this](const KZFilePtr& f) { return !unremovable.count(f->nameBytes()); },
                     [this] { ++quickLooks; }, [this](QWidget* sender) { queueSenders.push_back(sender); }});
    }
    static Preferences& prefs() { return Preferences::sharedPreferences(); }
    void select(std::initializer_list<std::string> names)
    {
        view->setClickedNode(nullptr);
        for (const std::string& name : names)
            for (const KZTreemapDrawItem& item : view->drawItems())
                if (item.node->file() && item.node->file()->nameBytes() == name) view->addClickedNode(item.node);
        toolbar->validate();
    }
    bool enabled(const QString& id) const { return toolbar->item(id)->isEnabled(); }
};

TEST_F(TreemapToolbar, ItemsComeFromTheTableInOrderAndEveryOneIsOffWithoutAView)
{
    QStringList order;
    for (QAction* a : toolbar->toolBar()->actions())
        if (!a->objectName().isEmpty()) order << a->objectName();
    EXPECT_EQ(order, (QStringList{"Zoom", "Reload", "Compress", "Delete", "FinderItem", "QuickLook", "DeleteQueue",
                                  "Ignore"}));
    EXPECT_EQ(T::defaultItemIdentifiers().count(QString()), 2) << "two flexible spaces";
    for (const QString& id : order) {
        QAction* item = toolbar->item(id);
        EXPECT_FALSE(item->icon().isNull()) << id.toStdString();
        EXPECT_EQ(item->toolTip(), item->text());
        EXPECT_EQ(toolbar->button(id)->objectName(), id + "Button");
        EXPECT_FALSE(item->isEnabled()) << id.toStdString();
    }
    EXPECT_EQ(toolbar->item(T::FinderItem)->text(), QStringLiteral("Show in File Manager"));
    EXPECT_FALSE(toolbar->item(QStringLiteral("Unknown")));
    EXPECT_FALSE(toolbar->button(QStringLiteral("Unknown")));

    // No view yet: nothing is on, whatever the settings, and a click runs nothing.
    prefs().setUseDeleteQueue(true);
    EXPECT_FALSE(enabled(T::DeleteQueueItem));
    toolbar->item(T::QuickLookItem)->setEnabled(true); // stale: the rule is asked again
    toolbar->item(T::QuickLookItem)->trigger();
    EXPECT_EQ(quickLooks, 0);
}

TEST_F(TreemapToolbar, EachRuleFollowsTheSelectionTheZoomAndTheQueueSetting)
{
    toolbar->setTreemapView(view);
    for (const QString& id : {T::ZoomItem, T::ReloadItem, T::CompressItem, T::DeleteItem, T::QuickLookItem})
        EXPECT_FALSE(enabled(id)) << id.toStdString();
    select({"big.bin"});
    EXPECT_FALSE(enabled(T::ReloadItem)) << "a file is never rescanned";
    for (const QString& id : {T::CompressItem, T::DeleteItem, T::FinderItem, T::QuickLookItem, T::IgnoreItem})
        EXPECT_TRUE(enabled(id)) << id.toStdString();
    select({"docs"});
    EXPECT_TRUE(enabled(T::ReloadItem));
    select({"docs", "pkg.app"});
    EXPECT_FALSE(enabled(T::ReloadItem)) << "a package is measured whole";
    unremovable.insert("pkg.app");
    select({"docs", "pkg.app"});
    EXPECT_FALSE(enabled(T::DeleteItem)) << "every selected item must be removable";

    view->zoomToDirectory(screentest::childFolder(root, "docs"));
    toolbar->validate();
    EXPECT_TRUE(enabled(T::ZoomItem));
    toolbar->item(T::ZoomItem)->trigger();
    EXPECT_EQ(view->directory(), root);

    prefs().setUseDeleteQueue(true); // followed without a call
    EXPECT_TRUE(enabled(T::DeleteQueueItem));
    toolbar->item(T::DeleteQueueItem)->trigger();
    EXPECT_EQ(queueSenders, std::vector<QWidget*>{toolbar->button(T::DeleteQueueItem)});
    prefs().setUseDeleteQueue(false);
    EXPECT_FALSE(enabled(T::DeleteQueueItem));
}

TEST_F(TreemapToolbar, AKeyThatStandsForAnItemClicksItOnlyWhileItIsOn)
{
    toolbar->setTreemapView(view);
    toolbar->triggerOrBeep(T::QuickLookItem);
    EXPECT_EQ(quickLooks, 0);
    EXPECT_EQ(env.application.services.beeps, 1);
    select({"big.bin"});
    toolbar->triggerOrBeep(T::QuickLookItem);
    EXPECT_EQ(quickLooks, 1);
    EXPECT_EQ(env.application.services.beeps, 1);

    // The selection went behind the toolbar's back: the rule is asked again at the click.
    view->setClickedNode(nullptr);
    ASSERT_TRUE(enabled(T::QuickLookItem));
    toolbar->item(T::QuickLookItem)->trigger();
    EXPECT_EQ(quickLooks, 1);
    EXPECT_FALSE(enabled(T::QuickLookItem)) << "its state is shown anew";
}

TEST_F(TreemapToolbar, ThePlaceShowsTheBarInsteadOfTheWindowsOwnAndGivesItBack)
{
    toolbar->install(&place);
    EXPECT_TRUE(toolbar->isInstalled());
    EXPECT_EQ(toolbar->toolBar()->parentWidget(), &window);
    EXPECT_EQ(window.toolBarArea(toolbar->toolBar()), Qt::TopToolBarArea);
    EXPECT_TRUE(own->isHidden());
    EXPECT_EQ(place.shownToolbar(), toolbar->toolBar());
    toolbar->install(&place); // twice: nothing more
    EXPECT_EQ(window.findChildren<QToolBar*>().size(), 2);

    toolbar->uninstall();
    EXPECT_FALSE(own->isHidden());
    EXPECT_EQ(toolbar->toolBar()->parentWidget(), nullptr);
    EXPECT_EQ(place.shownToolbar(), nullptr);

    // A hidden own toolbar stays hidden; the bar goes with its toolbar, once out of the window.
    own->hide();
    toolbar->install(&place);
    QPointer<QToolBar> bar = toolbar->toolBar();
    toolbar.reset();
    EXPECT_TRUE(own->isHidden());
    EXPECT_FALSE(window.findChildren<QToolBar*>().contains(bar.data()));
    EXPECT_TRUE(kztest::waitFor([&] {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return bar.isNull();
    }));
}

TEST_F(TreemapToolbar, AnotherScreensBarShownInThePlaceTakesTheFirstOneAway)
{
    T second(T::Hooks{});
    toolbar->install(&place);
    second.install(&place);
    EXPECT_EQ(place.shownToolbar(), second.toolBar());
    EXPECT_EQ(toolbar->toolBar()->parentWidget(), nullptr);
    EXPECT_TRUE(own->isHidden());
    second.uninstall();
    EXPECT_FALSE(own->isHidden()) << "the window's own comes back once";
    toolbar->uninstall(); // not shown any more: nothing happens
    EXPECT_FALSE(own->isHidden());
}

} // namespace
