#include "app/TQAppDelegate.h"

#include "app/TQEmptyTrashWindowController.h"
#include "app/TQMainWindowController.h"
#include "app/TQPreferencesWindowController.h"
#include "app/TQRunLedger.h"
#include "app/TQWebAddresses.h"
#include "kit/KZController.h"
#include "kit/KZTouchBarController.h"
#include "model/Preferences.h"
#include "model/TQDeleteQueue.h"
#include "platform/KZNotificationCenter.h"
#include "platform/widgets/KZAlertService.h"
#include "platform/widgets/KZApplicationServices.h"
#include "platform/widgets/KZCWelcomeNotifications.h"
#include "platform/widgets/KZCore.h"
#include "platform/widgets/KZWorkspace.h"
#include "treemap/TQTheme.h"

#include <QAction>
#include <QApplication>
#include <QFileDialog>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QSessionManager>
#include <QTimer>
#include <QUrl>
#include <QWindow>

// There is no store listing on Linux; the framework stand-in only keeps the value.
const char* const TQAppDelegate::appStoreID = "0";

TQAppDelegate::TQAppDelegate(QObject* parent) : QObject(parent)
{
    buildMainMenu();
}

TQAppDelegate::~TQAppDelegate()
{
    KZNotificationCenter::defaultCenter().removeObservers(this);
    KZDesktopApplicationServices::setTerminateHandler(nullptr);
    if (KZTouchBarController::sharedController().touchBar() == touchBar_.get())
        KZTouchBarController::sharedController().setTouchBar(nullptr);
    // The menu belongs to the main window once it has one; until then it is ours.
    ownMainMenu_.reset();
    preferencesWindowController_.reset();
    mainWindowController_.reset();
}

// ---- The main menu

void TQAppDelegate::buildMainMenu()
{
    ownMainMenu_ = std::make_unique<QMenuBar>();
    QMenuBar* bar = ownMainMenu_.get();
    bar->setObjectName(QStringLiteral("mainMenu"));
    mainMenu_ = bar;
    auto add = [this](QMenu* menu, const QString& title, void (TQAppDelegate::*action)(),
                      const QKeySequence& shortcut = QKeySequence()) {
        QAction* item = menu->addAction(title);
        item->setShortcut(shortcut);
        // The shortcuts work in every window of the program, the preferences window included.
        item->setShortcutContext(Qt::ApplicationShortcut);
        connect(item, &QAction::triggered, this, action);
        return item;
    };

    QMenu* app = bar->addMenu(QStringLiteral("&Sizemere"));
    add(app, QStringLiteral("About Sizemere"), &TQAppDelegate::openAbout);
    app->addSeparator();
    add(app, QStringLiteral("Preferences…"), &TQAppDelegate::openPreferences, QKeySequence(Qt::CTRL | Qt::Key_Comma));
    checkForUpdatesMenuItem_ = add(app, QStringLiteral("Check for Updates…"), &TQAppDelegate::checkForUpdates);
    app->addSeparator();
    add(app, QStringLiteral("Rate Sizemere…"), &TQAppDelegate::rateApp);
    add(app, QStringLiteral("Follow ZANDREL"), &TQAppDelegate::followZANDREL);
    add(app, QStringLiteral("Join Mailing List…"), &TQAppDelegate::joinMailingList);
    app->addSeparator();
    QAction* quit = app->addAction(QStringLiteral("Quit Sizemere"));
    quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    quit->setShortcutContext(Qt::ApplicationShortcut);
    quit->setMenuRole(QAction::QuitRole);
    connect(quit, &QAction::triggered, this, [this] { requestQuit(); });

    QMenu* file = bar->addMenu(QStringLiteral("&File"));
    add(file, QStringLiteral("New Scan"), &TQAppDelegate::scan, QKeySequence(Qt::CTRL | Qt::Key_N));

    QMenu* help = bar->addMenu(QStringLiteral("&Help"));
    add(help, QStringLiteral("Sizemere Help"), &TQAppDelegate::showHelp, QKeySequence(QKeySequence::HelpContents));
}

// ---- Launch

void TQAppDelegate::applicationDidFinishLaunching()
{
    // 1. Follow the active window for the Touch Bar rule.
    connect(qApp, &QGuiApplication::focusWindowChanged, this,
            [this] { keyWindowChanged(QApplication::activeWindow()); });
    // 2. Nothing to check for updates with: the item goes.
    if (checkForUpdatesMenuItem_) {
        if (auto* menu = qobject_cast<QMenu*>(checkForUpdatesMenuItem_->parent()))
            menu->removeAction(checkForUpdatesMenuItem_);
        delete checkForUpdatesMenuItem_.data();
    }
    // 3. The colour themes.
    TQTheme::registerAvailableThemes();
    // 4. The Touch Bar, where there is one.
    if (KZTouchBar* bar = touchBar()) KZTouchBarController::sharedController().setTouchBar(bar);
    // 5, 6. The maker's framework.
    KZCConfig config;
    config.setAppStoreID(QString::fromLatin1(appStoreID));
    config.setShowsRunAtLoginButton(false);
    KZCore::sharedInstance().applicationDidLaunchWithConfig(config);
    // 7.
    addKZCNotificationObservers();

    // Every way of ending the program goes through the one quit path, and closing the last
    // window does not bypass it.
    QApplication::setQuitOnLastWindowClosed(false);
    QPointer<TQAppDelegate> self(this);
    KZDesktopApplicationServices::setTerminateHandler([self] {
        if (self) self->requestQuit();
    });
#ifndef QT_NO_SESSIONMANAGER
    connect(qApp, &QGuiApplication::commitDataRequest, this, &TQAppDelegate::commitDataRequest, Qt::DirectConnection);
#endif

    // 8, 9. The main window.
    mainWindowController_ = controller<TQMainWindowController>();
    if (auto* window = qobject_cast<QMainWindow*>(mainWindowController_->window()); window && ownMainMenu_)
        window->setMenuBar(ownMainMenu_.release());
    if (KZCore::sharedInstance().canShowMainWindow()) {
        mainWindowController_->showWindow();
    } else {
        KZTouchBarController::sharedController().setHidden(true);
    }
    // 10.
    Preferences& preferences = Preferences::sharedPreferences();
    preferences.incrementTimesRun();
    preferences.setFirstRun(false);
}

KZTouchBar* TQAppDelegate::touchBar()
{
    if (!KZTouchBarController::systemHasTouchBar()) return nullptr;
    if (!touchBar_ && touchBarFactory_) touchBar_.reset(touchBarFactory_());
    return touchBar_.get();
}

bool TQAppDelegate::applicationShouldHandleReopen(bool)
{
    KZCore& core = KZCore::sharedInstance();
    if (core.canShowMainWindow()) {
        if (mainWindowController_) mainWindowController_->showWindow();
        if (preferencesWindowController_) preferencesWindowController_->showWindow();
    } else {
        core.showWindow();
    }
    core.showAnyVisibleWindows();
    return false;
}

// ---- Quitting

bool TQAppDelegate::applicationShouldTerminate()
{
    TQDeleteQueue& queue = TQDeleteQueue::sharedInstance();
    const auto count = static_cast<qlonglong>(queue.queue().size());
    if (count == 0) return true;
    KZAlert alert;
    alert.messageText = QStringLiteral("Are you sure you want to quit?");
    alert.buttons = {QStringLiteral("Quit"), QStringLiteral("Cancel")};
    alert.informativeText = QStringLiteral("You have %1 item%2 in your queue, are you sure you want to quit?")
                                .arg(count)
                                .arg(count == 1 ? QString() : QStringLiteral("s"));
    if (KZAlertService::shared().runModal(alert).response != KZAlertFirstButtonReturn) return false;
    queue.clearQueue();
    return true;
}

bool TQAppDelegate::confirmQuit()
{
    // A second request while the first is still asking (a shortcut pressed again, the
    // desktop's logout) waits for that answer.
    if (asking_) return false;
    // Deleting must not be cut off halfway: the sheet shows why; a confirmed delete runs
    // unseen, so it is said.
    if (TQEmptyTrashWindowController::isAnySheetRunning()) {
        kz_beep();
        return false;
    }
    if (isDeleting()) {
        sayStillDeleting();
        return false;
    }
    asking_ = true;
    bool agreed = false;
    // The delete queue's question first: with Delete the sheet runs and ends the program
    // itself once it is done.
    if (!mainWindowController_ || !mainWindowController_->showDeleteQueueWarningIfNeeded(true))
        agreed = applicationShouldTerminate();
    asking_ = false;
    return agreed;
}

void TQAppDelegate::sayStillDeleting()
{
    asking_ = true;
    KZAlert alert;
    alert.messageText = StillDeletingMessage;
    alert.informativeText = StillDeletingInformative;
    alert.buttons = {QStringLiteral("Okay")};
    // The alert holds only while the delete runs: once it has ended, the alert goes by itself
    // rather than stay up saying what is no longer so.
    QMetaObject::Connection ended;
    if (TQRunLedger* ledger = mainWindowController_ ? mainWindowController_->runLedger() : nullptr)
        ended = connect(ledger, &TQRunLedger::totalsChanged, this, [this, &alert] {
            if (!isDeleting()) KZAlertService::shared().abortModal(alert);
        });
    KZAlertService::shared().runModal(alert);
    disconnect(ended);
    asking_ = false;
}

bool TQAppDelegate::requestQuit()
{
    if (ending_) return true;
    if (!confirmQuit()) return false;
    endProgram();
    return true;
}

void TQAppDelegate::endProgram()
{
    ending_ = true;
    if (endProgram_) {
        endProgram_();
        return;
    }
    if (preferencesWindowController_ && preferencesWindowController_->isWindowLoaded())
        preferencesWindowController_->window()->hide();
    if (mainWindowController_ && mainWindowController_->isWindowLoaded()) mainWindowController_->window()->hide();
    QCoreApplication::quit();
}

bool TQAppDelegate::isDeleting() const
{
    return TQEmptyTrashWindowController::isAnySheetRunning() ||
           (mainWindowController_ && mainWindowController_->isDeleting());
}

bool TQAppDelegate::answerLogout(bool mayAsk)
{
    if (isDeleting()) return false;
    // Without leave to ask, the session ends as it would: the delete queue is only a list.
    if (!mayAsk) return true;
    return confirmQuit();
}

void TQAppDelegate::commitDataRequest(QSessionManager& manager)
{
#ifndef QT_NO_SESSIONMANAGER
    if (ending_) return;
    const bool mayAsk = !isDeleting() && manager.allowsInteraction();
    const bool agreed = answerLogout(mayAsk);
    if (mayAsk) manager.release();
    if (!agreed) {
        manager.cancel();
        return;
    }
    QTimer::singleShot(0, this, [this] { endProgram(); });
#else
    (void)manager;
#endif
}

// ---- Menu actions

void TQAppDelegate::scan()
{
    if (mainWindowController_) mainWindowController_->startAgain();
}

void TQAppDelegate::makePreferencesControllerIfNeeded()
{
    if (preferencesWindowController_) return;
    preferencesWindowController_ = controller<TQPreferencesWindowController>();
    connect(preferencesWindowController_.get(), &KZWindowController::willClose, this,
            &TQAppDelegate::preferencesWindowWillClose);
}

void TQAppDelegate::preferencesWindowWillClose()
{
    // Released on a later turn: this runs inside the window's own close.
    if (!preferencesWindowController_) return;
    TQPreferencesWindowController* closing = preferencesWindowController_.release();
    disconnect(closing, nullptr, this, nullptr);
    closing->deleteLater();
    keyWindowChanged(QApplication::activeWindow());
}

void TQAppDelegate::openPreferences()
{
    if (!KZCore::sharedInstance().canShowMainWindow()) {
        kz_beep();
        return;
    }
    makePreferencesControllerIfNeeded();
    preferencesWindowController_->showWindow();
}

void TQAppDelegate::openAbout()
{
    makePreferencesControllerIfNeeded();
    preferencesWindowController_->window()->setVisible(false);
    preferencesWindowController_->openAbout(false);
    preferencesWindowController_->showWindow();
}

void TQAppDelegate::showHelp()
{
    KZWorkspace::shared().openURL(QUrl(TQWebAddresses::supportPage));
}

void TQAppDelegate::followZANDREL()
{
    KZWorkspace::shared().openURL(QUrl(TQWebAddresses::microblogPage));
}

void TQAppDelegate::rateApp()
{
    KZCore::sharedInstance().rateApp();
}

void TQAppDelegate::joinMailingList()
{
    KZCore::sharedInstance().showWindow();
}

// ---- Touch Bar rule and the welcome window

void TQAppDelegate::keyWindowChanged(QWidget* activeWindow)
{
    if (!KZCore::sharedInstance().canShowMainWindow()) return;
    KZTouchBarController& bar = KZTouchBarController::sharedController();
    const bool isPreferences = activeWindow && preferencesWindowController_ &&
                               preferencesWindowController_->isWindowLoaded() &&
                               activeWindow == preferencesWindowController_->window();
    if (!activeWindow || isPreferences) {
        bar.setHidden(true);
    } else if (qobject_cast<QFileDialog*>(activeWindow)) {
        // The folder panel hides the bar itself and shows it again when it ends.
    } else {
        bar.setHidden(false);
    }
}

void TQAppDelegate::addKZCNotificationObservers()
{
    auto& center = KZNotificationCenter::defaultCenter();
    center.addObserver(
        KZCWelcomeNotifications.welcomeWindowDidOpen, [this](const KZNotification&) { welcomeWindowDidOpen(); }, this);
    center.addObserver(
        KZCWelcomeNotifications.welcomeWindowDidClose, [this](const KZNotification&) { welcomeWindowDidClose(); },
        this);
}

void TQAppDelegate::welcomeWindowDidOpen()
{
    KZTouchBarController::sharedController().setHidden(true);
    if (mainWindowController_ && mainWindowController_->isWindowLoaded()) mainWindowController_->window()->hide();
}

void TQAppDelegate::welcomeWindowDidClose()
{
    KZTouchBarController::sharedController().setHidden(false);
    if (!mainWindowController_) return;
    mainWindowController_->showWindow();
    mainWindowController_->window()->activateWindow();
}
