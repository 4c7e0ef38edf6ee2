#pragma once
// The application's delegate: runs the launch sequence, owns the main window controller for
// the life of the program and the preferences window controller while that window is open,
// carries the main menu's actions, and holds the program's one quit path. Every way of
// ending the program (Quit in the menu or on the finished screen, the main window's close
// button, logging out of the desktop, KZApplicationServices::terminate()) asks through
// requestQuit(), which asks before anything closes and is refused while the delete sheet
// or a confirmed delete runs (a compression still running is cancelled when the program
// ends). It also decides from the active window whether the Touch Bar model shows anything,
// and follows the welcome window of the maker's framework stand-in. Main thread only.

#include <QAction>
#include <QMenuBar>
#include <QObject>
#include <QPointer>

#include <functional>
#include <memory>

class KZTouchBar;
class QSessionManager;
class QWidget;
class TQMainWindowController;
class TQPreferencesWindowController;

class TQAppDelegate : public QObject {
    Q_OBJECT
public:
    explicit TQAppDelegate(QObject* parent = nullptr);
    ~TQAppDelegate() override;

    // The launch sequence; run once, after the application object exists.
    void applicationDidFinishLaunching();
    // Brings the program's windows forward (or the framework's own window while the main
    // window may not show); always answers false.
    bool applicationShouldHandleReopen(bool hasVisibleWindows);
    // The quit confirmation of a non-empty delete queue: true to quit now. "Quit" empties the
    // queue; "Cancel" leaves it as it was.
    bool applicationShouldTerminate();

    // The one quit path: asks (the delete-queue question of the main window, then the quit
    // confirmation) and ends the program unless the user cancels, the delete sheet runs, or a
    // confirmed delete runs (then an alert says why and the program goes on).
    // Answers whether the program is ending.
    bool requestQuit();
    // Asks as requestQuit() does without ending the program (the desktop's logout asks this
    // way, then ends the program itself).
    bool confirmQuit();
    // The desktop session is ending (logout): whether the program agrees. It asks as
    // confirmQuit() does when the session lets it ask, and always refuses while the delete
    // sheet runs.
    bool answerLogout(bool mayAsk);

    // Main-menu actions.
    void scan();
    void openPreferences();
    void openAbout();
    void showHelp();
    void followZANDREL();
    void rateApp();
    void joinMailingList();
    void checkForUpdates() {}

    // The Touch Bar rule for the window now active (null: none).
    void keyWindowChanged(QWidget* activeWindow);
    // The application's Touch Bar: made on first read where the system has Touch Bars, which
    // Linux never has (null).
    KZTouchBar* touchBar();

    TQMainWindowController* mainWindowController() const { return mainWindowController_.get(); }
    TQPreferencesWindowController* preferencesWindowController() const { return preferencesWindowController_.get(); }
    QMenuBar* mainMenu() const { return mainMenu_; }
    QAction* checkForUpdatesMenuItem() const { return checkForUpdatesMenuItem_; }

    // What ends the program once the user agreed (default: leave the event loop). Tests
    // replace it.
    void setEndProgramHandler(std::function<void()> handler) { endProgram_ = std::move(handler); }
    // Makes the Touch Bar where the system has one (tests give a fake).
    void setTouchBarFactory(std::function<KZTouchBar*()> factory) { touchBarFactory_ = std::move(factory); }

    // The alert of a quit while a confirmed delete runs.
    static inline const QString StillDeletingMessage = QStringLiteral("Sizemere is still deleting");
    static inline const QString StillDeletingInformative =
        QStringLiteral("The items you chose are still being deleted. Quit again once the deletion has finished.");

    // The product's numeric store identifier, as the framework wants it.
    static const char* const appStoreID;

private:
    void buildMainMenu();
    void makePreferencesControllerIfNeeded();
    void preferencesWindowWillClose();
    void addKZCNotificationObservers();
    void welcomeWindowDidOpen();
    void welcomeWindowDidClose();
    void commitDataRequest(QSessionManager& manager);
    void endProgram();
    // The delete sheet or a confirmed delete is running.
    bool isDeleting() const;
    // The alert of a quit while a confirmed delete runs; it closes when the delete ends.
    void sayStillDeleting();

    std::unique_ptr<TQMainWindowController> mainWindowController_;
    std::unique_ptr<TQPreferencesWindowController> preferencesWindowController_;
    // The main menu: ours until the main window takes it, then watched.
    std::unique_ptr<QMenuBar> ownMainMenu_;
    QPointer<QMenuBar> mainMenu_;
    QPointer<QAction> checkForUpdatesMenuItem_;
    std::unique_ptr<KZTouchBar> touchBar_;
    bool touchBarRead_ = false;
    bool asking_ = false;
    bool ending_ = false;
    std::function<void()> endProgram_;
    std::function<KZTouchBar*()> touchBarFactory_;
};
