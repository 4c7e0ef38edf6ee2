// The results screen on real folders: the areas that stand for bytes no item shows (small,
// hidden, system, ignored and removed ones) each say what they hold and how such bytes are
// shown, a folder of left-out items is never "no files", and a small item beside a large one
// is drawn and reachable. Pictures for a person to look at go to
// build/test-output/results-screen/areas-*.png.
#include "app/TQPreferencesWindowController.h"
#include "kit/KZController.h"
#include "platform/widgets/KZAppearance.h"
#include "tests/app/TreemapScreenFixture.h"
#include "treemap/KZTreemapAccessibility.h"

#include <QAccessible>
#include <QCheckBox>
#include <QDir>
#include <QLabel>

using screentest::childFolder;
using Kind = KZTreemapNode::InertKind;

namespace {

constexpr long long MB = 1000 * 1000;

} // namespace

struct TreemapScreenAreas : screentest::TreemapScreen {
    TreemapScreenAreas() { KZAppearance::install(); }

    // Scans the temporary folder as the scanning screen does, with `systemPaths` (relative to
    // it; "" is the folder itself) standing for the system paths of the ignore list.
    void openScanned(const std::vector<std::string>& systemPaths)
    {
        KZIgnoreList::PathList paths;
        for (const std::string& p : systemPaths) paths.push_back(p.empty() ? tmp.path() : tmp / p);
        bool done = false;
        auto scanner = KZFileScanner::scannerWithPaths({tmp.path()}, prefs().minFileSize());
        scanner->ignoreList().setSystemPaths(paths);
        scanner->setCompletionBlock([&](const KZFileList& files) {
            root = files.empty() ? nullptr : kz_asDirectory(files.front());
            done = true;
        });
        scanner->setFailureBlock([&](const QString&) { done = true; });
        scanner->start();
        ASSERT_TRUE(kztest::waitFor([&] { return done; }));
        ASSERT_TRUE(root);
        openWith({KZFilePtr(root)});
        window->resize(1000, 680);
        settleLayout();
        ASSERT_TRUE(kztest::waitFor([&] { return !view()->isInLiveResize(); }));
        view()->reloadData();
    }
    // The drawn inert area of a kind inside the folder (relative; "" the one shown at top).
    const KZTreemapDrawItem* area(Kind kind, const std::string& folder = "") const
    {
        const auto& items = view()->drawItems();
        const KZTreemapItemTree& tree = view()->itemTree();
        int parent = -1;
        if (!folder.empty()) {
            const KZTreemapDrawItem* f = itemFor(folder);
            if (!f) return nullptr;
            parent = tree.indexOf(f->node.get());
        }
        for (const int i : tree.childrenOf(parent))
            if (items[size_t(i)].node->inertKind() == kind) return &items[size_t(i)];
        return nullptr;
    }
    bool anyArea(Kind kind) const
    {
        for (const KZTreemapDrawItem& item : view()->drawItems())
            if (item.node->inertKind() == kind) return true;
        return false;
    }
    QAccessibleInterface* accessibleChild(QAccessibleInterface* parent, const QString& name) const
    {
        for (int i = 0; parent && i < parent->childCount(); ++i)
            if (QAccessibleInterface* c = parent->child(i); c && c->text(QAccessible::Name) == name) return c;
        return nullptr;
    }
    QAccessibleInterface* accessibleView() const { return QAccessible::queryAccessibleInterface(view()); }
    static QString size(double bytes) { return KZMemoryFormatter().stringFromBytes(bytes); }
    bool errorShown() const { return screen->errorLabel()->isVisibleTo(screen->contentView()); }
    void save(const QString& name)
    {
        const QString folder = kztest::outputFolder() + QStringLiteral("/results-screen");
        QDir().mkpath(folder);
        EXPECT_TRUE(window->grab().save(folder + "/areas-" + name + ".png"));
    }
    // The texts of the preferences window's settings that show left-out items.
    static QString preferencesCheckboxText(const char* name)
    {
        auto preferences = ::controller<TQPreferencesWindowController>();
        auto* box = preferences->window()->findChild<QCheckBox*>(QString::fromLatin1(name));
        return box ? box->text() : QString();
    }
};

TEST_F(TreemapScreenAreas, EveryKindOfAreaHasItsOwnNameAndIgnoringIsNotRemoving)
{
    // Files below 2 MB are small; "sys" stands for a system path.
    prefs().setMinFileSize(2 * MB);
    kztest::makeFile(tmp / "Movies/holiday.mp4", 125800000);
    kztest::makeFile(tmp / "Movies/old.mp4", 40 * MB);
    kztest::makeFile(tmp / "Movies/keep.mov", 300 * MB);
    for (int i = 0; i < 60; ++i) kztest::makeFile(tmp / ("Movies/thumbs/t" + std::to_string(i)), 1500000);
    kztest::makeFile(tmp / "Movies/.cache/blob", 80 * MB);
    kztest::makeFile(tmp / "Movies/sys/lib.so", 150 * MB);
    kztest::makeFile(tmp / "disk.img", 250 * MB);
    openScanned({"Movies/sys"});
    EXPECT_TRUE(area(Kind::SmallFiles, "Movies/thumbs"));
    EXPECT_TRUE(area(Kind::HiddenItems, "Movies"));
    EXPECT_TRUE(area(Kind::SystemItems, "Movies"));
    EXPECT_FALSE(anyArea(Kind::RemovedItems) || anyArea(Kind::IgnoredItems));

    // Ignored from the toolbar: its bytes are ignored items, and nothing reads "removed".
    select({"Movies/holiday.mp4"});
    screen->toolbarItem(TQTreemapToolbar::IgnoreItem)->trigger();
    ASSERT_TRUE(prefs().ignoredPaths());
    EXPECT_TRUE(prefs().ignoredPaths()->contains(QString::fromStdString(tmp / "Movies/holiday.mp4")));
    const KZTreemapDrawItem* ignored = area(Kind::IgnoredItems, "Movies");
    ASSERT_TRUE(ignored);
    EXPECT_EQ(ignored->node->fileSize(), 125800000);
    EXPECT_FALSE(anyArea(Kind::RemovedItems)) << "nothing was removed";
    QAccessibleInterface* movies = accessibleChild(accessibleView(), QStringLiteral("Movies"));
    ASSERT_TRUE(movies);
    EXPECT_TRUE(accessibleChild(movies, QStringLiteral("Ignored items 125.8 MB")));

    // Deleted: those bytes are removed items, beside the ignored ones.
    select({"Movies/old.mp4"});
    env.alerts.service.answerNext(KZAlertFirstButtonReturn);
    screen->toolbarItem(TQTreemapToolbar::DeleteItem)->trigger();
    ASSERT_TRUE(waitForRemoval());
    ASSERT_FALSE(QFileInfo::exists(QString::fromStdString(tmp / "Movies/old.mp4")));
    const KZTreemapDrawItem* removed = area(Kind::RemovedItems, "Movies");
    ASSERT_TRUE(removed);
    EXPECT_EQ(removed->node->fileSize(), 40 * MB);
    ASSERT_TRUE(area(Kind::IgnoredItems, "Movies"));
    EXPECT_EQ(area(Kind::IgnoredItems, "Movies")->node->fileSize(), 125800000);
    movies = accessibleChild(accessibleView(), QStringLiteral("Movies"));
    ASSERT_TRUE(movies);
    EXPECT_TRUE(accessibleChild(movies, QStringLiteral("Removed items 40.0 MB")));
    save("every-kind");
    view()->zoomToDirectory(childFolder(root, "Movies"));
    save("every-kind-zoomed");

    // Each kind a look of its own: the colours at the areas' corners differ.
    std::set<QRgb> fills;
    for (const Kind kind :
         {Kind::SmallFiles, Kind::HiddenItems, Kind::SystemItems, Kind::IgnoredItems, Kind::RemovedItems})
        fills.insert(screen
                         ->treemapViewColorForNode(view(), *KZTreemapNode::nodeWithInertArea(kind, 1, root), 0.1, false,
                                                   false, 1)
                         .rgb());
    EXPECT_EQ(fills.size(), 5u);
}

TEST_F(TreemapScreenAreas, AFolderOfSystemItemsIsDrawnAndSaysWhichSettingShowsThem)
{
    // As a scan of /usr/lib with the settings' defaults: everything lies under a system path.
    for (int i = 0; i < 8; ++i) kztest::makeFile(tmp / ("libbig" + std::to_string(i) + ".so"), (i + 1) * 90 * MB);
    kztest::makeFile(tmp / "x86_64-linux-gnu/libc.so.6", 2 * MB);
    kztest::makeFile(tmp / "x86_64-linux-gnu/ld.so", 300000);
    openScanned({""});
    ASSERT_FALSE(prefs().showSystemFiles());
    EXPECT_EQ(window->windowTitle(), root->fileName() + " - " + size(root->fileSize()));
    EXPECT_FALSE(errorShown()) << "bytes are never shown as no files";
    const KZTreemapDrawItem* system = area(Kind::SystemItems);
    ASSERT_TRUE(system);
    EXPECT_EQ(system->node->fileSize(), root->fileSize());
    EXPECT_GT(system->rect.width() * system->rect.height(), 0.9 * view()->width() * view()->height());
    // It names the setting as the preferences window names it, on the map and to a reader.
    const QString setting = preferencesCheckboxText("showSystemFilesCheckbox");
    ASSERT_FALSE(setting.isEmpty());
    EXPECT_TRUE(KZTreemapNode::inertAreaHint(Kind::SystemItems).contains(setting));
    QAccessibleInterface* item =
        accessibleChild(accessibleView(), QStringLiteral("System items ") + size(system->node->fileSize()));
    ASSERT_TRUE(item);
    EXPECT_TRUE(item->text(QAccessible::Description).contains(setting))
        << item->text(QAccessible::Description).toStdString();
    // The pointer over it shows the same in the tooltip.
    QTest::mouseMove(view(), system->rect.center().toPoint() + QPoint(0, 60));
    ASSERT_TRUE(kztest::waitFor([&] { return screen->tooltip()->panel()->isVisible(); }));
    EXPECT_EQ(screen->tooltip()->label()->text(), QStringLiteral("System items\n") +
                                                      KZTreemapNode::inertAreaHint(Kind::SystemItems) +
                                                      QStringLiteral("\nSize: ") + size(system->node->fileSize()));
    screen->treemapViewMouseExitedWithEvent(view(), nullptr);
    save("system-folder");

    // The setting shows them.
    prefs().setShowSystemFiles(true);
    EXPECT_FALSE(area(Kind::SystemItems));
    EXPECT_TRUE(itemFor("libbig7.so"));
    EXPECT_FALSE(errorShown());
    prefs().setShowSystemFiles(false);
}

TEST_F(TreemapScreenAreas, FoldersOfSystemOrHiddenItemsInsideAreDrawnThereAndOnceZoomedInto)
{
    kztest::makeFile(tmp / "data.bin", 300 * MB);
    for (int i = 0; i < 5; ++i) kztest::makeFile(tmp / ("lib/part" + std::to_string(i) + ".so"), 40 * MB);
    for (int i = 0; i < 4; ++i) kztest::makeFile(tmp / ("settings/.rc" + std::to_string(i)), 30 * MB);
    openScanned({"lib"});
    const KZTreemapDrawItem* system = area(Kind::SystemItems);
    ASSERT_TRUE(system) << "the system folder itself is left out at the top";
    EXPECT_EQ(system->node->fileSize(), 200 * MB);
    const KZTreemapDrawItem* hidden = area(Kind::HiddenItems, "settings");
    ASSERT_TRUE(hidden);
    EXPECT_EQ(hidden->node->fileSize(), 120 * MB);
    EXPECT_TRUE(KZTreemapAccessibility::descriptionOfNode(*hidden->node)
                    .contains(preferencesCheckboxText("showHiddenFilesCheckbox")));
    save("hidden-folder-inside");

    // Zoomed into, the folder of hidden items is their area, not "no files".
    screen->didClickPathbar(tmp / "settings/");
    ASSERT_EQ(view()->directory(), childFolder(root, "settings"));
    EXPECT_FALSE(errorShown());
    hidden = area(Kind::HiddenItems);
    ASSERT_TRUE(hidden);
    EXPECT_EQ(hidden->rect, QRectF(view()->rect()));
    EXPECT_EQ(window->windowTitle(), QStringLiteral("settings - 120.0 MB"));
    save("hidden-folder-zoomed");
}

TEST_F(TreemapScreenAreas, ASmallFileBesideAMuchLargerFolderIsDrawnAndReachable)
{
    kztest::makeFile(tmp / "big/data.bin", 409600000);
    kztest::makeFile(tmp / "small.bin", 1000000);
    open();
    settleLayout();
    ASSERT_TRUE(kztest::waitFor([&] { return !view()->isInLiveResize(); }));
    view()->reloadData();
    const KZTreemapDrawItem* small = itemFor("small.bin");
    ASSERT_TRUE(small) << "in a map " << view()->width() << " wide";
    EXPECT_GE(small->rect.width(), 3);
    EXPECT_EQ(small->rect.height(), view()->height());
    save("small-beside-large");

    // The keyboard reaches it from the folder beside it, and a reader finds it in the list.
    view()->setFocus(Qt::TabFocusReason);
    ASSERT_TRUE(kztest::waitFor([&] { return view()->hasFocus(); }));
    select({"big"});
    QTest::keyClick(view(), Qt::Key_Right);
    ASSERT_EQ(view()->selectedFiles().size(), 1u);
    EXPECT_EQ(view()->selectedFiles().front()->nameBytes(), "small.bin");
    QAccessibleInterface* item = accessibleChild(accessibleView(), QStringLiteral("small.bin"));
    ASSERT_TRUE(item);
    EXPECT_EQ(item->text(QAccessible::Description), QStringLiteral("File, 1.0 MB"));
    EXPECT_TRUE(item->state().selected);
    EXPECT_FALSE(item->rect().isEmpty());
    save("small-beside-large-selected");
}
