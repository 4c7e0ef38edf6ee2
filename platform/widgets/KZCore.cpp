#include "platform/widgets/KZCore.h"

#include "platform/KZDispatch.h"
#include "platform/KZNotificationCenter.h"
#include "platform/KZUserDefaults.h"
#include "platform/widgets/KZCWelcomeNotifications.h"
#include "platform/widgets/KZCWindow.h"
#include "platform/widgets/KZWorkspace.h"

#include <QGuiApplication>

namespace {
std::optional<bool> welcomeAllowedOverride;

void bringForward(QWidget* window)
{
    if (!window) return;
    window->show();
    window->raise();
    window->activateWindow();
}
} // namespace

KZCore& KZCore::sharedInstance()
{
    static KZCore* shared = new KZCore;
    return *shared;
}

QUrl KZCore::ratingPageURL()
{
    return QUrl(QStringLiteral("https://zandrel.com/sizemere/review"));
}

QUrl KZCore::mailingListURL()
{
    return QUrl(QStringLiteral("https://zandrel.com/newsletter"));
}

void KZCore::setWelcomeWindowAllowed(std::optional<bool> allowed)
{
    welcomeAllowedOverride = allowed;
}

bool KZCore::welcomeWindowAllowed()
{
    if (welcomeAllowedOverride) return *welcomeAllowedOverride;
    const QString platform = QGuiApplication::platformName();
    return platform != QLatin1String("offscreen") && platform != QLatin1String("minimal");
}

void KZCore::applicationDidLaunchWithConfig(const KZCConfig& config)
{
    config_ = config;
    if (launched_) return;
    launched_ = true;
    KZUserDefaults& defaults = KZUserDefaults::standardUserDefaults();
    if (!welcomeWindowAllowed() || defaults.boolForKey(WelcomeShownKey)) return;
    defaults.setBool(WelcomeShownKey, true);
    openWelcomeWindow();
}

void KZCore::openWelcomeWindow()
{
    KZCWindow* window = KZCWindow::welcomeWindow();
    welcomeWindow_ = window;
    connect(window, &KZCWindow::closed, this, [this] { welcomeWindowClosed(); });
    bringForward(window);
    // Announced on a later turn, so observers registered right after the launch call hear it.
    KZRunOnMainThread([] { KZNotificationCenter::defaultCenter().post(KZCWelcomeNotifications.welcomeWindowDidOpen); },
                      this);
}

void KZCore::welcomeWindowClosed()
{
    welcomeWindow_ = nullptr;
    // After the opening's announcement (the main queue keeps its order), and outside the
    // window's close handling.
    KZRunOnMainThread([] { KZNotificationCenter::defaultCenter().post(KZCWelcomeNotifications.welcomeWindowDidClose); },
                      this);
}

bool KZCore::canShowMainWindow() const
{
    return welcomeWindow_.isNull();
}

void KZCore::showWindow()
{
    if (!mailingListWindow_) mailingListWindow_ = KZCWindow::mailingListWindow();
    bringForward(mailingListWindow_);
}

void KZCore::showAnyVisibleWindows()
{
    bringForward(welcomeWindow_);
    bringForward(mailingListWindow_);
}

void KZCore::rateApp()
{
    KZWorkspace::shared().openURL(ratingPageURL());
}

void KZCore::resetForTesting()
{
    launched_ = false;
    config_ = KZCConfig();
    // Closing posts the welcome window's close on a later turn, as a user's close would.
    if (welcomeWindow_) welcomeWindow_->close();
    if (mailingListWindow_) mailingListWindow_->close();
    welcomeWindow_ = nullptr;
    mailingListWindow_ = nullptr;
}
