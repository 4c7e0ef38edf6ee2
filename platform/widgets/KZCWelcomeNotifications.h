#pragma once
// TEMPORARY STUB until the maker's framework stand-in lands.
#include <QString>

struct KZCWelcomeNotificationNames {
    QString welcomeWindowDidOpen;
    QString welcomeWindowDidClose;
};

inline const KZCWelcomeNotificationNames KZCWelcomeNotifications{
    QStringLiteral("KZCWelcomeWindowDidOpenNotification"),
    QStringLiteral("KZCWelcomeWindowDidCloseNotification"),
};
