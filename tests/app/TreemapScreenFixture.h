#pragma once
// A results screen on a real scanned temporary tree, shown in a plain main window with one
// toolbar of its own (standing in for the wizard's), with every outside service faked.

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

#include <memory>
#include <string>

namespace screentest {

inline KZDirectoryPtr scan(const std::string& path)
{
    KZDirectoryPtr result;
    bool done = false;
    auto scanner = KZFileScanner::scannerWithPaths({path}, 0);
    scanner->setCompletionBlock([&](const KZFileList& files) {
        if (!files.empty()) result = kz_asDirectory(files.front());
        done = true;
    });
    scanner->setFailureBlock([&](const QString&) { done = true; });
    scanner->setCancelledBlock([&] { done = true; });
    scanner->start();
    EXPECT_TRUE(kztest::waitFor([&] { return done; }));
    return result;
}

inline KZFilePtr child(const KZDirectoryPtr& folder, const std::string& name)
{
    if (!folder) return nullptr;
    for (KZFile* f : folder->children())
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
    KZDirectoryPtr root;
    std::unique_ptr<TQTreemapViewController> screen;

    TreemapScreen()
    {
        if (!TQTheme::availableThemes()) TQTheme::registerAvailableThemes();
        kz::setDeletableCheckForTesting([](const std::string&) { return true; });
        Preferences& p = prefs();
        p.setMinFileSize(1000);
        p.setHasAskedToUseDeleteQueue(true);
        p.setUseDeleteQueue(false);
        p.setUseTrash(false);
        p.setSelectedThemeName(QStringLiteral("Blue Skies"));
    }
    ~TreemapScreen() override
    {
        close();
        kz::setDeletableCheckForTesting({});
    }

    static Preferences& prefs() { return Preferences::sharedPreferences(); }

    // root/big.bin, root/docs/{a.txt,b.txt}, root/pkg.app/inner, root/.hidden, root/many/*
    void makeTree()
    {
        kztest::makeFile(tmp / "big.bin", 400000);
        kztest::makeFile(tmp / "docs/a.txt", 120000);
        kztest::makeFile(tmp / "docs/b.txt", 60000);
        kztest::makeFile(tmp / "pkg.app/inner", 50000);
        kztest::makeFile(tmp / ".hidden", 80000);
        for (int i = 0; i < 20; ++i) kztest::makeFile(tmp / ("many/f" + std::to_string(i)), 2000);
    }

    void open(bool appear = true)
    {
        root = scan(tmp.path());
        ASSERT_TRUE(root);
        openWith({KZFilePtr(root)}, appear);
    }

    void openWith(const KZFileList& results, bool appear = true)
    {
        window = std::make_unique<QMainWindow>();
        wizardToolbar = window->addToolBar(QStringLiteral("Status"));
        wizardToolbar->addAction(QStringLiteral("status"));
        window->resize(900, 640);
        screen = TQTreemapViewController::controllerWithResults(results);
        screen->setParentWindow(window.get());
        QWidget* content = screen->view();
        screen->kz_viewWillAppear();
        window->setCentralWidget(content);
        window->show();
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        if (appear) screen->kz_viewDidAppear();
    }

    void disappear()
    {
        if (!screen) return;
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

    // The node drawn for the record of that path (relative to the root), or null.
    KZTreemapNodePtr nodeFor(const std::string& relative) const
    {
        const std::string path = tmp / relative;
        for (const KZTreemapDrawItem& item : view()->drawItems()) {
            const KZFilePtr& f = item.node->file();
            if (f && kz_isEqualToPath(f->path(), path)) return item.node;
        }
        return nullptr;
    }
    QRectF rectFor(const std::string& relative) const
    {
        const std::string path = tmp / relative;
        for (const KZTreemapDrawItem& item : view()->drawItems()) {
            const KZFilePtr& f = item.node->file();
            if (f && kz_isEqualToPath(f->path(), path)) return item.rect;
        }
        return {};
    }
    KZTreemapNodePtr groupedNode() const
    {
        for (const KZTreemapDrawItem& item : view()->drawItems())
            if (!item.node->file()) return item.node;
        return nullptr;
    }

    // Selects the nodes of the records (relative paths), as Ctrl-clicks would.
    void select(std::initializer_list<std::string> relatives)
    {
        view()->setClickedNode(nullptr);
        for (const std::string& r : relatives) {
            KZTreemapNodePtr node = nodeFor(r);
            ASSERT_TRUE(node) << r;
            view()->addClickedNode(node);
        }
    }

    // Runs the deletions released with deleteLater() (no event loop runs in a test).
    static bool deferredDeletesDone()
    {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return true;
    }
    // Lets pending layout changes of the window happen (a resize clears the selection).
    void settleLayout()
    {
        QCoreApplication::processEvents();
        if (window->layout()) window->layout()->activate();
        QCoreApplication::processEvents();
    }

    bool enabled(const QString& item) const { return screen->toolbarItem(item)->isEnabled(); }

    // Waits for the end of the confirmed delete under way.
    bool waitForRemoval()
    {
        return kztest::waitFor([&] { return !screen->isDeleting(); });
    }

    const std::vector<KZScriptedAlertService::Shown>& alerts() const { return env.alerts.service.shown(); }
};

} // namespace screentest
