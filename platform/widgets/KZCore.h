#pragma once
// Ostrel stand-in: the maker's framework as the application calls it. It shows a welcome
// window on the first run (never on the offscreen platform the tests use, unless a test asks
// for it), answers whether the main window may show (not while the welcome window is open),
// shows a mailing-list window of its own, and opens the rating page in the browser. It has
// no network code: every page opens through KZWorkspace.

#include "platform/widgets/KZCConfig.h"
#include "platform/widgets/KZCWindow.h"

#include <QObject>
#include <QPointer>
#include <QUrl>

#include <optional>

class KZCore : public QObject {
    Q_OBJECT
public:
    static KZCore& sharedInstance();

    // Takes the configuration; on the first run (the settings store has not recorded a
    // welcome yet) it opens the welcome window, whose opening is announced on a later turn of
    // the main thread. Only the first call has an effect beyond storing the configuration.
    void applicationDidLaunchWithConfig(const KZCConfig& config);
    // False while the welcome window is open.
    bool canShowMainWindow() const;
    // Shows the framework's own window: the mailing-list window.
    void showWindow();
    // Brings forward the framework's windows that are open.
    void showAnyVisibleWindows();
    // Opens the product's rating page in the browser.
    void rateApp();

    const KZCConfig& config() const { return config_; }
    KZCWindow* welcomeWindow() const { return welcomeWindow_; }
    KZCWindow* mailingListWindow() const { return mailingListWindow_; }

    // Whether the welcome window may ever show: unset means "yes, except on the offscreen
    // and minimal platforms" (tests). Tests that exercise the welcome window set it.
    static void setWelcomeWindowAllowed(std::optional<bool> allowed);
    static bool welcomeWindowAllowed();
    // Forgets the launch (tests): the next applicationDidLaunchWithConfig acts again. Closes
    // the framework's windows.
    void resetForTesting();

    static QUrl ratingPageURL();
    static QUrl mailingListURL();
    // The settings-store key that records that the welcome window was shown.
    static inline const QString WelcomeShownKey = QStringLiteral("KZCWelcomeWindowShown");

private:
    KZCore() = default;
    void openWelcomeWindow();
    void welcomeWindowClosed();

    KZCConfig config_;
    bool launched_ = false;
    QPointer<KZCWindow> welcomeWindow_;
    QPointer<KZCWindow> mailingListWindow_;
};
