// The application delegate: the launch sequence, the one quit path (menu, close button,
// terminate(), logout) with its confirmation, the Touch Bar rule on window changes, and the
// menu actions.

#include "app/TQAppDelegate.h"
#include "app/TQEmptyTrashWindowController.h"
#include "app/TQMainWindowController.h"
#include "app/TQPreferencesWindowController.h"
#include "app/TQWebAddresses.h"
#include "kit/KZTouchBarController.h"
#include "model/KZFile.h"
#include "model/TQDeleteQueue.h"
#include "platform/widgets/KZApplicationServices.h"
#include "platform/widgets/KZCore.h"
#include "tests/app/AppTestSupport.h"
#include "tests/app/WizardTestSupport.h"
#include "tests/support/TestSupport.h"
#include "treemap/TQTheme.h"

#include <QApplication>
#include <QFileDialog>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>

#include <gtest/gtest.h>

using namespace kztest;

namespace {

QStringList menuTitles(QMenuBar* bar)
{
    QStringList titles;
    for (QAction* menu : bar->actions())
        if (menu->menu())
            for (QAction* item : menu->menu()->actions())
                if (!item->isSeparator()) titles << item->text();
    return titles;
}

QAction* menuItem(QMenuBar* bar, const QString& title)
{
    for (QAction* menu : bar->actions())
        if (menu->menu())
            for (QAction* item : menu->menu()->actions())
                if (item->text() == title) return item;
    return nullptr;
}

// Everything faked but the application services: the real ones route terminate() to the
// delegate's quit path, as in the program.
struct QuitEnvironment {
    ScopedSettings settings;
    KZScopedAlertService alerts;
    KZManualAnimationClock clock;
    KZScopedNotifier notifier;
    KZRecordingWorkspace workspace;
    QuitEnvironment() { KZWorkspace::setShared(&workspace); }
    ~QuitEnvironment() { KZWorkspace::setShared(nullptr); }
};

class Delegate : public ::testing::Test {
protected:
    Delegate()
    {
        // The launch registers the themes; each test starts and ends without any.
        TQTheme::resetRegistry();
        delegate = std::make_unique<TQAppDelegate>();
        delegate->setEndProgramHandler([this] { ++ended; });
    }
    ~Delegate() override
    {
        delegate.reset();
        drain();
        QApplication::setQuitOnLastWindowClosed(true);
        TQTheme::resetRegistry();
    }
    void queueFiles(int n)
    {
        KZFileList files;
        for (int i = 0; i < n; ++i) {
            const std::string path = dir / ("queued" + std::to_string(i));
            makeFile(path, 10);
            files.push_back(KZFile::fileWithPath(path));
        }
        TQDeleteQueue::sharedInstance().addFilesToQueue(files);
    }
    size_t queued() const { return TQDeleteQueue::sharedInstance().queue().size(); }

    QuitEnvironment env;
    TempDir dir;
    std::unique_ptr<TQAppDelegate> delegate;
    int ended = 0;
};

} // namespace

TEST_F(Delegate, LaunchSequence)
{
    const qint64 timesRun = env.settings.preferences().timesRun();
    ASSERT_TRUE(menuTitles(delegate->mainMenu()).contains("Check for Updates…"));
    delegate->applicationDidFinishLaunching();

    EXPECT_FALSE(menuTitles(delegate->mainMenu()).contains("Check for Updates…"));
    EXPECT_EQ(delegate->checkForUpdatesMenuItem(), nullptr);
    for (const char* title : {"About Sizemere", "Preferences…", "Rate Sizemere…", "Follow ZANDREL",
                              "Join Mailing List…", "Quit Sizemere", "New Scan", "Sizemere Help"})
        EXPECT_TRUE(menuTitles(delegate->mainMenu()).contains(QString::fromUtf8(title))) << title;
    ASSERT_NE(TQTheme::availableThemes(), nullptr);
    EXPECT_FALSE(TQTheme::availableThemes()->empty());
    EXPECT_EQ(delegate->touchBar(), nullptr) << "Linux has no Touch Bar";

    ASSERT_NE(delegate->mainWindowController(), nullptr);
    auto* window = qobject_cast<QMainWindow*>(delegate->mainWindowController()->window());
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->menuBar(), delegate->mainMenu());
    EXPECT_EQ(env.settings.preferences().timesRun(), timesRun + 1);
    EXPECT_FALSE(env.settings.preferences().firstRun());
    EXPECT_FALSE(QApplication::quitOnLastWindowClosed()) << "closing a window never bypasses the quit path";
    EXPECT_EQ(ended, 0);
}

TEST_F(Delegate, QuittingWithAnEmptyQueueAsksNothing)
{
    delegate->applicationDidFinishLaunching();
    EXPECT_TRUE(delegate->requestQuit());
    EXPECT_EQ(ended, 1);
    EXPECT_TRUE(env.alerts.service.shown().empty());
}

TEST_F(Delegate, QuitConfirmationCountsTheQueue)
{
    queueFiles(1);
    env.alerts.service.answerNext(KZAlertSecondButtonReturn);
    EXPECT_FALSE(delegate->applicationShouldTerminate());
    ASSERT_EQ(env.alerts.service.shown().size(), 1u);
    const KZAlert& one = env.alerts.service.shown()[0].alert;
    EXPECT_EQ(one.messageText, "Are you sure you want to quit?");
    EXPECT_EQ(one.buttons, (QStringList{"Quit", "Cancel"}));
    EXPECT_EQ(one.informativeText, "You have 1 item in your queue, are you sure you want to quit?");
    EXPECT_EQ(queued(), 1u) << "Cancel leaves the queue as it was";

    queueFiles(2);
    env.alerts.service.answerNext(KZAlertFirstButtonReturn);
    EXPECT_TRUE(delegate->applicationShouldTerminate());
    EXPECT_EQ(env.alerts.service.shown()[1].alert.informativeText,
              "You have 3 items in your queue, are you sure you want to quit?");
    EXPECT_EQ(queued(), 0u) << "Quit empties the queue";
}

TEST_F(Delegate, EveryWayOfQuittingAsksBeforeAnythingCloses)
{
    delegate->applicationDidFinishLaunching();
    QWidget* window = delegate->mainWindowController()->window();
    queueFiles(2);

    // The window's close button: Cancel keeps the window open and the queue full.
    env.alerts.service.answerNext(KZAlertSecondButtonReturn);
    EXPECT_FALSE(delegate->mainWindowController()->performClose());
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(env.alerts.service.shown().size(), 1u);
    EXPECT_EQ(queued(), 2u);

    // Quit in the menu.
    env.alerts.service.answerNext(KZAlertSecondButtonReturn);
    menuItem(delegate->mainMenu(), "Quit Sizemere")->trigger();
    EXPECT_EQ(env.alerts.service.shown().size(), 2u);
    EXPECT_EQ(ended, 0);

    // A screen asking the program to end (the finished screen's Quit, the delete sheet).
    env.alerts.service.answerNext(KZAlertSecondButtonReturn);
    KZApplicationServices::shared().terminate();
    EXPECT_EQ(env.alerts.service.shown().size(), 3u);
    EXPECT_EQ(ended, 0);

    // The desktop's logout: asked the same way when the session lets us ask.
    env.alerts.service.answerNext(KZAlertSecondButtonReturn);
    EXPECT_FALSE(delegate->answerLogout(true));
    EXPECT_EQ(env.alerts.service.shown().size(), 4u);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(ended, 0);

    // Agreeing ends the program once, with the queue emptied.
    env.alerts.service.answerNext(KZAlertFirstButtonReturn);
    EXPECT_TRUE(delegate->requestQuit());
    EXPECT_EQ(ended, 1);
    EXPECT_EQ(queued(), 0u);
    EXPECT_TRUE(delegate->requestQuit()) << "already ending: nothing asked again";
    EXPECT_EQ(ended, 1);
    EXPECT_EQ(env.alerts.service.shown().size(), 5u);
}

TEST_F(Delegate, ALogoutThatMayNotAskEndsQuietly)
{
    queueFiles(1);
    EXPECT_TRUE(delegate->answerLogout(false));
    EXPECT_TRUE(env.alerts.service.shown().empty());
}

TEST_F(Delegate, TouchBarFollowsTheActiveWindow)
{
    ScopedFakeTouchBar touchBar;
    auto& bar = KZTouchBarController::sharedController();
    delegate->applicationDidFinishLaunching();
    QWidget* main = delegate->mainWindowController()->window();

    delegate->keyWindowChanged(main);
    EXPECT_FALSE(bar.hidden());
    delegate->keyWindowChanged(nullptr);
    EXPECT_TRUE(bar.hidden()) << "no window in front";
    delegate->keyWindowChanged(main);
    EXPECT_FALSE(bar.hidden());

    delegate->openPreferences();
    ASSERT_NE(delegate->preferencesWindowController(), nullptr);
    delegate->keyWindowChanged(delegate->preferencesWindowController()->window());
    EXPECT_TRUE(bar.hidden()) << "the preferences window shows nothing on the bar";

    // The folder panel leaves the bar as it was, hidden or not.
    QFileDialog panel;
    delegate->keyWindowChanged(&panel);
    EXPECT_TRUE(bar.hidden());
    delegate->keyWindowChanged(main);
    delegate->keyWindowChanged(&panel);
    EXPECT_FALSE(bar.hidden());
}

TEST_F(Delegate, PreferencesAreReleasedOnALaterTurnAfterTheirWindowCloses)
{
    delegate->applicationDidFinishLaunching();
    delegate->openPreferences();
    QPointer<TQPreferencesWindowController> first = delegate->preferencesWindowController();
    ASSERT_TRUE(first);
    EXPECT_TRUE(first->window()->isVisible());
    first->window()->close();
    EXPECT_EQ(delegate->preferencesWindowController(), nullptr);
    EXPECT_TRUE(first) << "not destroyed inside its own close";
    drain();
    EXPECT_FALSE(first);
    delegate->openAbout();
    ASSERT_NE(delegate->preferencesWindowController(), nullptr);
    EXPECT_TRUE(delegate->preferencesWindowController()->window()->isVisible());
}

TEST_F(Delegate, ReopenShowsTheWindowsAndAnswersNo)
{
    delegate->applicationDidFinishLaunching();
    delegate->openPreferences();
    delegate->mainWindowController()->window()->hide();
    delegate->preferencesWindowController()->window()->hide();
    EXPECT_FALSE(delegate->applicationShouldHandleReopen(false));
    EXPECT_TRUE(delegate->mainWindowController()->window()->isVisible());
    EXPECT_TRUE(delegate->preferencesWindowController()->window()->isVisible());
}

TEST_F(Delegate, MenuActions)
{
    delegate->applicationDidFinishLaunching();
    menuItem(delegate->mainMenu(), "Sizemere Help")->trigger();
    menuItem(delegate->mainMenu(), "Follow ZANDREL")->trigger();
    ASSERT_EQ(env.workspace.urls.size(), 2u);
    EXPECT_EQ(env.workspace.urls[0], QUrl(TQWebAddresses::supportPage));
    EXPECT_EQ(env.workspace.urls[1], QUrl(TQWebAddresses::microblogPage));

    // New Scan goes back to the folder step.
    TQMainWindowController* wc = delegate->mainWindowController();
    auto* drop = wc->window()->findChild<KZDropView*>(QStringLiteral("dropView"));
    drop->addFilePaths({dir.path()});
    wc->dropViewFileWasDropped(drop);
    menuItem(delegate->mainMenu(), "New Scan")->trigger();
    EXPECT_TRUE(drop->filePaths().empty());
    EXPECT_EQ(wc->currentStep(), 0);
}

TEST_F(Delegate, QuittingIsRefusedWhileTheDeleteSheetRuns)
{
    KZScopedApplicationServices services;
    delegate->applicationDidFinishLaunching();
    queueFiles(3);
    TQEmptyTrashWindowController sheet;
    ASSERT_TRUE(sheet.beginSheetForWindow(delegate->mainWindowController()->window()));
    ASSERT_TRUE(TQEmptyTrashWindowController::isAnySheetRunning());
    EXPECT_FALSE(delegate->requestQuit());
    EXPECT_FALSE(delegate->answerLogout(true));
    EXPECT_FALSE(delegate->answerLogout(false));
    EXPECT_EQ(services.services.beeps, 1);
    EXPECT_TRUE(env.alerts.service.shown().empty()) << "nothing asked while deleting";
    EXPECT_EQ(ended, 0);
    ASSERT_TRUE(waitFor([] { return !TQEmptyTrashWindowController::isAnySheetRunning(); }));
    drain();
}

TEST_F(Delegate, TheWelcomeWindowHoldsTheMainWindowBack)
{
    KZScopedApplicationServices services;
    ScopedFakeTouchBar touchBar;
    KZCore& core = KZCore::sharedInstance();
    core.resetForTesting();
    KZCore::setWelcomeWindowAllowed(true);
    delegate->applicationDidFinishLaunching();
    EXPECT_EQ(core.config().appStoreID(), TQAppDelegate::appStoreID);
    EXPECT_FALSE(core.config().showsRunAtLoginButton());
    ASSERT_FALSE(core.canShowMainWindow());
    QWidget* main = delegate->mainWindowController()->window();
    EXPECT_FALSE(main->isVisible());
    EXPECT_TRUE(KZTouchBarController::sharedController().hidden());
    drain();

    // Preferences beep; About opens; the Touch Bar rule stays out of it; reopen shows the
    // framework's own window.
    delegate->openPreferences();
    EXPECT_EQ(services.services.beeps, 1);
    EXPECT_EQ(delegate->preferencesWindowController(), nullptr);
    delegate->keyWindowChanged(main);
    EXPECT_TRUE(KZTouchBarController::sharedController().hidden());
    EXPECT_FALSE(delegate->applicationShouldHandleReopen(false));
    ASSERT_NE(core.mailingListWindow(), nullptr);
    EXPECT_TRUE(core.mailingListWindow()->isVisible());
    EXPECT_FALSE(main->isVisible());
    delegate->openAbout();
    ASSERT_NE(delegate->preferencesWindowController(), nullptr);
    EXPECT_TRUE(delegate->preferencesWindowController()->window()->isVisible());

    // Closing the welcome window brings the main window and the Touch Bar back.
    core.welcomeWindow()->close();
    drain();
    EXPECT_TRUE(core.canShowMainWindow());
    EXPECT_TRUE(main->isVisible());
    EXPECT_FALSE(KZTouchBarController::sharedController().hidden());

    core.resetForTesting();
    KZCore::setWelcomeWindowAllowed(std::nullopt);
    drain();
}
