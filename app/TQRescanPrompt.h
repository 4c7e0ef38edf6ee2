#pragma once
// The results screen's watch on its scanned folder and the rescan prompt it brings: it starts
// and stops the change watcher (TQChangeWatcher) on the screen's tree, passes over the
// program's own changes (an archive being written, the settings file), and when a change
// counts, asks "Would you like to Rescan?" at most once a minute, never while a prompt or the
// delete sheet is up. "Rescan" asks the screen for its rescan a moment later; the suppression
// box turns the prompt off for good.
//
// Ownership: the results screen owns it (made once the screen has a tree) and outlives it;
// it owns the watcher while it watches. The tree and the ignore list are the screen's; the
// window is the main window (not owned).

#include "model/CDEvents.h"
#include "model/KZFile.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class KZIgnoreList;
class QWidget;
class TQChangeWatcher;

class TQRescanPrompt : public QObject {
    Q_OBJECT
public:
    static inline const QString RescanMessage = QStringLiteral("Would you like to Rescan?");
    static inline const QString RescanInformative = QStringLiteral(
        "Sizemere has detected some files/folders have change since scanning took place. If you would like to update "
        "the tree map display, please press the 'Rescan' button.");
    static inline const QString RescanButton = QStringLiteral("Rescan");
    static inline const QString NoButton = QStringLiteral("No");
    static inline const QString RescanSuppression = QStringLiteral("Don't ask me to rescan on file/folder changes");

    // Values of the watcher on the scanned folder.
    static constexpr double kWatcherLatency = 1.0;
    static constexpr uint32_t kWatcherFlags = 0x1D;
    // The prompt shows at most once in this many seconds.
    static constexpr double kRescanPromptInterval = 60.0;
    // Delay (seconds) between "Rescan" and the request.
    static constexpr double kRescanDelay = 0.4;

    // `ignoreList` must outlive the prompt; `isOwnChange` says whether a change at a path is
    // the program's own doing (besides the settings file).
    TQRescanPrompt(KZDirectoryPtr root, const KZIgnoreList* ignoreList, QWidget* window,
                   std::function<bool(const std::string& path)> isOwnChange, QObject* parent = nullptr);
    ~TQRescanPrompt() override;

    // Starts watching (not while the prompt is turned off, nor twice); a watcher that can't
    // be made leaves the prompt off until the next start.
    void addFileEventListener();
    void removeFileEventListener();
    // The running watch; null when none.
    CDEvents* fileEventListener() const;

    // Whether a prompt may show (false while one is up or while the delete sheet runs).
    bool canShowFileChangeAlert() const { return canShowFileChangeAlert_; }
    void setCanShowFileChangeAlert(bool can) { canShowFileChangeAlert_ = can; }
    // Whether showFilesChangedAlert would show the prompt now.
    bool canShowFilesChangedAlertNow() const;
    void showFilesChangedAlert();
    // A delivery of the watcher, looked at as one.
    void handleFileEvents(const std::vector<CDEventPtr>& events);

Q_SIGNALS:
    // The user answered "Rescan" a moment ago.
    void rescanRequested();
    // The watcher's event for the path has been looked at (whether or not it prompted).
    void fileEventHandled(const QByteArray& path);

private:
    KZDirectoryPtr root_;
    const KZIgnoreList* ignoreList_;
    QPointer<QWidget> window_;
    std::function<bool(const std::string& path)> isOwnChange_;
    std::unique_ptr<TQChangeWatcher> watcher_;
    bool canShowFileChangeAlert_ = true;
    std::optional<double> dateLastShownChangedAlert_;
};
