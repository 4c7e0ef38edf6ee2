#pragma once
// Ostrel stand-in: the names under which KZCore announces its welcome window, posted on the
// default KZNotificationCenter on the main thread (no user information).

#include <QString>

struct KZCWelcomeNotificationNames {
    // Posted when the welcome window has opened.
    QString welcomeWindowDidOpen;
    // Posted when the welcome window has closed.
    QString welcomeWindowDidClose;
};

inline const KZCWelcomeNotificationNames KZCWelcomeNotifications{
    QStringLiteral("KZCWelcomeWindowDidOpenNotification"),
    QStringLiteral("KZCWelcomeWindowDidCloseNotification"),
};
