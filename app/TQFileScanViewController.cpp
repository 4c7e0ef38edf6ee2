#include "app/TQFileScanViewController.h"

#include "ui_TQFileScanViewController.h"

#include "app/KZLCDLabel.h"
#include "app/KZLCDStatusViewController.h"
#include "app/TQNotifications.h"
#include "kit/KZController.h"
#include "kit/KZSpaceLabel.h"
#include "kit/KZView.h"
#include "model/KZFileScanner.h"
#include "model/KZPath.h"
#include "model/Preferences.h"
#include "platform/KZDispatch.h"
#include "platform/KZNotificationCenter.h"
#include "platform/KZNotifier.h"
#include "platform/KZPathString.h"
#include "platform/widgets/KZApplicationServices.h"
#include "platform/widgets/KZImage.h"
#include "platform/widgets/KZWorkspace.h"

#include <QGraphicsOpacityEffect>
#include <QLabel>
#include <QPointer>

#include <algorithm>

KZ_INTERFACE_FILE_IMPL(TQFileScanViewController)

namespace {
// Steps of the counter's fade: about sixty a second.
constexpr double kFrameInterval = 1.0 / 60.0;
} // namespace

std::unique_ptr<TQFileScanViewController> TQFileScanViewController::controllerWithFilePath(const std::string& path)
{
    auto screen = controller<TQFileScanViewController>();
    screen->setFilePath(path);
    return screen;
}

TQFileScanViewController::TQFileScanViewController(QObject* parent) : TQViewController(parent) {}

TQFileScanViewController::~TQFileScanViewController()
{
    // Nothing of a scan still under way may reach this screen: silence it and stop it.
    releaseScanner();
}

void TQFileScanViewController::awakeFromNib()
{
    TQViewController::awakeFromNib();
    // The counter flashes through an opacity effect; 1.0 is fully drawn.
    opacityEffect_ = new QGraphicsOpacityEffect(ui()->filesScannedLabel);
    opacityEffect_->setOpacity(1.0);
    ui()->filesScannedLabel->setGraphicsEffect(opacityEffect_);
}

KZView* TQFileScanViewController::imageView()
{
    ensureLoaded();
    return ui()->imageView;
}

KZSpaceLabel* TQFileScanViewController::filesScannedLabel()
{
    ensureLoaded();
    return ui()->filesScannedLabel;
}

KZSpaceLabel* TQFileScanViewController::totalScannedLabel()
{
    ensureLoaded();
    return ui()->totalScannedLabel;
}

QLabel* TQFileScanViewController::failureLabel()
{
    ensureLoaded();
    return ui()->failureLabel;
}

void TQFileScanViewController::kz_viewDidAppear()
{
    TQViewController::kz_viewDidAppear();
    // Shown again with a result, or while its scan runs, the screen starts nothing.
    if (scanResult_.empty() && !isScanning_) startScan();
}

void TQFileScanViewController::startScan()
{
    ensureLoaded();
    // Only the newest scan may report: an older one is silenced before it is stopped, so its
    // cancellation can't send the wizard back to the start.
    releaseScanner();

    if (KZLCDStatusViewController* lcd = lcdViewController()) lcd->showScanningView();
    showFailure(QString());
    KZView* icon = imageView();
    icon->setBackgroundImage(KZImage::fromIcon(kz_iconForFile(filePath_), QSizeF(icon->size())));
    icon->setAccessibleName(kz_localizedFileName(filePath_));

    std::vector<std::string> paths;
    if (!filePath_.empty()) paths.push_back(filePath_);
    Preferences& preferences = Preferences::sharedPreferences();
    std::shared_ptr<KZFileScanner> scanner = KZFileScanner::scannerWithPaths(paths, preferences.minFileSize());
    scanner->setIgnoredPaths(preferences.ignoredPaths());
    scanner->setIgnoredExtensions(preferences.ignoreList());

    // The blocks name the screen; the scanner drops every report once the screen is gone
    // (its owner), and releaseScanner() clears them when a newer scan takes over.
    KZFileScanner* raw = scanner.get();
    scanner->setFailureBlock([this, raw](const QString& error) {
        if (raw != fileScanner_.get()) return;
        if (!starting_) {
            scanDidFail(error);
            return;
        }
        // A failure inside start() (no path to scan): handled on the next turn, once whoever
        // started the scan has finished setting up around it (the wizard shows its Cancel
        // button after the screen appears; the hide must come after that).
        KZRunOnMainThread(
            [this, raw, error] {
                if (raw == fileScanner_.get() && isScanning_) scanDidFail(error);
            },
            this);
    });
    scanner->setCancelledBlock([this] { scanWasCancelled(); });
    scanner->setCompletionBlock([this](const KZFileList& results) { scanDidComplete(results); });
    scanner->setCurrentPathBlock([this](const std::string& path) { scanDidReachPath(path); });
    scanner->setProgressBlock([this](qint64 count) { scanDidCount(count); });
    scanner->setTotalBytesProgressBlock([this](double bytes) { scanDidMeasure(bytes); });
    scanner->setOwner(this);
    fileScanner_ = scanner;
    if (prepareScanner_) prepareScanner_(*scanner);

    // Set before the start: a failure may arrive inside it and must not be overwritten.
    setIsScanning(true);
    starting_ = true;
    scanner->start();
    starting_ = false;
}

void TQFileScanViewController::releaseScanner()
{
    if (!fileScanner_) return;
    std::shared_ptr<KZFileScanner> scanner = std::move(fileScanner_);
    scanner->setFailureBlock({});
    scanner->setCancelledBlock({});
    scanner->setCompletionBlock({});
    scanner->setCurrentPathBlock({});
    scanner->setProgressBlock({});
    scanner->setTotalBytesProgressBlock({});
    scanner->cancel();
    if (isScanning_) setIsScanning(false);
}

void TQFileScanViewController::cancel()
{
    if (fileScanner_) fileScanner_->cancel();
}

void TQFileScanViewController::clear()
{
    filesScannedLabel()->setIntegerValue(0);
    totalScannedLabel()->setSize(0.0);
}

void TQFileScanViewController::setIsScanning(bool scanning)
{
    isScanning_ = scanning;
    if (scanning) return;
    if (messageRotationTimer_) {
        messageRotationTimer_->invalidate();
        messageRotationTimer_.reset();
    }
    stopFlashingTotalDuplicates();
}

// Scanner reports ----------------------------------------------------------------------------

void TQFileScanViewController::hideCancel()
{
    KZNotificationCenter::defaultCenter().post(TQNotifcation_HideCancelButton);
}

void TQFileScanViewController::showNoResults(const QString& reason)
{
    if (KZLCDStatusViewController* lcd = lcdViewController()) lcd->showNoDuplicatesView(reason);
    hideCancel();
}

void TQFileScanViewController::showFailure(const QString& reason)
{
    // Where the user looks, whole: the toolbar panel has room for a few words only.
    QLabel* label = failureLabel();
    label->setText(reason);
    label->setAccessibleName(reason);
    label->setAccessibleDescription(reason);
    label->setVisible(!reason.isEmpty());
}

void TQFileScanViewController::scanDidFail(const QString& error)
{
    setIsScanning(false);
    showFailure(error);
    showNoResults(error);
}

void TQFileScanViewController::scanWasCancelled()
{
    setIsScanning(false);
    // The wizard goes back to its start and releases this screen: nothing after this line.
    KZNotificationCenter::defaultCenter().post(TQNotification_StartOver);
}

void TQFileScanViewController::scanDidComplete(const KZFileList& results)
{
    setIsScanning(false);
    if (results.empty() || !results.front()) {
        showNoResults();
        return;
    }
    hideCancel();
    const KZFilePtr& root = results.front();
    const KZDirectory* folder = kz_asDirectory(root.get());
    if (root->fileSize() == 0 || !folder || folder->childCount() == 0) {
        showNoResults();
        return;
    }
    if (KZLCDStatusViewController* lcd = lcdViewController()) lcd->showFinishedView();
    scanResult_ = results;
    unreadableFolderCount_ = fileScanner_ ? fileScanner_->unreadableFolderCount() : 0;
    unreadableFolders_ = fileScanner_ ? fileScanner_->unreadableFolders() : std::vector<std::string>();

    KZApplicationServices& application = KZApplicationServices::shared();
    application.requestUserAttention(view()->window());
    if (!application.isActive()) {
        QString name = root->fileName();
        if (name.isEmpty()) name = kz::displayString(root->path());
        KZUserNotification notification;
        notification.title = QStringLiteral("Sizemere");
        notification.subtitle = QStringLiteral("Finished scanning: %1").arg(name);
        notification.playsSound = true;
        KZNotifier::shared().deliver(notification);
    }
    // The wizard moves on to the results.
    KZNotificationCenter::defaultCenter().post(TQNotification_EnableNextButton);
    KZNotificationCenter::defaultCenter().post(TQNotification_GoNext);
}

void TQFileScanViewController::scanDidCount(qint64 count)
{
    filesScannedLabel()->setIntegerValue(count);
}

void TQFileScanViewController::scanDidMeasure(double bytes)
{
    // At once: a count-up animation would lag behind reports that come 30 times a second.
    totalScannedLabel()->setSize(bytes);
}

void TQFileScanViewController::scanDidReachPath(const std::string& path)
{
    startFlashingIfNeeded();
    if (KZLCDStatusViewController* lcd = lcdViewController())
        lcd->scanningTitleLabel()->setText(kz::displayString(path));
}

// The flashing counter ------------------------------------------------------------------------

void TQFileScanViewController::startFlashingIfNeeded()
{
    stopFlashingTotalDuplicates();
    if (messageRotationTimer_) messageRotationTimer_->invalidate();
    messageRotationTimer_ = KZTimer::timerWithInterval(quietInterval, false, QVariant(),
                                                       [this](KZTimer&) { startFlashingTotalDuplicates(); });
}

void TQFileScanViewController::startFlashingTotalDuplicates()
{
    if (!shouldAnimate_ && animating_) {
        setFilesScannedOpacity(1.0);
        animating_ = false;
        return;
    }
    shouldAnimate_ = true;
    animating_ = true;
    flash_.from = filesScannedOpacity();
    flash_.to = flash_.from == 1.0 ? 0.5 : 1.0;
    flash_.start = KZAnimationClock::shared().now();
    flash_.timer = KZAnimationClock::shared().schedule(kFrameInterval, true, [this] { flashStep(); });
}

void TQFileScanViewController::flashStep()
{
    const double t = std::clamp((KZAnimationClock::shared().now() - flash_.start) / flashStepDuration, 0.0, 1.0);
    if (t < 1.0 - 1e-9) {
        setFilesScannedOpacity(flash_.from + (flash_.to - flash_.from) * t);
        return;
    }
    setFilesScannedOpacity(flash_.to);
    flash_.timer.reset(); // dropping the handle from inside its tick is allowed
    startFlashingTotalDuplicates();
}

void TQFileScanViewController::stopFlashingTotalDuplicates()
{
    shouldAnimate_ = false;
    // The counter is fully drawn at once, and the step under way ends here rather than
    // finishing its fade first.
    flash_.timer.reset();
    animating_ = false;
    setFilesScannedOpacity(1.0);
}

void TQFileScanViewController::setFilesScannedOpacity(double opacity)
{
    if (opacityEffect_) opacityEffect_->setOpacity(opacity);
}

double TQFileScanViewController::filesScannedOpacity() const
{
    return opacityEffect_ ? opacityEffect_->opacity() : 1.0;
}
