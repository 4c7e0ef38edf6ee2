#pragma once
// The scanning screen, step 1 of the main window's wizard: shows the chosen folder's icon,
// counts items and bytes while a KZFileScanner walks the folder, keeps the scan's result,
// tells the user when a scan finishes while the program is in the background, and moves the
// wizard on through notifications (TQNotifications.h). It writes its state into the status
// panel (lcdViewController, not owned).
//
// The screen owns its scanner and is the scanner's owner object: no report reaches a
// destroyed screen, and a scan still running when the screen goes is cancelled. Only the
// scanner last started reports: starting a scan silences and cancels a running one. The main
// window owns the screen; it releases it from a notification handler with deleteLater().
// Main thread only.

#include "app/TQViewController.h"
#include "model/KZFile.h"
#include "model/KZTimer.h"
#include "platform/KZAnimationClock.h"

#include <QString>

#include <functional>
#include <memory>
#include <string>
#include <vector>

class KZFileScanner;
class KZSpaceLabel;
class KZView;
class QGraphicsOpacityEffect;
class QLabel;

KZ_INTERFACE_CLASS(TQFileScanViewController)

class TQFileScanViewController : public TQViewController {
    Q_OBJECT
    KZ_INTERFACE_FILE(TQFileScanViewController)
public:
    // The counter starts flashing after this long without a new path, in steps of this long.
    static constexpr double quietInterval = 3.0;
    static constexpr double flashStepDuration = 0.8;

    // The screen for one folder (path bytes).
    static std::unique_ptr<TQFileScanViewController> controllerWithFilePath(const std::string& path);

    explicit TQFileScanViewController(QObject* parent = nullptr);
    ~TQFileScanViewController() override;

    // Starts the scan the first time the screen shows (and whenever it shows without a result
    // and without a scan under way).
    void kz_viewDidAppear() override;
    // Builds, configures and starts a new scanner; a running one is silenced and cancelled.
    void startScan();
    // Cancels the running scan; the cancellation arrives later and posts
    // TQNotification_StartOver.
    void cancel();
    // Both counters to 0.
    void clear();

    bool isScanning() const { return isScanning_; }
    // With false: the quiet timer is dropped and the flashing stops.
    void setIsScanning(bool scanning);
    // The last scan that ended with results: element 0 is the root folder; empty when none.
    const KZFileList& scanResult() const { return scanResult_; }
    // The folders that scan could not read: how many, and the first thousand paths.
    int64_t unreadableFolderCount() const { return unreadableFolderCount_; }
    const std::vector<std::string>& unreadableFolders() const { return unreadableFolders_; }
    const std::string& filePath() const { return filePath_; }
    void setFilePath(const std::string& path) { filePath_ = path; }
    std::shared_ptr<KZFileScanner> fileScanner() const { return fileScanner_; }

    // Outlets.
    KZView* imageView();
    KZSpaceLabel* filesScannedLabel();
    KZSpaceLabel* totalScannedLabel();
    // Why the last scan failed, in full (wrapped under the counters); hidden otherwise.
    QLabel* failureLabel();

    // The flashing of the items counter.
    bool isFlashing() const { return animating_; }
    bool isQuietTimerRunning() const { return messageRotationTimer_ && messageRotationTimer_->isRunning(); }
    double filesScannedOpacity() const;

    // Test seam: called with each new scanner just before it starts.
    void setScannerPreparationForTesting(std::function<void(KZFileScanner&)> prepare)
    {
        prepareScanner_ = std::move(prepare);
    }

protected:
    void awakeFromNib() override;

    // What the scanner reports, in the order a scan sends them (main thread).
    void scanDidCount(qint64 count);
    void scanDidMeasure(double bytes);
    void scanDidReachPath(const std::string& path);
    void scanDidComplete(const KZFileList& results);
    void scanDidFail(const QString& error);
    void scanWasCancelled();

private:
    void ensureLoaded() { view(); }
    // Stops the scanner's reports from reaching this screen and cancels it.
    void releaseScanner();

    void hideCancel();
    void showNoResults(const QString& reason = QString());
    void showFailure(const QString& reason);

    void startFlashingIfNeeded();
    void startFlashingTotalDuplicates();
    void stopFlashingTotalDuplicates();
    void flashStep();
    void setFilesScannedOpacity(double opacity);

    bool isScanning_ = false;
    bool starting_ = false; // inside the scanner's start()
    bool shouldAnimate_ = false;
    bool animating_ = false;
    std::string filePath_;
    KZFileList scanResult_;
    int64_t unreadableFolderCount_ = 0;
    std::vector<std::string> unreadableFolders_;
    std::shared_ptr<KZFileScanner> fileScanner_;
    std::unique_ptr<KZTimer> messageRotationTimer_;

    QGraphicsOpacityEffect* opacityEffect_ = nullptr;
    struct Flash {
        double from = 1.0;
        double to = 1.0;
        double start = 0;
        std::unique_ptr<KZAnimationClock::Timer> timer;
    } flash_;
    std::function<void(KZFileScanner&)> prepareScanner_;
};
