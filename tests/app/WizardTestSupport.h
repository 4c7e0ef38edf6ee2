#pragma once
// A main window for one test, shown on the offscreen platform with every service faked, a
// fake Touch Bar switched on so the wizard's Touch Bar model can be watched, and helpers to
// reach its controls by name and drive it as a user would.

#include "app/TQFileScanViewController.h"
#include "app/TQMainWindowController.h"
#include "app/TQTreemapViewController.h"
#include "kit/KZButton.h"
#include "kit/KZController.h"
#include "kit/KZDropView.h"
#include "kit/KZTouchBarController.h"
#include "model/Preferences.h"
#include "platform/widgets/KZSound.h"
#include "tests/app/AppTestSupport.h"
#include "tests/kit/FakeTouchBar.h"
#include "tests/support/TestSupport.h"
#include "treemap/TQTheme.h"

#include <QApplication>
#include <QLabel>
#include <QMainWindow>
#include <QTest>

#include <gtest/gtest.h>

namespace kztest {

using kittest::FakeTouchBar;

// Switches the shared Touch Bar model on with a fake bar for the life of the object.
class ScopedFakeTouchBar {
public:
    ScopedFakeTouchBar()
    {
        KZTouchBarController::setSystemHasTouchBar(true);
        auto& c = KZTouchBarController::sharedController();
        c.setTouchBar(&bar);
        c.setHidden(false);
        c.setTouchBarViews({});
    }
    ~ScopedFakeTouchBar()
    {
        auto& c = KZTouchBarController::sharedController();
        c.setHidden(false);
        c.setTouchBarViews({});
        c.setTouchBar(nullptr);
        KZTouchBarController::setSystemHasTouchBar(false);
    }
    FakeTouchBar bar;
};

// Runs every queued main-thread call and releases what was released on a later turn.
inline void drain()
{
    for (int i = 0; i < 3; ++i) {
        QApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

class WizardFixture : public ::testing::Test {
protected:
    WizardFixture()
    {
        // Every file of the small test folders is a record.
        env.settings.preferences().setMinFileSize(0);
        wc = controller<TQMainWindowController>();
        wc->showWindow();
    }
    ~WizardFixture() override
    {
        wc.reset();
        drain();
    }

    QWidget* widget(const char* name) const { return wc->window()->findChild<QWidget*>(QLatin1String(name)); }
    KZButton* button(const char* name) const { return wc->window()->findChild<KZButton*>(QLatin1String(name)); }
    QLabel* label(const char* name) const { return wc->window()->findChild<QLabel*>(QLatin1String(name)); }
    KZDropView* dropView() const { return wc->window()->findChild<KZDropView*>(QStringLiteral("dropView")); }
    QWidget* touchBarTop() const
    {
        const auto& stack = KZTouchBarController::sharedController().stack();
        return stack.empty() ? nullptr : stack.back()->view.data();
    }
    bool isResizable() const { return wc->window()->minimumSize() != wc->window()->maximumSize(); }

    // A click as the user makes it: nothing happens on a hidden or disabled button.
    void click(const char* name)
    {
        KZButton* b = button(name);
        ASSERT_NE(b, nullptr) << name;
        if (!b->isVisible()) return;
        QTest::mouseClick(b, Qt::LeftButton, Qt::NoModifier, b->rect().center());
    }
    // The folder as the open panel or a drop hands it over.
    void choose(const std::string& path)
    {
        dropView()->addFilePaths({path});
        wc->dropViewFileWasDropped(dropView());
    }
    bool waitForStep(int step)
    {
        return waitFor([&] {
            return wc->currentStep() == step &&
                   (step != 2 || wc->currentViewController() == wc->treemapViewController());
        });
    }
    // Chooses the folder, scans it and waits for the results.
    void runToResults(const std::string& path)
    {
        choose(path);
        click("nextButton");
        ASSERT_TRUE(waitForStep(2));
    }
    // A record of the scanned root, by name.
    KZFilePtr childNamed(const std::string& name) const
    {
        const auto& result = wc->fileScanViewController()->scanResult();
        if (result.empty()) return {};
        if (const KZDirectory* root = kz_asDirectory(result.front().get()))
            for (KZFile* child : root->children())
                if (child->path().ends_with("/" + name) || child->path().ends_with("/" + name + "/"))
                    return KZFilePtr(child);
        return {};
    }

    ScreenTestEnvironment env;
    ScopedFakeTouchBar touchBar;
    QObject probe;
    std::unique_ptr<TQMainWindowController> wc;
};

// A run whose removals go at once: no Trash, no queue, and compressed originals go. The
// chime is silent; nothing of a test may still be running into the next.
class RemovalRunFixture : public WizardFixture {
protected:
    RemovalRunFixture()
    {
        if (!TQTheme::availableThemes()) TQTheme::registerAvailableThemes();
        Preferences& prefs = env.settings.preferences();
        prefs.setUseTrash(false);
        prefs.setHasAskedToUseDeleteQueue(true);
        prefs.setUseDeleteQueue(false);
        prefs.setDeleteCompressedOriginal(true);
        kz::setTriTonePlayerForTesting([] {});
    }
    ~RemovalRunFixture() override
    {
        drainBackgroundWork();
        kz::setTriTonePlayerForTesting({});
    }

    TQTreemapViewController* screen() const { return wc->treemapViewController(); }
    TQRunLedger* ledger() const { return wc->runLedger(); }
};

} // namespace kztest
