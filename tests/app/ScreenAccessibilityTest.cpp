// Every screen read as a screen reader reads it, through QAccessible: no visible control
// without a role and a name, the values the screens show, and the windows as windows.

#include "app/KZAboutViewController.h"
#include "app/KZFinishedViewController.h"
#include "app/KZLCDLabel.h"
#include "app/KZLCDStatusViewController.h"
#include "app/TQCellTableView.h"
#include "app/TQCompressingWindowController.h"
#include "app/TQDeleteQueueViewController.h"
#include "app/TQEmptyTrashWindowController.h"
#include "app/TQPreferencesWindowController.h"
#include "kit/KZController.h"
#include "kit/KZProgressIndicator.h"
#include "kit/KZSpaceLabel.h"
#include "kit/TQTooltipPanel.h"
#include "platform/widgets/KZCWindow.h"
#include "platform/widgets/KZPreviewPanel.h"
#include "tests/app/AppTestSupport.h"
#include "tests/app/ScanTestSupport.h"
#include "tests/app/TreemapScreenFixture.h"
#include "tests/app/WizardTestSupport.h"
#include "tests/support/Accessibility.h"
#include "tests/support/TestSupport.h"
#include "treemap/TQTheme.h"
#include "ui_KZFinishedViewController.h"
#include "ui_TQPreferencesWindowController.h"

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QMainWindow>
#include <QProgressBar>
#include <QTest>

#include <gtest/gtest.h>

namespace {

using kztest::AccessibleObject;
using Screen = TQTreemapViewController;

// The tree as a reader walks it, one object a line (for failure messages).
std::string dump(QWidget* root)
{
    std::string out;
    for (const AccessibleObject& o : kztest::accessibleObjects(root))
        out += std::string(size_t(o.depth) * 2, ' ') + kztest::describe(o).toStdString() + "\n";
    return out;
}

void expectEveryObjectNamed(QWidget* root, const char* screen)
{
    const QStringList faults = kztest::unnamedAccessibleObjects(root);
    EXPECT_TRUE(faults.isEmpty()) << screen << ":\n"
                                  << faults.join(QLatin1Char('\n')).toStdString() << "\nthe tree:\n"
                                  << dump(root);
}

// The object of the widget as a reader meets it.
AccessibleObject read(QWidget* widget)
{
    for (const AccessibleObject& o : kztest::accessibleObjects(widget))
        if (o.iface->object() == widget) return o;
    ADD_FAILURE() << "not visible to assistive technology: " << widget->objectName().toStdString();
    return {};
}

// Shows a screen's view in a main window, as the wizard does.
struct Host {
    QMainWindow window;
    explicit Host(QWidget* content, QSize size = QSize(700, 480))
    {
        window.setWindowTitle(QStringLiteral("Sizemere"));
        window.setCentralWidget(content);
        window.resize(size);
        window.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&window));
    }
    // The view goes back to its controller, which deletes it.
    ~Host()
    {
        if (QWidget* content = window.takeCentralWidget()) content->setParent(nullptr);
    }
    Host(const Host&) = delete;
    Host& operator=(const Host&) = delete;
    QWidget* root() { return &window; }
};

} // namespace

// The folder step, the status panel above it, and the results of a scan in the same window.
struct WizardAccessibility : kztest::WizardFixture {};

TEST_F(WizardAccessibility, FolderStepAndStatusPanelReadWithNames)
{
    QWidget* window = wc->window();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    expectEveryObjectNamed(window, "folder step");

    const AccessibleObject folder = read(widget("fileImageView"));
    EXPECT_EQ(folder.role, QAccessible::PushButton);
    EXPECT_EQ(folder.name, QStringLiteral("Folder to scan"));
    EXPECT_EQ(folder.description, QStringLiteral("Choose a folder to scan"));
    EXPECT_EQ(kztest::describe(read(label("fileNameLabel"))), QStringLiteral("label 'Select a folder'"));

    // The status panel: a status bar whose lines read whole, as text too.
    QAccessibleInterface* status = kztest::findAccessible(window, QAccessible::StatusBar, QStringLiteral("Status"));
    ASSERT_NE(status, nullptr) << dump(window);
    QAccessibleInterface* detail =
        kztest::findAccessible(window, QAccessible::StaticText,
                               QStringLiteral("Choose a folder to see where its space goes"));
    ASSERT_NE(detail, nullptr) << dump(window);
    ASSERT_NE(detail->textInterface(), nullptr);
    EXPECT_EQ(detail->textInterface()->text(0, -1), QStringLiteral("Choose a folder to see where its space goes"));
    EXPECT_TRUE(detail->state().readOnly);
}

TEST_F(WizardAccessibility, ResultsReadTheToolbarThePathAndTheTreemapsItems)
{
    kztest::TempDir dir;
    kztest::makeFile(dir / "docs/a.txt", 120000);
    kztest::makeFile(dir / "big.bin", 400000);
    runToResults(dir.path());
    QWidget* window = wc->window();
    kztest::waitFor([&] { return wc->treemapViewController()->treemapView()->drawItems().size() > 1; });
    expectEveryObjectNamed(window, "results");

    // The path bar: a list named Path whose items are the folders, pressed to show one.
    QAccessibleInterface* path = kztest::findAccessible(window, QAccessible::List, QStringLiteral("Path"));
    ASSERT_NE(path, nullptr) << dump(window);
    ASSERT_GE(path->childCount(), 1);
    QAccessibleInterface* last = path->child(path->childCount() - 1);
    EXPECT_EQ(last->role(), QAccessible::ListItem);
    EXPECT_EQ(last->text(QAccessible::Name), QString::fromStdString(dir.path().substr(dir.path().rfind('/') + 1)));
    EXPECT_EQ(path->text(QAccessible::Value), QString::fromStdString(dir.path()));

    // The treemap's items: each named, with its kind and size.
    QAccessibleInterface* treemap = kztest::findAccessible(window, QAccessible::List, QStringLiteral("Treemap"));
    ASSERT_NE(treemap, nullptr) << dump(window);
    QAccessibleInterface* big = kztest::findAccessible(window, QAccessible::ListItem, QStringLiteral("big.bin"));
    ASSERT_NE(big, nullptr) << dump(window);
    EXPECT_TRUE(big->text(QAccessible::Description).startsWith(QStringLiteral("File, ")));

    // The toolbar's buttons read their titles.
    for (const QString& title : {QStringLiteral("Delete"), QStringLiteral("Compress")})
        EXPECT_NE(kztest::findAccessible(window, QAccessible::PushButton, title), nullptr) << title.toStdString();
}

TEST_F(WizardAccessibility, TheScanningScreensIconReadsAsTheFoldersPicture)
{
    kztest::TempDir dir;
    kztest::makeDir(dir / "Holiday Photos");
    kztest::makeFile(dir / "Holiday Photos/a.jpg", 120000);
    runToResults(dir / "Holiday Photos");
    // Back shows the scanning screen again, with its result and the panel's finished state.
    click("backButton");
    ASSERT_TRUE(waitForStep(1));
    env.clock.advance(1);
    QWidget* window = wc->window();
    expectEveryObjectNamed(window, "scanning step with a result");
    const AccessibleObject icon = read(widget("imageView"));
    EXPECT_EQ(icon.role, QAccessible::Graphic);
    EXPECT_EQ(icon.name, QStringLiteral("Holiday Photos"));
    EXPECT_EQ(icon.description, QStringLiteral("The icon of the folder being scanned"));
    EXPECT_NE(kztest::findAccessible(window, QAccessible::Graphic, QStringLiteral("Scan complete")), nullptr)
        << dump(window);
}

TEST(ScreenAccessibility, StatusPanelPicturesAndRunningDotsSayWhatTheyAre)
{
    kztest::ScreenTestEnvironment env;
    auto panel = controller<KZLCDStatusViewController>();
    Host host(panel->view(), QSize(400, 40));
    QWidget* root = host.root();
    // Each state's picture reads as an image named by what it stands for.
    const struct {
        void (KZLCDStatusViewController::*show)();
        const char* name;
        const char* description;
    } states[] = {
        {&KZLCDStatusViewController::showAvailableSpaceView, "Ready to scan", "A pie chart"},
        {&KZLCDStatusViewController::showScanningView, "Scanning", "A magnifying glass"},
        {&KZLCDStatusViewController::showFinishedView, "Scan complete", "A check mark"},
        {&KZLCDStatusViewController::showNoDuplicatesView, "No results", "An empty folder"},
        {&KZLCDStatusViewController::showCongratsView, "Clean-up complete", "A star"},
    };
    for (const auto& state : states) {
        (panel.get()->*state.show)();
        env.clock.advance(1);
        expectEveryObjectNamed(root, state.name);
        QAccessibleInterface* picture =
            kztest::findAccessible(root, QAccessible::Graphic, QString::fromUtf8(state.name));
        ASSERT_NE(picture, nullptr) << state.name << "\n" << dump(root);
        EXPECT_EQ(picture->text(QAccessible::Description), QString::fromUtf8(state.description));
        EXPECT_TRUE(picture->text(QAccessible::Value).isEmpty());
    }

    // The dots after the scanning title: an animation named once, whatever dots show.
    panel->showScanningView();
    env.clock.advance(1.2);
    ASSERT_EQ(panel->dotsLabel()->text(), QStringLiteral(".."));
    expectEveryObjectNamed(root, "scanning with dots");
    const AccessibleObject dots = read(panel->dotsLabel());
    EXPECT_EQ(dots.role, QAccessible::Animation);
    EXPECT_EQ(dots.name, QStringLiteral("Scanning in progress"));
    EXPECT_TRUE(dots.value.isEmpty()) << dots.value.toStdString();
    EXPECT_TRUE(dots.iface->state().animated);
    env.clock.advance(0.5);
    EXPECT_EQ(read(panel->dotsLabel()).name, QStringLiteral("Scanning in progress"));

    // Work of the run still going after Finish: the picture and the bar say so.
    panel->showWorkingView(QStringLiteral("Still deleting"), 0.5);
    env.clock.advance(1);
    expectEveryObjectNamed(root, "still working");
    QAccessibleInterface* hourglass =
        kztest::findAccessible(root, QAccessible::Graphic, QStringLiteral("Work still running"));
    ASSERT_NE(hourglass, nullptr) << dump(root);
    EXPECT_EQ(hourglass->text(QAccessible::Description), QStringLiteral("An hourglass"));
    const AccessibleObject bar = read(panel->workingProgressBar());
    EXPECT_EQ(bar.role, QAccessible::ProgressBar);
    EXPECT_EQ(bar.name, QStringLiteral("Progress of the work still running"));
    EXPECT_EQ(bar.value, QStringLiteral("50%"));
}

TEST(ScreenAccessibility, ScanningCountersReadTheirCaptionAndTheirValue)
{
    kztest::ScreenTestEnvironment env;
    auto panel = controller<KZLCDStatusViewController>();
    auto screen = controller<kztest::ScanScreenProbe>();
    screen->setLcdViewController(panel.get());
    Host host(screen->view());
    QWidget* view = host.root();
    screen->setIsScanning(true);
    screen->scanDidCount(1234);
    screen->scanDidMeasure(2.5e9);
    kztest::drainBackgroundWork();
    env.clock.advance(1);
    expectEveryObjectNamed(view, "scanning");

    QAccessibleInterface* items =
        kztest::findAccessible(view, QAccessible::StaticText, QStringLiteral("Items Scanned"));
    ASSERT_NE(items, nullptr) << dump(view);
    EXPECT_TRUE(items->text(QAccessible::Value).contains(QStringLiteral("1"))) << dump(view);
    QAccessibleInterface* total = kztest::findAccessible(view, QAccessible::StaticText, QStringLiteral("Total Size"));
    ASSERT_NE(total, nullptr) << dump(view);
    EXPECT_FALSE(total->text(QAccessible::Value).isEmpty()) << dump(view);

    // The panel while scanning, and after a failure: its lines read whole.
    Host panelHost(panel->view(), QSize(400, 40));
    expectEveryObjectNamed(panelHost.root(), "status panel");
    screen->scanDidFail(QStringLiteral("“/srv/x” could not be opened"));
    EXPECT_NE(kztest::findAccessible(panelHost.root(), QAccessible::StaticText,
                                     QStringLiteral("“/srv/x” could not be opened")),
              nullptr)
        << dump(panelHost.root());
    expectEveryObjectNamed(view, "failed scan");
}

TEST(ScreenAccessibility, FinishedScreenReadsTheFreedTotalAndTheCompressedCount)
{
    kztest::ScreenTestEnvironment env;
    auto finished = KZFinishedViewController::controllerWithTotalFreed(25.7e6, 3);
    Host host(finished->view());
    QWidget* view = host.root();
    env.clock.advance(2);
    expectEveryObjectNamed(view, "finished");

    const AccessibleObject freed = read(finished->ui()->totalFreedLabel);
    EXPECT_EQ(freed.role, QAccessible::StaticText);
    EXPECT_EQ(freed.name, QStringLiteral("freed on your disk"));
    EXPECT_EQ(freed.value, QStringLiteral("25.7 MB"));
    const AccessibleObject compressed = read(finished->ui()->totalCompressedLabel);
    EXPECT_EQ(compressed.name, QStringLiteral("files/folders compressed"));
    EXPECT_EQ(compressed.value, QStringLiteral("3"));
}

TEST(ScreenAccessibility, PreferencesPanesAndAboutReadWithNames)
{
    kztest::ScreenTestEnvironment env;
    if (!TQTheme::availableThemes()) TQTheme::registerAvailableThemes();
    env.settings.preferences().addIgnoredFilePaths({QStringLiteral("/srv/ignored")});
    auto wc = controller<TQPreferencesWindowController>();
    wc->showWindow();
    QWidget* window = wc->window();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    expectEveryObjectNamed(window, "general pane");

    Ui::TQPreferencesWindowController* form = wc->ui();
    const AccessibleObject size = read(form->fileSizeTextField);
    EXPECT_EQ(size.role, QAccessible::EditableText);
    EXPECT_EQ(size.name, QStringLiteral("Leave out files smaller than"));
    EXPECT_EQ(size.value, form->fileSizeTextField->text());
    EXPECT_EQ(read(form->ignoredExtensionsField).name, QStringLiteral("Ignored extensions"));
    const AccessibleObject table = read(form->ignoredTableView);
    EXPECT_EQ(table.role, QAccessible::Table);
    EXPECT_EQ(table.name, QStringLiteral("Ignored folders"));
    EXPECT_NE(kztest::findAccessible(form->ignoredTableView, QAccessible::Cell, QStringLiteral("/srv/ignored")),
              nullptr)
        << dump(form->ignoredTableView);
    EXPECT_EQ(read(form->addFolderButton).name, QStringLiteral("Add Folder"));
    const AccessibleObject panes = read(form->toolbar);
    EXPECT_EQ(panes.role, QAccessible::ToolBar);
    EXPECT_EQ(panes.name, QStringLiteral("Preferences"));

    wc->openColorTheme();
    expectEveryObjectNamed(window, "color theme pane");
    wc->openAbout(false);
    expectEveryObjectNamed(window, "about pane");
}

TEST(ScreenAccessibility, QueueSheetAndCompressionWindowReadTheirRowsAndProgress)
{
    kztest::ScreenTestEnvironment env;
    kztest::TempDir dir;
    kztest::makeFile(dir / "one.txt", 1500);
    KZFilePtr one = KZFile::fileWithPath(dir / "one.txt", true);
    TQDeleteQueue::sharedInstance().addFilesToQueue({one});

    // The popover's content: a table named by its title, a row per item with its size.
    auto queue = controller<TQDeleteQueueViewController>();
    Host host(queue->view(), QSize(400, 300));
    expectEveryObjectNamed(host.root(), "delete queue");
    QAccessibleInterface* row = kztest::findAccessible(host.root(), QAccessible::Cell, QStringLiteral("one.txt"));
    ASSERT_NE(row, nullptr) << dump(host.root());
    EXPECT_EQ(row->text(QAccessible::Description), QStringLiteral("Size: 1.5 KB"));
    EXPECT_NE(kztest::findAccessible(host.root(), QAccessible::Table, QStringLiteral("Delete Queue")), nullptr)
        << dump(host.root());

    // The sheet's progress reads as a named bar.
    QMainWindow window;
    window.resize(700, 500);
    window.show();
    auto sheet = std::make_unique<TQEmptyTrashWindowController>();
    env.settings.preferences().setUseTrash(false);
    ASSERT_TRUE(sheet->beginSheetForWindow(&window));
    expectEveryObjectNamed(sheet->window(), "delete sheet");
    const AccessibleObject progress = read(sheet->progressIndicator());
    EXPECT_EQ(progress.role, QAccessible::ProgressBar);
    EXPECT_EQ(progress.name, QStringLiteral("Deleting the files in your delete queue"));
    ASSERT_TRUE(kztest::waitFor([&] { return sheet->isFinished(); }));
    sheet->close();
    kztest::drainBackgroundWork();

    // A compression window.
    kztest::makeFile(dir / "two.txt", 1500);
    const std::unique_ptr<TQCompressingWindowController> compression =
        TQCompressingWindowController::controllerWithFiles({KZFile::fileWithPath(dir / "two.txt", true)});
    compression->showWindow();
    expectEveryObjectNamed(compression->window(), "compression");
    ASSERT_TRUE(kztest::waitFor([&] {
        return compression->state() == TQCompressingWindowController::State::Complete ||
               compression->state() == TQCompressingWindowController::State::Failed;
    }));
    expectEveryObjectNamed(compression->window(), "compression done");
    compression->window()->close();
    kztest::drainBackgroundWork();
    kztest::drain();
}

TEST(ScreenAccessibility, WelcomeWindowReadsAsAWindow)
{
    kztest::ScreenTestEnvironment env;
    std::unique_ptr<KZCWindow> welcome(KZCWindow::welcomeWindow());
    welcome->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(welcome.get()));
    const AccessibleObject w = read(welcome.get());
    EXPECT_EQ(w.role, QAccessible::Window);
    EXPECT_EQ(w.name, welcome->windowTitle());
    expectEveryObjectNamed(welcome.get(), "welcome");
}

// The results screen's own windows: the tooltip panel, the preview window and the queue's
// popover, and the unreadable-folders notice.
struct ResultsAccessibility : screentest::TreemapScreen {};

TEST_F(ResultsAccessibility, TooltipPreviewAndPopoverReadAsWhatTheyAre)
{
    makeTree();
    open();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    const KZTreemapDrawItem* big = itemFor("big.bin");
    ASSERT_NE(big, nullptr);

    // The tooltip panel says what it shows.
    screen->treemapViewMouseMovedToPoint(view(), view()->mapTo(window.get(), big->rect.center().toPoint()), big->node);
    QWidget* tooltip = screen->tooltip()->panel();
    ASSERT_TRUE(tooltip && tooltip->isVisible());
    const AccessibleObject tip = read(tooltip);
    EXPECT_EQ(tip.role, QAccessible::ToolTip);
    EXPECT_EQ(tip.name, screen->tooltip()->label()->text());
    EXPECT_TRUE(tip.name.contains(QStringLiteral("big.bin"))) << tip.name.toStdString();
    screen->treemapViewMouseExitedWithEvent(view(), nullptr);

    // The preview window is a window named by the item.
    select({"big.bin"});
    QTest::keyClick(view(), Qt::Key_Space);
    KZPreviewPanel* panel = screen->previewPanel();
    ASSERT_TRUE(panel && panel->isVisible());
    ASSERT_TRUE(kztest::waitFor([&] { return panel->currentKind() != KZPreviewPanel::Kind::None; }));
    const AccessibleObject preview = read(panel);
    EXPECT_EQ(preview.role, QAccessible::Window);
    EXPECT_EQ(preview.name, QStringLiteral("big.bin"));
    expectEveryObjectNamed(panel, "preview");
    panel->close();

    // The queue's popover.
    TQDeleteQueue::sharedInstance().addFilesToQueue({screentest::child(root, "big.bin")});
    screen->showDeleteQueue(screen->toolbar()->button(TQTreemapToolbar::DeleteQueueItem));
    ASSERT_TRUE(screen->removalFlow()->popover());
    expectEveryObjectNamed(window.get(), "results with the queue's popover");
    EXPECT_NE(kztest::findAccessible(window.get(), QAccessible::Cell, QStringLiteral("big.bin")), nullptr)
        << dump(window.get());
}

TEST_F(ResultsAccessibility, TheUnreadableFoldersNoticeReadsAsANotificationOfWhatItSays)
{
    makeTree();
    open();
    screen->setUnreadableFolders(2, {tmp / "locked", tmp / "private"});
    QWidget* notice = screen->unreadableNotice()->widget();
    ASSERT_TRUE(notice && notice->isVisible());
    expectEveryObjectNamed(window.get(), "results with the notice");
    const AccessibleObject o = read(notice);
    EXPECT_EQ(o.role, QAccessible::Notification);
    EXPECT_EQ(o.name, TQUnreadableNotice::ManyNotice.arg(2));
    // Its button is inside it.
    ASSERT_EQ(o.iface->childCount(), 2);
    QAccessibleInterface* button =
        kztest::findAccessible(notice, QAccessible::PushButton, QStringLiteral("Show Folders…"));
    ASSERT_NE(button, nullptr) << dump(notice);
    EXPECT_EQ(button->text(QAccessible::Description), TQUnreadableNotice::ManyNotice.arg(2));
}
