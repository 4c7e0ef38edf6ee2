// The results screen's set-up, toolbar, path bar, settings, preview window, popover, key
// filter and what goes with the screen when it goes.
#include "app/TQNotifications.h"
#include "kit/ITPathbar.h"
#include "kit/TQTooltipPanel.h"
#include "model/KZPath.h"
#include "platform/KZNotificationCenter.h"
#include "tests/app/TreemapScreenFixture.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QTimer>
#include <QToolButton>

using screentest::TreemapScreen;
using Screen = TQTreemapViewController;

TEST_F(TreemapScreen, ToolbarGoesIntoTheWindowAndTheWizardsComesBackWhenTheScreenGoes)
{
    makeTree();
    open();
    QToolBar* bar = screen->toolbar();
    ASSERT_TRUE(bar);
    EXPECT_EQ(bar->parentWidget(), window.get());
    EXPECT_TRUE(wizardToolbar->isHidden());
    EXPECT_FALSE(bar->isHidden());

    // Eight items in the order of the identifiers, each with a label and an icon.
    QStringList order;
    for (QAction* a : bar->actions())
        if (!a->objectName().isEmpty()) order << a->objectName();
    EXPECT_EQ(order, (QStringList{Screen::ZoomItem, Screen::ReloadItem, Screen::CompressItem, Screen::DeleteItem,
                                  Screen::FinderItem, Screen::QuickLookItem, Screen::DeleteQueueItem,
                                  Screen::IgnoreItem}));
    for (const QString& id : order) {
        EXPECT_FALSE(screen->toolbarItem(id)->icon().isNull()) << id.toStdString();
        EXPECT_FALSE(screen->toolbarItem(id)->text().isEmpty()) << id.toStdString();
        EXPECT_TRUE(screen->toolbarButton(id)) << id.toStdString();
    }
    EXPECT_EQ(screen->toolbarItem(Screen::FinderItem)->text(), QStringLiteral("Show in File Manager"));

    // The title names the folder shown and its size.
    const QString expected =
        QStringLiteral("%1 - %2").arg(root->fileName(), KZMemoryFormatter().stringFromBytes(root->fileSize()));
    EXPECT_EQ(window->windowTitle(), expected);

    disappear();
    EXPECT_FALSE(wizardToolbar->isHidden());
    EXPECT_NE(screen->toolbar()->parentWidget(), window.get());
    EXPECT_FALSE(window->findChildren<QToolBar*>().contains(screen->toolbar()));

    // A screen that is destroyed without its disappearance hook gives the toolbar back too.
    close();
    makeTree();
    open();
    EXPECT_TRUE(wizardToolbar->isHidden());
    screen.reset();
    EXPECT_FALSE(wizardToolbar->isHidden());
    EXPECT_EQ(window->findChildren<QToolBar*>().size(), 1);
}

TEST_F(TreemapScreen, EnablingMatrix)
{
    makeTree();
    open();
    const QStringList selectionItems{Screen::ReloadItem, Screen::CompressItem, Screen::DeleteItem,
                                     Screen::FinderItem, Screen::QuickLookItem, Screen::IgnoreItem};
    for (const QString& id : selectionItems) EXPECT_FALSE(enabled(id)) << id.toStdString();
    EXPECT_FALSE(enabled(Screen::ZoomItem));
    EXPECT_FALSE(enabled(Screen::DeleteQueueItem));

    select({"big.bin"});
    EXPECT_FALSE(enabled(Screen::ReloadItem));
    for (const QString& id : {Screen::CompressItem, Screen::DeleteItem, Screen::FinderItem, Screen::QuickLookItem,
                              Screen::IgnoreItem})
        EXPECT_TRUE(enabled(id)) << id.toStdString();

    select({"docs"});
    EXPECT_TRUE(enabled(Screen::ReloadItem));
    select({"docs", "pkg.app"});
    EXPECT_FALSE(enabled(Screen::ReloadItem)) << "a package is never rescanned";
    EXPECT_TRUE(enabled(Screen::DeleteItem));

    // Delete needs every selected item to be removable.
    const std::string locked = tmp / "pkg.app";
    kz::setDeletableCheckForTesting([locked](const std::string& p) { return !kz_isEqualToPath(p, locked); });
    select({"docs", "pkg.app"});
    EXPECT_FALSE(enabled(Screen::DeleteItem));
    select({"docs"});
    EXPECT_TRUE(enabled(Screen::DeleteItem));

    // Zoom follows the zoom stack alone.
    view()->zoomToDirectory(screentest::childFolder(root, "docs"));
    EXPECT_TRUE(view()->selectedFiles().empty());
    EXPECT_TRUE(enabled(Screen::ZoomItem));
    EXPECT_FALSE(enabled(Screen::CompressItem));
    screen->toolbarItem(Screen::ZoomItem)->trigger();
    EXPECT_EQ(view()->directory(), root);
    EXPECT_FALSE(enabled(Screen::ZoomItem));

    // The queue item follows the setting.
    prefs().setUseDeleteQueue(true);
    EXPECT_TRUE(enabled(Screen::DeleteQueueItem));
    prefs().setUseDeleteQueue(false);
    EXPECT_FALSE(enabled(Screen::DeleteQueueItem));
}

TEST_F(TreemapScreen, AnEmptyResultShowsTheErrorLabelOnAnInertScreen)
{
    openWith({});
    EXPECT_FALSE(screen->treemapView());
    EXPECT_TRUE(screen->errorLabel()->isVisibleTo(screen->contentView()));
    EXPECT_EQ(screen->errorLabel()->text(), Screen::NothingToShow);
    ASSERT_TRUE(screen->toolbar());
    EXPECT_EQ(screen->toolbar()->parentWidget(), window.get());
    for (const QString& id : Screen::toolbarDefaultItemIdentifiers()) {
        if (!id.isEmpty()) {
            EXPECT_FALSE(enabled(id)) << id.toStdString();
        }
    }
    EXPECT_FALSE(screen->hasLocalEventListener());
    EXPECT_FALSE(screen->fileEventListener());
    screen->quickLook();
    EXPECT_EQ(env.application.services.beeps, 1);
    screen->showDeleteQueue(nullptr);
    EXPECT_FALSE(screen->popover());
    disappear();
    EXPECT_FALSE(wizardToolbar->isHidden());
}

TEST_F(TreemapScreen, PathBarFollowsTheSelectionAndItsDoubleClicksZoomRevealOrOfferANewScan)
{
    makeTree();
    open();
    ITPathbar* bar = screen->pathBar();
    EXPECT_TRUE(kz_isEqualToPath(bar->url(), tmp.path()));
    select({"big.bin"});
    EXPECT_TRUE(kz_isEqualToPath(bar->url(), tmp / "big.bin"));
    EXPECT_EQ(bar->pathComponentCells().size(), 2u);
    select({"big.bin", "docs"});
    EXPECT_TRUE(kz_isEqualToPath(bar->url(), tmp.path()));

    // The folder shown: the selection is cleared, no zoom.
    select({"big.bin"});
    screen->didClickPathbar(tmp.path());
    EXPECT_TRUE(view()->selectedFiles().empty());
    EXPECT_FALSE(view()->canZoomOut());

    // A scanned folder: zoom, with the title and the path bar following.
    screen->didClickPathbar(tmp / "docs");
    EXPECT_EQ(view()->directory()->nameBytes(), "docs");
    EXPECT_EQ(window->windowTitle(), QStringLiteral("docs - 180.0 KB"));
    EXPECT_TRUE(kz_isEqualToPath(bar->url(), tmp / "docs"));
    EXPECT_TRUE(enabled(Screen::ZoomItem));

    // A file and a package are shown in the file manager.
    screen->didClickPathbar(tmp / "big.bin");
    screen->didClickPathbar(tmp / "pkg.app");
    ASSERT_EQ(env.workspace.revealed.size(), 2u);
    EXPECT_EQ(env.workspace.revealed[0], std::vector<std::string>{tmp / "big.bin"});
    EXPECT_EQ(env.workspace.revealed[1], std::vector<std::string>{tmp / "pkg.app"});

    // Outside the scanned folder: a beep and the alert; "New Scan" starts over.
    int startOvers = 0;
    KZNotificationCenter::defaultCenter().addObserver(TQNotification_StartOver, [&](const KZNotification&) { ++startOvers; },
                                                      screen.get());
    env.alerts.service.answerNext(KZAlertFirstButtonReturn);
    screen->didClickPathbar(kz_stringByDeletingLastPathComponent(tmp.path()));
    EXPECT_EQ(startOvers, 0);
    env.alerts.service.answerNext(KZAlertSecondButtonReturn);
    screen->didClickPathbar("/");
    EXPECT_EQ(startOvers, 1);
    EXPECT_EQ(env.application.services.beeps, 2);
    ASSERT_EQ(alerts().size(), 2u);
    EXPECT_EQ(alerts()[0].alert.messageText, Screen::CannotZoomMessage);
    EXPECT_EQ(alerts()[0].alert.buttons, (QStringList{Screen::CloseButton, Screen::NewScanButton}));
    EXPECT_EQ(alerts()[0].alert.informativeText,
              Screen::CannotZoomInformative.arg(kz_localizedFileName(kz_stringByDeletingLastPathComponent(tmp.path()))));
}

TEST_F(TreemapScreen, SettingsAreFollowedAndOpeningTheScreenWritesNone)
{
    makeTree();
    int writes = 0;
    QObject counting;
    QObject::connect(&prefs(), &Preferences::propertyChanged, &counting, [&] { ++writes; });
    open();
    EXPECT_EQ(writes, 0);

    // Theme and depth recolour without rebuilding (the selection is cleared).
    select({"big.bin"});
    prefs().setSelectedThemeName(QStringLiteral("Obsidian"));
    EXPECT_EQ(screen->selectedTheme()->name(), QStringLiteral("Obsidian"));
    EXPECT_TRUE(view()->selectedFiles().empty());
    select({"big.bin"});
    prefs().setUseDepth(!prefs().useDepth());
    EXPECT_TRUE(view()->selectedFiles().empty());

    // Hidden items follow their setting.
    EXPECT_FALSE(nodeFor(".hidden"));
    prefs().setShowHiddenFiles(true);
    EXPECT_TRUE(nodeFor(".hidden"));
    prefs().setShowHiddenFiles(false);
    EXPECT_FALSE(nodeFor(".hidden"));

    // The ignore list follows the ignored paths; what is shown changes only on the next rebuild.
    const QString ignored = QString::fromStdString(tmp / "docs");
    prefs().setIgnoredPaths(QStringList{ignored});
    EXPECT_TRUE(screen->ignoreList()->filePathIsIgnored(tmp / "docs/a.txt"));
    EXPECT_TRUE(nodeFor("docs"));

    // No theme registered at all: the treemap still draws, in the first theme's colours.
    TQTheme::resetRegistry();
    prefs().setSelectedThemeName(QStringLiteral("Rainbow"));
    view()->reloadData();
    QImage image(view()->size(), QImage::Format_ARGB32);
    view()->render(&image);
    EXPECT_NE(image.pixelColor(image.width() / 2, image.height() / 2), QColor(Qt::black));
    TQTheme::registerAvailableThemes();
}

TEST_F(TreemapScreen, PreviewWindowToggledBySpaceAndTheToolbarShowsTheSelectionAndGoesWithTheScreen)
{
    makeTree();
    open();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    QTest::keyClick(view(), Qt::Key_Space);
    EXPECT_EQ(env.application.services.beeps, 1) << "nothing selected: a beep";
    EXPECT_FALSE(screen->previewPanel());

    select({"big.bin", "docs"});
    QTest::keyClick(view(), Qt::Key_Space);
    KZPreviewPanel* panel = screen->previewPanel();
    ASSERT_TRUE(panel);
    EXPECT_TRUE(panel->isVisible());
    EXPECT_EQ(panel->numberOfItems(), 2);
    EXPECT_TRUE(kztest::waitFor([&] { return panel->currentKind() != KZPreviewPanel::Kind::None; }));
    EXPECT_TRUE(panel->currentItem().path == tmp / "big.bin" || kz_isEqualToPath(panel->currentItem().path, tmp / "docs"));

    // The toolbar item toggles it too.
    screen->toolbarItem(Screen::QuickLookItem)->trigger();
    EXPECT_FALSE(panel->isVisible());
    screen->toolbarItem(Screen::QuickLookItem)->trigger();
    EXPECT_TRUE(panel->isVisible());

    // A new selection refreshes it; an empty one closes it.
    view()->setClickedNode(nodeFor("docs"));
    EXPECT_EQ(panel->numberOfItems(), 1);
    view()->clearSelection();
    EXPECT_FALSE(panel->isVisible());

    select({"docs"});
    screen->quickLook();
    EXPECT_TRUE(screen->previewPanel()->isVisible());
    disappear();
    EXPECT_FALSE(screen->previewPanel());
}

TEST_F(TreemapScreen, KeyFilterActsOnlyInTheActiveResultsWindowOutsideTextAndDialogs)
{
    makeTree();
    open();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    EXPECT_TRUE(screen->hasLocalEventListener());

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
    wizardToolbar->hide();
    settleLayout();
    select({"big.bin"});

    // Escape pressed in an open alert reaches the alert (its cancel button), not the treemap.
    KZMessageBoxAlertService realAlerts;
    KZAlert alert;
    alert.messageText = QStringLiteral("Question");
    alert.buttons = {QStringLiteral("Go"), QStringLiteral("Stop")};
    bool sent = false;
    QTimer::singleShot(0, [&] {
        ASSERT_TRUE(kztest::waitFor([] { return QApplication::activeModalWidget() != nullptr; }));
        QTest::keyClick(QApplication::activeModalWidget(), Qt::Key_Escape);
        sent = true;
    });
    const KZAlertResult answer = realAlerts.runModal(alert);
    EXPECT_TRUE(sent);
    EXPECT_EQ(answer.response, KZAlertSecondButtonReturn);
    EXPECT_EQ(view()->selectedFiles().size(), 1u);

    // Once the screen has gone, its filter has gone with it.
    disappear();
    EXPECT_FALSE(screen->hasLocalEventListener());
    EXPECT_FALSE(screen->fileEventListener());
}

TEST_F(TreemapScreen, QueuePopoverTogglesAndSilencesTheTooltipUntilItReportsItsClose)
{
    makeTree();
    prefs().setUseDeleteQueue(true);
    open();
    QToolButton* button = screen->toolbarButton(Screen::DeleteQueueItem);
    ASSERT_TRUE(button);
    screen->toolbarItem(Screen::DeleteQueueItem)->trigger();
    QPointer<INPopoverController> first = screen->popover();
    ASSERT_TRUE(first);
    EXPECT_TRUE(first->popoverIsVisible());
    EXPECT_EQ(first->delegate(), screen.get());
    EXPECT_EQ(first->cornerRadius(), 4.0);
    EXPECT_EQ(first->color(), QColor(Qt::white));

    // No tooltip while it exists.
    screen->treemapViewMouseMovedToPoint(view(), QPointF(30, 80), nodeFor("big.bin"));
    EXPECT_FALSE(screen->tooltipWindow()->isVisible());

    // A second press closes it; it is let go once it has reported.
    screen->toolbarItem(Screen::DeleteQueueItem)->trigger();
    EXPECT_FALSE(screen->popover());
    EXPECT_TRUE(kztest::waitFor([&] { return deferredDeletesDone() && first.isNull(); }));
    screen->treemapViewMouseMovedToPoint(view(), QPointF(30, 80), nodeFor("big.bin"));
    EXPECT_TRUE(screen->tooltipWindow()->isVisible());

    // Pressing again makes a new one; switching the queue off closes it.
    screen->toolbarItem(Screen::DeleteQueueItem)->trigger();
    EXPECT_FALSE(screen->tooltipWindow()->isVisible());
    ASSERT_TRUE(screen->popover());
    EXPECT_NE(screen->popover(), first.data());
    prefs().setUseDeleteQueue(false);
    EXPECT_FALSE(screen->popover());
    EXPECT_FALSE(enabled(Screen::DeleteQueueItem));
}

TEST_F(TreemapScreen, EverythingTheScreenOpenedGoesWithIt)
{
    makeTree();
    prefs().setUseDeleteQueue(true);
    open();
    ASSERT_TRUE(screen->fileEventListener());
    ASSERT_TRUE(screen->hasLocalEventListener());
    select({"big.bin"});
    screen->quickLook();
    screen->treemapViewMouseMovedToPoint(view(), QPointF(30, 80), nodeFor("big.bin"));
    EXPECT_TRUE(screen->tooltipWindow()->isVisible());
    screen->showDeleteQueue(screen->toolbarButton(Screen::DeleteQueueItem));
    QPointer<INPopoverController> popover = screen->popover();
    QPointer<KZPreviewPanel> preview = screen->previewPanel();
    ASSERT_TRUE(popover && preview);

    disappear();
    EXPECT_FALSE(screen->isOnShow());
    EXPECT_FALSE(screen->fileEventListener());
    EXPECT_FALSE(screen->hasLocalEventListener());
    EXPECT_FALSE(screen->tooltipWindow()->isVisible());
    EXPECT_TRUE(preview.isNull());
    EXPECT_FALSE(screen->popover());
    EXPECT_TRUE(kztest::waitFor([&] { return deferredDeletesDone() && popover.isNull(); }));
    EXPECT_FALSE(wizardToolbar->isHidden());
}
