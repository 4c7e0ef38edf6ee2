#pragma once
// The names through which the screens move the main window's wizard and ask for the delete
// sheet. All are posted on the default notification centre with no user information. Three
// carry the historical spelling "TQNotifcation_"; two of those are observed but posted by
// nothing.

#include <QString>

// The scanning screen, when a scan ends with results; the results screen, whenever its freed
// total grows. Main window: enableNextButton.
inline const QString TQNotification_EnableNextButton = QStringLiteral("TQNotification_EnableNextButton");
// Posted by nothing. Main window: disableNextButton.
inline const QString TQNotifcation_DisableNextButton = QStringLiteral("TQNotifcation_DisableNextButton");
// Posted by nothing. Main window: showCancelButton.
inline const QString TQNotifcation_ShowCancelButton = QStringLiteral("TQNotifcation_ShowCancelButton");
// The scanning screen, whenever a scan ends. Main window: hideCancelButton.
inline const QString TQNotifcation_HideCancelButton = QStringLiteral("TQNotifcation_HideCancelButton");
// A cancelled scan; "New Scan" on the results screen. Main window: startAgain.
inline const QString TQNotification_StartOver = QStringLiteral("TQNotification_StartOver");
// The results screen's rescan prompt, 0.4 s after "Rescan". Main window: rescan.
inline const QString TQNotification_Rescan = QStringLiteral("TQNotification_Rescan");
// The delete-queue popover, 0.3 s after its Empty Trash. Results screen: the delete sheet.
inline const QString TQNotification_EmptyTrash = QStringLiteral("TQNotification_EmptyTrash");
// The main window's delete-queue question before the finished screen. Results screen: the
// delete sheet, then TQNotification_Finish.
inline const QString TQNotification_EmptyTrashAndFinish = QStringLiteral("TQNotification_EmptyTrashAndFinish");
// The main window's delete-queue question when quitting. Results screen: the delete sheet,
// then the program ends.
inline const QString TQNotification_EmptyTrashAndQuit = QStringLiteral("TQNotification_EmptyTrashAndQuit");
// The results screen after the sheet that TQNotification_EmptyTrashAndFinish asked for.
// Main window: showFinishedView.
inline const QString TQNotification_Finish = QStringLiteral("TQNotification_Finish");
// The scanning screen, right after TQNotification_EnableNextButton. Main window: goNext.
inline const QString TQNotification_GoNext = QStringLiteral("TQNotification_GoNext");
