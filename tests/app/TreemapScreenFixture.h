#pragma once
// A results screen on a real scanned temporary tree, shown in a plain main window with one
// toolbar of its own (standing in for the wizard's), with every outside service faked.

#include "app/TQToolbarPlace.h"
#include "app/TQTreemapViewController.h"
#include "kit/KZView.h"
#include "model/KZFileScanner.h"
#include "model/KZMemoryFormatter.h"
#include "model/KZPath.h"
#include "platform/KZFileAccess.h"
#include "tests/app/AppTestSupport.h"
#include "tests/support/TestSupport.h"
#include "treemap/KZNestedTreemapView.h"
#include "treemap/TQTheme.h"

#include <QLayout>
#include <QMainWindow>
#include <QTest>
#include <QToolBar>
#include <gtest/gtest.h>

namespace screentest {

inline KZDirectoryPtr scan(const std::string& path)
{
    KZDirectoryPtr result;
    bool done = false;
    auto scanner = KZFileScanner::scannerWithPaths({path}, 0);
    scanner->setCompletionBlock([&](const KZFileList& files) {
        result = files.empty() ? nullptr : kz_asDirectory(files.front());
        done = true;
    });
    scanner->setFailureBlock([&](const QString&) { done = true; });
    scanner->start();
    EXPECT_TRUE(kztest::waitFor([&] { return done; }));
    return result;
}

inline KZFilePtr child(const KZDirectoryPtr& folder, const std::string& name)
{
    for (KZFile* f : folder ? folder->children() : std::span<KZFile* const>())
        if (f->nameBytes() == name) return KZFilePtr(f);
    return nullptr;
}

inline KZDirectoryPtr childFolder(const KZDirectoryPtr& folder, const std::string& name)
{
    return kz_asDirectory(child(folder, name));
}

struct TreemapScreen : ::testing::Test {
    kztest::ScreenTestEnvironment env;
    kztest::TempDir tmp;
    std::unique_ptr<QMainWindow> window;
    QToolBar* wizardToolbar = nullptr;
    // The window's place for the screen's toolbar and the run's ledger, as the main window
    // has them; both outlive the screen.
    std::unique_ptr<TQToolbarPlace> toolbarPlace;
    std::unique_ptr<TQRunLedger> ledger = std::make_unique<TQRunLedger>();
    KZDirectoryPtr root;
    std::unique_ptr<TQTreemapViewController> screen;

    TreemapScreen()
    {
        if (!TQTheme::availableThemes()) TQTheme::registerAvailableThemes();
        kz::setDeletableCheckForTesting([](const std::string&) { return true; });
        prefs().setMinFileSize(1000);
        prefs().setHasAskedToUseDeleteQueue(true);
        prefs().setUseTrash(false);
    }
    ~TreemapScreen() override
    {
        close();
        kz::setDeletableCheckForTesting({});
    }
    static Preferences& prefs() { return Preferences::sharedPreferences(); }

    void makeTree()
    {
        kztest::makeFile(tmp / "big.bin", 400000);
        kztest::makeFile(tmp / "docs/a.txt", 120000);
        kztest::makeFile(tmp / "docs/b.txt", 60000);
        kztest::makeFile(tmp / "pkg.app/inner", 50000);
        kztest::makeFile(tmp / ".hidden", 80000);
        for (int i = 0; i < 20; ++i) kztest::makeFile(tmp / ("many/f" + std::to_string(i)), 2000);
    }
    void open()
    {
        root = scan(tmp.path());
        ASSERT_TRUE(root);
        openWith({KZFilePtr(root)});
    }
    // As the wizard shows a screen: will-appear, swap, did-appear.
    void openWith(const KZFileList& results)
    {
        window = std::make_unique<QMainWindow>();
        wizardToolbar = window->addToolBar(QStringLiteral("Status"));
        wizardToolbar->addAction(QStringLiteral("status"));
        window->resize(900, 640);
        toolbarPlace = std::make_unique<TQToolbarPlace>(window.get(), wizardToolbar);
        screen = TQTreemapViewController::controllerWithResults(results);
        screen->setParentWindow(window.get());
        screen->setToolbarPlace(toolbarPlace.get());
        screen->setRunLedger(ledger.get());
        QWidget* content = screen->view();
        screen->kz_viewWillAppear();
        window->setCentralWidget(content);
        window->show();
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        screen->kz_viewDidAppear();
    }
    void disappear()
    {
        screen->kz_viewWillDisappear();
        screen->kz_viewDidDisappear();
    }
    void close()
    {
        if (screen && screen->isOnShow()) disappear();
        screen.reset();
        window.reset();
    }

    KZNestedTreemapView* view() const { return screen->treemapView(); }
    // The drawn node (and its rectangle) of the record at the path relative to the root.
    const KZTreemapDrawItem* itemFor(const std::string& relative) const
    {
        for (const KZTreemapDrawItem& item : view()->drawItems())
            if (item.node->file() && kz_isEqualToPath(item.node->file()->path(), tmp / relative)) return &item;
        return nullptr;
    }
    KZTreemapNodePtr nodeFor(const std::string& relative) const
    {
        const KZTreemapDrawItem* item = itemFor(relative);
        return item ? item->node : nullptr;
    }
    // Selects the nodes of the records, as Ctrl-clicks would.
    void select(std::initializer_list<std::string> relatives)
    {
        view()->setClickedNode(nullptr);
        for (const std::string& r : relatives) {
            ASSERT_TRUE(nodeFor(r)) << r;
            view()->addClickedNode(nodeFor(r));
        }
    }
    bool enabled(const QString& item) const { return screen->toolbarItem(item)->isEnabled(); }
    bool waitForRemoval()
    {
        return kztest::waitFor([&] { return !screen->removalFlow()->isDeleting(); });
    }
    const std::vector<KZScriptedAlertService::Shown>& alerts() const { return env.alerts.service.shown(); }

    // Runs what deleteLater() released (no event loop runs in a test).
    static bool deferredDeletesDone()
    {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return true;
    }
    // Lets pending layout changes of the window happen (a resize clears the selection).
    void settleLayout()
    {
        QCoreApplication::processEvents();
        window->layout()->activate();
        QCoreApplication::processEvents();
    }
};

} // namespace screentest
