// The results screen's set-up, toolbar, path bar, settings, preview window, popover, key
// filter and what goes with the screen when it goes.
#include "app/TQNotifications.h"
#include "kit/ITPathbar.h"
#include "kit/TQTooltipPanel.h"
#include "tests/app/TreemapScreenFixture.h"

#include <QAction>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>

using screentest::TreemapScreen;
using Screen = TQTreemapViewController;

TEST_F(TreemapScreen, ToolbarTitleAndEnablingMatrix)
{
    makeTree();
    open();
    EXPECT_EQ(screen->toolbar()->toolBar()->parentWidget(), window.get());
    EXPECT_TRUE(wizardToolbar->isHidden());
    QStringList order;
    for (QAction* a : screen->toolbar()->toolBar()->actions())
        if (!a->objectName().isEmpty() && !a->icon().isNull()) order << a->objectName();
    EXPECT_EQ(order, (QStringList{"Zoom", "Reload", "Compress", "Delete", "FinderItem", "QuickLook", "DeleteQueue",
                                  "Ignore"}));
    EXPECT_EQ(screen->toolbarItem(TQTreemapToolbar::FinderItem)->text(), QStringLiteral("Show in File Manager"));
    EXPECT_EQ(window->windowTitle(), root->fileName() + " - " + KZMemoryFormatter().stringFromBytes(root->fileSize()));

    const QStringList selectionItems{"Reload", "Compress", "Delete", "FinderItem", "QuickLook", "Ignore"};
    for (const QString& id : selectionItems + QStringList{"Zoom", "DeleteQueue"})
        EXPECT_FALSE(enabled(id)) << id.toStdString();
    select({"big.bin"});
    for (const QString& id : selectionItems) EXPECT_EQ(enabled(id), id != "Reload") << id.toStdString();
    select({"docs"});
    EXPECT_TRUE(enabled("Reload"));
    select({"docs", "pkg.app"});
    EXPECT_FALSE(enabled("Reload")) << "a package is never rescanned";
    EXPECT_TRUE(enabled("Delete"));
    const std::string locked = tmp / "pkg.app";
    kz::setDeletableCheckForTesting([locked](const std::string& p) { return !kz_isEqualToPath(p, locked); });
    select({"docs", "pkg.app"});
    EXPECT_FALSE(enabled("Delete")) << "every selected item must be removable";

    // Zoom follows the zoom stack alone; the queue item its setting.
    view()->zoomToDirectory(screentest::childFolder(root, "docs"));
    EXPECT_TRUE(enabled("Zoom"));
    EXPECT_FALSE(enabled("Compress"));
    EXPECT_EQ(window->windowTitle(), QStringLiteral("docs - 180.0 KB"));
    screen->toolbarItem(TQTreemapToolbar::ZoomItem)->trigger();
    EXPECT_FALSE(enabled("Zoom"));
    prefs().setUseDeleteQueue(true);
    EXPECT_TRUE(enabled("DeleteQueue"));
}

TEST_F(TreemapScreen, TheTitleFollowsTheTotalWhenAFolderIsRescanned)
{
    makeTree();
    open();
    const KZMemoryFormatter formatter;
    const double before = root->fileSize();
    EXPECT_EQ(window->windowTitle().toStdString(),
              (root->fileName() + " - " + formatter.stringFromBytes(before)).toStdString());

    // A big file arrives in a folder; the folder's Refresh finds it.
    const long long added = 157LL * 1024 * 1024;
    kztest::makeFile(tmp / "docs/new.bin", added);
    select({"docs"});
    screen->toolbarItem(TQTreemapToolbar::ReloadItem)->trigger();
    const std::string docs = tmp / "docs/";
    ASSERT_TRUE(view()->nodeLists().isReloadingPath(docs));
    ASSERT_TRUE(kztest::waitFor([&] { return !view()->nodeLists().isReloadingPath(docs); }));
    ASSERT_TRUE(screentest::child(screentest::childFolder(root, "docs"), "new.bin"));

    EXPECT_EQ(root->fileSize(), before + double(added));
    const std::string title = window->windowTitle().toStdString();
    EXPECT_EQ(title, (root->fileName() + " - " + formatter.stringFromBytes(before + double(added))).toStdString());
    EXPECT_TRUE(title.ends_with(" - 165.4 MB")) << title;

    // A rescan that ends after the screen went leaves the window's title to the screen shown.
    kztest::makeFile(tmp / "docs/later.bin", 5000);
    select({"docs"});
    screen->toolbarItem(TQTreemapToolbar::ReloadItem)->trigger();
    ASSERT_TRUE(view()->nodeLists().isReloadingPath(docs));
    disappear();
    window->setWindowTitle(QStringLiteral("Sizemere"));
    ASSERT_TRUE(kztest::waitFor([&] { return !view()->nodeLists().isReloadingPath(docs); }));
    EXPECT_TRUE(screentest::child(screentest::childFolder(root, "docs"), "later.bin"));
    EXPECT_EQ(window->windowTitle().toStdString(), "Sizemere");
}

TEST_F(TreemapScreen, AnEmptyResultShowsTheErrorLabelOnAnInertScreen)
{
    openWith({});
    EXPECT_FALSE(screen->treemapView());
    EXPECT_TRUE(screen->errorLabel()->isVisibleTo(screen->contentView()));
    EXPECT_EQ(screen->toolbar()->toolBar()->parentWidget(), window.get());
    for (const QString& id : TQTreemapToolbar::defaultItemIdentifiers())
        EXPECT_TRUE(id.isEmpty() || !enabled(id)) << id.toStdString();
    EXPECT_FALSE(screen->hasLocalEventListener() || screen->rescanPrompt() || screen->removalFlow());
    screen->quickLook();
    EXPECT_EQ(env.application.services.beeps, 1);
    disappear();
    EXPECT_FALSE(wizardToolbar->isHidden());
}

TEST_F(TreemapScreen, PathBarFollowsTheSelectionAndItsDoubleClicksZoomRevealOrOfferANewScan)
{
    makeTree();
    open();
    ITPathbar* bar = screen->pathBar();
    select({"big.bin"});
    EXPECT_TRUE(kz_isEqualToPath(bar->url(), tmp / "big.bin"));
    select({"big.bin", "docs"});
    EXPECT_TRUE(kz_isEqualToPath(bar->url(), tmp.path()));

    screen->didClickPathbar(tmp.path()); // the folder shown: the selection goes, no zoom
    EXPECT_TRUE(view()->selectedFiles().empty());
    EXPECT_FALSE(view()->canZoomOut());
    screen->didClickPathbar(tmp / "docs");
    EXPECT_EQ(view()->directory()->nameBytes(), "docs");
    EXPECT_TRUE(kz_isEqualToPath(bar->url(), tmp / "docs"));
    screen->didClickPathbar(tmp / "big.bin"); // a file and a package are revealed
    screen->didClickPathbar(tmp / "pkg.app");
    EXPECT_EQ(env.workspace.revealed, (std::vector<std::vector<std::string>>{{tmp / "big.bin"}, {tmp / "pkg.app"}}));

    int startOvers = 0;
    KZNotificationCenter::defaultCenter().addObserver(
        TQNotification_StartOver, [&](const KZNotification&) { ++startOvers; }, screen.get());
    env.alerts.service.answerNext(KZAlertFirstButtonReturn);
    screen->didClickPathbar("/");
    EXPECT_EQ(startOvers, 0);
    env.alerts.service.answerNext(KZAlertSecondButtonReturn);
    screen->didClickPathbar("/");
    EXPECT_EQ(startOvers, 1);
    EXPECT_EQ(env.application.services.beeps, 2);
    EXPECT_EQ(alerts().back().alert.messageText, Screen::CannotZoomMessage);
    EXPECT_EQ(alerts().back().alert.buttons, (QStringList{"Close", "New Scan"}));
}

TEST_F(TreemapScreen, SettingsAreFollowedAndOpeningTheScreenWritesNone)
{
    makeTree();
    int writes = 0;
    QObject counting;
    QObject::connect(&prefs(), &Preferences::propertyChanged, &counting, [&] { ++writes; });
    open();
    EXPECT_EQ(writes, 0);

    select({"big.bin"});
    prefs().setSelectedThemeName(QStringLiteral("Obsidian"));
    EXPECT_EQ(screen->selectedTheme()->name(), QStringLiteral("Obsidian"));
    EXPECT_TRUE(view()->selectedFiles().empty()) << "recoloured";
    EXPECT_FALSE(nodeFor(".hidden"));
    prefs().setShowHiddenFiles(true);
    EXPECT_TRUE(nodeFor(".hidden"));
    prefs().setIgnoredPaths(QStringList{QString::fromStdString(tmp / "docs")});
    EXPECT_TRUE(screen->ignoreList()->filePathIsIgnored(tmp / "docs/a.txt"));
    EXPECT_TRUE(nodeFor("docs")) << "shown until the next rebuild";

    // No theme registered at all: the treemap still draws, in the first theme's colours.
    TQTheme::resetRegistry();
    prefs().setSelectedThemeName(QStringLiteral("Rainbow"));
    QImage image(view()->size(), QImage::Format_ARGB32);
    view()->render(&image);
    EXPECT_NE(image.pixelColor(image.width() / 2, image.height() / 2), QColor(Qt::black));
    TQTheme::registerAvailableThemes();
}

TEST_F(TreemapScreen, PreviewWindowFollowsTheSelection)
{
    makeTree();
    open();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    select({"big.bin", "docs"});
    QTest::keyClick(view(), Qt::Key_Space);
    KZPreviewPanel* panel = screen->previewPanel();
    ASSERT_TRUE(panel && panel->isVisible());
    EXPECT_EQ(panel->numberOfItems(), 2);
    screen->toolbarItem(TQTreemapToolbar::QuickLookItem)->trigger();
    EXPECT_FALSE(panel->isVisible());
    screen->toolbarItem(TQTreemapToolbar::QuickLookItem)->trigger();
    view()->setClickedNode(nodeFor("docs"));
    EXPECT_EQ(panel->numberOfItems(), 1);
    view()->clearSelection();
    EXPECT_FALSE(panel->isVisible()) << "nothing left to show";
    QTest::keyClick(view(), Qt::Key_Space);
    EXPECT_EQ(env.application.services.beeps, 1);
}

TEST_F(TreemapScreen, KeyFilterActsOnlyInTheActiveResultsWindowOutsideTextAndDialogs)
{
    makeTree();
    open();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    select({"big.bin"});
    QTest::keyClick(view(), Qt::Key_Escape);
    EXPECT_TRUE(view()->selectedFiles().empty());

    // A text field keeps its keys.
    auto* field = new QLineEdit;
    wizardToolbar->show();
    wizardToolbar->addWidget(field);
    settleLayout();
    field->setFocus();
    select({"big.bin"});
    QTest::keyClick(field, Qt::Key_Space);
    QTest::keyClick(field, Qt::Key_Escape);
    EXPECT_EQ(field->text(), QStringLiteral(" "));
    EXPECT_FALSE(screen->previewPanel());
    EXPECT_EQ(view()->selectedFiles().size(), 1u);

    // Escape pressed in an open alert reaches the alert (its cancel button), not the treemap.
    KZMessageBoxAlertService realAlerts;
    QTimer::singleShot(0, [] {
        ASSERT_TRUE(kztest::waitFor([] { return QApplication::activeModalWidget() != nullptr; }));
        QTest::keyClick(QApplication::activeModalWidget(), Qt::Key_Escape);
    });
    KZAlert question;
    question.buttons = {"Go", "Stop"};
    EXPECT_EQ(realAlerts.runModal(question).response, KZAlertSecondButtonReturn);
    EXPECT_EQ(view()->selectedFiles().size(), 1u);

    // Escape closes an open popover and leaves the selection alone.
    screen->showDeleteQueue(screen->toolbar()->button(TQTreemapToolbar::DeleteQueueItem));
    ASSERT_TRUE(screen->removalFlow()->popover());
    view()->setFocus();
    QTest::keyClick(view(), Qt::Key_Escape);
    EXPECT_FALSE(screen->removalFlow()->popover());
    EXPECT_EQ(view()->selectedFiles().size(), 1u);
}

TEST_F(TreemapScreen, QueuePopoverTogglesAndSilencesTheTooltipUntilItReportsItsClose)
{
    makeTree();
    prefs().setUseDeleteQueue(true);
    open();
    screen->toolbarItem(TQTreemapToolbar::DeleteQueueItem)->trigger();
    QPointer<INPopoverController> first = screen->removalFlow()->popover();
    ASSERT_TRUE(first && first->popoverIsVisible());
    screen->treemapViewMouseMovedToPoint(view(), QPointF(30, 80), nodeFor("big.bin"));
    EXPECT_FALSE(screen->tooltip()->panel()->isVisible());
    screen->toolbarItem(TQTreemapToolbar::DeleteQueueItem)->trigger(); // closes; let go once reported
    EXPECT_TRUE(
        kztest::waitFor([&] { return deferredDeletesDone() && first.isNull() && !screen->removalFlow()->popover(); }));
    screen->treemapViewMouseMovedToPoint(view(), QPointF(30, 80), nodeFor("big.bin"));
    EXPECT_TRUE(screen->tooltip()->panel()->isVisible());
    screen->toolbarItem(TQTreemapToolbar::DeleteQueueItem)->trigger(); // a new one; the setting off closes it
    ASSERT_TRUE(screen->removalFlow()->popover());
    prefs().setUseDeleteQueue(false);
    EXPECT_FALSE(screen->removalFlow()->popover());
}

TEST_F(TreemapScreen, EverythingTheScreenOpenedGoesWithIt)
{
    makeTree();
    prefs().setUseDeleteQueue(true);
    open();
    ASSERT_TRUE(screen->rescanPrompt()->fileEventListener() && screen->hasLocalEventListener());
    select({"big.bin"});
    screen->quickLook();
    screen->treemapViewMouseMovedToPoint(view(), QPointF(30, 80), nodeFor("big.bin"));
    EXPECT_TRUE(screen->tooltip()->panel()->isVisible());
    screen->showDeleteQueue(screen->toolbar()->button(TQTreemapToolbar::DeleteQueueItem));
    EXPECT_FALSE(screen->tooltip()->panel()->isVisible()) << "hidden when the popover shows";
    QPointer<INPopoverController> popover = screen->removalFlow()->popover();
    QPointer<KZPreviewPanel> preview = screen->previewPanel();
    ASSERT_TRUE(popover && preview);

    disappear();
    EXPECT_FALSE(screen->rescanPrompt()->fileEventListener() || screen->hasLocalEventListener() ||
                 screen->removalFlow()->popover());
    EXPECT_FALSE(screen->tooltip()->panel()->isVisible());
    ASSERT_TRUE(preview.isNull() || !preview->isVisible());
    EXPECT_TRUE(kztest::waitFor([&] { return deferredDeletesDone() && popover.isNull() && preview.isNull(); }));
    EXPECT_FALSE(wizardToolbar->isHidden());
    EXPECT_FALSE(window->findChildren<QToolBar*>().contains(screen->toolbar()->toolBar()));

    // Destroyed without its disappearance hook, a screen gives the toolbar back too.
    close();
    makeTree();
    open();
    screen.reset();
    EXPECT_FALSE(wizardToolbar->isHidden());
    EXPECT_EQ(window->findChildren<QToolBar*>().size(), 1);
}

TEST_F(TreemapScreen, FoldersThatCouldNotBeReadAreNamedAboveAnUnchangedMap)
{
    makeTree();
    open();
    // Every folder was read: no notice.
    EXPECT_FALSE(screen->unreadableNotice()->widget()->isVisibleTo(screen->contentView()));
    const auto before = view()->drawItems().size();
    const double total = root->fileSize();

    std::vector<std::string> paths;
    for (int i = 0; i < 30; ++i) paths.push_back(tmp / ("locked" + std::to_string(i) + "/"));
    screen->setUnreadableFolders(40, paths);
    EXPECT_TRUE(screen->unreadableNotice()->widget()->isVisibleTo(screen->contentView()));
    EXPECT_EQ(screen->unreadableNotice()->label()->text(),
              QStringLiteral("40 folders could not be read: they are missing from the map and from the totals."));
    EXPECT_EQ(screen->unreadableNotice()->widget()->accessibleName(), screen->unreadableNotice()->label()->text());
    EXPECT_EQ(view()->drawItems().size(), before);
    EXPECT_EQ(root->fileSize(), total);

    // The button names them, the first ones one by one, the rest counted.
    QTest::mouseClick(screen->unreadableNotice()->button(), Qt::LeftButton);
    ASSERT_EQ(env.alerts.service.shown().size(), 1u);
    const KZAlert alert = env.alerts.service.shown()[0].alert;
    EXPECT_EQ(alert.messageText, QStringLiteral("40 folders could not be read"));
    EXPECT_TRUE(alert.informativeText.contains(QString::fromStdString(tmp / "locked0")));
    EXPECT_FALSE(alert.informativeText.contains(QString::fromStdString(tmp / "locked0/")));
    EXPECT_TRUE(alert.informativeText.contains(QString::fromStdString(tmp / "locked24")));
    EXPECT_FALSE(alert.informativeText.contains(QString::fromStdString(tmp / "locked25")));
    EXPECT_TRUE(alert.informativeText.contains(QStringLiteral("…and 15 more.")));
    EXPECT_EQ(alert.buttons, (QStringList{QStringLiteral("Okay")}));

    screen->setUnreadableFolders(1, {tmp / "one/"});
    EXPECT_EQ(screen->unreadableNotice()->label()->text(),
              QStringLiteral("1 folder could not be read: it is missing from the map and from the totals."));
    screen->unreadableNotice()->showFolders();
    ASSERT_EQ(env.alerts.service.shown().size(), 2u);
    EXPECT_EQ(env.alerts.service.shown()[1].alert.messageText, QStringLiteral("1 folder could not be read"));
    EXPECT_FALSE(env.alerts.service.shown()[1].alert.informativeText.contains(QStringLiteral("more")));
    EXPECT_TRUE(env.alerts.service.shown()[1].alert.informativeText.startsWith(TQUnreadableNotice::OneInformative));
    EXPECT_TRUE(alert.informativeText.startsWith(TQUnreadableNotice::ManyInformative));
    QDir().mkpath(kztest::outputFolder() + "/results-screen");
    EXPECT_TRUE(window->grab().save(kztest::outputFolder() + "/results-screen/unreadable-notice.png"));

    screen->setUnreadableFolders(0, {});
    EXPECT_FALSE(screen->unreadableNotice()->widget()->isVisibleTo(screen->contentView()));
}
