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

#include <QScopeGuard>

namespace {

// The settings store rewrites its file (through a temporary sibling named after it) on every
// change; when it lies inside the scanned folder, those writes are the program's own.
bool isSettingsFileChange(const std::string& path)
{
    const std::string settings =
        kz::pathFromQString(Preferences::sharedPreferences().userDefaults().filePath());
    if (settings.empty()) return false;
    if (path.compare(0, settings.size(), settings) == 0) return true;
    return kz_isEqualToPath(path, kz_stringByDeletingLastPathComponent(settings));
}

} // namespace

void TQTreemapViewController::addFileEventListener()
{
    if (!rootDirectory_ || fileEventListener_ || Preferences::sharedPreferences().suppressFileChangeAlert()) return;
    const std::string root = kz::pathWithoutTrailingSlash(rootDirectory_->path());
    try {
        fileEventListener_ = std::make_unique<CDEvents>(
            std::vector<std::string>{root},
            [this](CDEvents&, const CDEventPtr& event) {
                if (event) handleFileEvent(*event);
            },
            kCDEventsSinceEventNow, kWatcherLatency, false, std::vector<std::string>{}, kWatcherFlags);
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
    const std::string& path = event.path();
    const auto reported = qScopeGuard([&] { Q_EMIT fileEventHandled(kz::toByteArray(path)); });
    if (!rootDirectory_) return;
    if (filePathWasCompressFileChange(path) || isSettingsFileChange(path)) return;
    // The scanned folder itself (removed, renamed, unmounted, events dropped) has no folder
    // in the tree to look in; a rescan can't be offered for it.
    const std::string rootPath = rootDirectory_->path();
    if (kz_isEqualToPath(path, rootPath) || !kz_isChildOfPath(path, rootPath)) return;
    // Changes to what the treemap leaves out don't matter.
    if (ignoreList_ && ignoreList_->filePathIsIgnored(path)) return;
    // Only items that appear, go or change names count; content and attribute changes don't.
    if (!(event.isRemoved() || event.isCreated() || event.isRenamed())) return;

    const KZDirectoryPtr folder = directoryWithPath(kz_stringByDeletingLastPathComponent(path), rootDirectory_);
    if (!folder) return;
    const Preferences& prefs = Preferences::sharedPreferences();
    if ((kz_isHidden(path) || folder->isHidden()) && !prefs.showHiddenFiles()) return;

    KZFile* record = nullptr;
    for (KZFile* child : folder->children()) {
        if (kz_isEqualToPath(child->path(), path)) {
            record = child;
            break;
        }
    }
    double size = 0;
    if (record) {
        size = record->fileSize();
    } else if (kz_isDirectory(path)) {
        size = -1;
    } else if (const auto metadata = KZFile::metadataForFileAtPath(path)) {
        size = metadata->fileSize;
    }
    if (size == -1 || size >= prefs.minFileSize()) showFilesChangedAlert();
}

void TQTreemapViewController::showFilesChangedAlert()
{
    if (Preferences::sharedPreferences().suppressFileChangeAlert() || !canShowFileChangeAlert_) return;
    // At most one prompt in a minute (a second change at the same moment included).
    const double now = KZAnimationClock::shared().now();
    if (dateLastShownChangedAlert_ && now - *dateLastShownChangedAlert_ < kRescanPromptInterval) return;
    dateLastShownChangedAlert_ = now;
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
