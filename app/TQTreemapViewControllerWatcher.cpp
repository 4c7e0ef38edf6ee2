// The results screen's watcher on the scanned folder and its rescan prompt.
#include "app/TQTreemapViewController.h"

#include "app/TQNotifications.h"
#include "model/KZPath.h"
#include "model/Preferences.h"
#include "platform/KZAnimationClock.h"
#include "platform/KZDispatch.h"
#include "platform/KZLog.h"
#include "platform/KZPathString.h"
#include "platform/KZUserDefaults.h"
#include "platform/widgets/KZAlertService.h"

#include <QMetaMethod>

namespace {

// The settings store rewrites its file (through a temporary sibling named after it) on every
// change; when it lies inside the scanned folder, those writes are the program's own.
bool isSettingsFileChange(const std::string& path)
{
    const std::string settings = kz::pathFromQString(Preferences::sharedPreferences().userDefaults().filePath());
    if (settings.empty()) return false;
    if (path.compare(0, settings.size(), settings) == 0) return true;
    return kz_isEqualToPath(path, kz_stringByDeletingLastPathComponent(settings));
}

} // namespace

void TQTreemapViewController::addFileEventListener()
{
    if (!rootDirectory_ || fileEventListener_ || Preferences::sharedPreferences().suppressFileChangeAlert()) return;
    const std::string root = kz::pathWithoutTrailingSlash(rootDirectory_->path());
    TQChangeWatcher::Hooks hooks;
    hooks.canPrompt = [this] { return canShowFilesChangedAlertNow(); };
    hooks.isOwnChange = [this](const std::string& path) {
        return filePathWasCompressFileChange(path) || isSettingsFileChange(path);
    };
    hooks.changed = [this] { showFilesChangedAlert(); };
    hooks.handled = [this](const std::string& path) {
        static const QMetaMethod signal = QMetaMethod::fromSignal(&TQTreemapViewController::fileEventHandled);
        if (isSignalConnected(signal)) Q_EMIT fileEventHandled(kz::toByteArray(path));
    };
    fileEventListener_ = std::make_unique<TQChangeWatcher>(rootDirectory_, &ensureIgnoreList(), std::move(hooks));
    try {
        fileEventListener_->start(kWatcherLatency, kWatcherFlags);
    } catch (const std::exception& error) {
        // The screen works on without the rescan prompt.
        fileEventListener_.reset();
        KZSystemLog(QStringLiteral("Could not watch '%1' for changes: %2")
                        .arg(kz::displayString(root), QString::fromUtf8(error.what())));
    }
}

void TQTreemapViewController::removeFileEventListener()
{
    fileEventListener_.reset();
}

KZDirectoryPtr TQTreemapViewController::directoryWithPath(const std::string& path, const KZDirectoryPtr& folder,
                                                          bool enterPackages, bool* reachedPath)
{
    return TQRunLedger::directoryWithPath(path, folder, enterPackages, reachedPath);
}

bool TQTreemapViewController::filePathWasCompressFileChange(const std::string& path) const
{
    for (const auto& compression : compressingWindowControllers_)
        if (compression && kz_isEqualToPath(path, compression->compressedFilePath())) return true;
    // Compressions that earlier screens of the run started and handed over.
    if (const TQRunLedger* ledger = runLedger())
        for (const TQCompressingWindowController* compression : ledger->runningCompressions())
            if (kz_isEqualToPath(path, compression->compressedFilePath())) return true;
    return false;
}

void TQTreemapViewController::handleFileEvent(const CDEvent& event)
{
    handleFileEvents({event.shared_from_this()});
}

void TQTreemapViewController::handleFileEvents(const std::vector<CDEventPtr>& events)
{
    if (fileEventListener_) fileEventListener_->handleEvents(events);
}

bool TQTreemapViewController::canShowFilesChangedAlertNow() const
{
    if (Preferences::sharedPreferences().suppressFileChangeAlert() || !canShowFileChangeAlert_) return false;
    // At most one prompt in a minute (a second change at the same moment included).
    const double now = KZAnimationClock::shared().now();
    return !(dateLastShownChangedAlert_ && now - *dateLastShownChangedAlert_ < kRescanPromptInterval);
}

void TQTreemapViewController::showFilesChangedAlert()
{
    if (!canShowFilesChangedAlertNow()) return;
    dateLastShownChangedAlert_ = KZAnimationClock::shared().now();
    canShowFileChangeAlert_ = false;

    KZAlert alert;
    alert.messageText = RescanMessage;
    alert.informativeText = RescanInformative;
    alert.buttons = {RescanButton, NoButton};
    alert.showsSuppressionButton = true;
    alert.suppressionTitle = RescanSuppression;
    QPointer<TQTreemapViewController> self(this);
    kz_beginSheetModalForWindow(alert, parentWindow() ? parentWindow()->window() : nullptr,
                                [self](const KZAlertResult& result) {
                                    if (result.suppressionState)
                                        Preferences::sharedPreferences().setSuppressFileChangeAlert(true);
                                    if (!self) return;
                                    if (result.response == KZAlertFirstButtonReturn) {
                                        KZRunOnMainThreadAfterDelay(
                                            [self] {
                                                // Only a screen still on show asks for its rescan.
                                                if (self && self->isOnShow() && self->rootDirectory())
                                                    KZNotificationCenter::defaultCenter().post(TQNotification_Rescan);
                                            },
                                            kRescanDelay, self.data());
                                    }
                                    self->canShowFileChangeAlert_ = true;
                                });
}
