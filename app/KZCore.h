#pragma once
// TEMPORARY STUB until the maker's framework stand-in lands.
#include <QString>

class KZCConfig {
public:
    void setAppStoreID(const QString& id) { appStoreID = id; }
    void setShowsRunAtLoginButton(bool shows) { showsRunAtLoginButton = shows; }
    QString appStoreID;
    bool showsRunAtLoginButton = true;
};

class KZCore {
public:
    static KZCore& sharedInstance()
    {
        static KZCore core;
        return core;
    }
    void applicationDidLaunchWithConfig(const KZCConfig&) {}
    bool canShowMainWindow() const { return true; }
    void showWindow() {}
    void showAnyVisibleWindows() {}
    void rateApp() {}
};

struct KZCWelcomeNotifications {
    static inline const QString windowDidOpen = QStringLiteral("KZCWelcomeWindowDidOpen");
    static inline const QString windowDidClose = QStringLiteral("KZCWelcomeWindowDidClose");
};
