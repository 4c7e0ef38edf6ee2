#include "app/TQRescanPrompt.h"

#include "app/TQChangeWatcher.h"
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

TQRescanPrompt::TQRescanPrompt(KZDirectoryPtr root, const KZIgnoreList* ignoreList, QWidget* window,
                               std::function<bool(const std::string& path)> isOwnChange, QObject* parent)
    : QObject(parent), root_(std::move(root)), ignoreList_(ignoreList), window_(window),
      isOwnChange_(std::move(isOwnChange))
{
}

TQRescanPrompt::~TQRescanPrompt() = default;

CDEvents* TQRescanPrompt::fileEventListener() const
{
    return watcher_ ? watcher_->events() : nullptr;
}

void TQRescanPrompt::addFileEventListener()
{
    if (!root_ || watcher_ || Preferences::sharedPreferences().suppressFileChangeAlert()) return;
    TQChangeWatcher::Hooks hooks;
    hooks.canPrompt = [this] { return canShowFilesChangedAlertNow(); };
    hooks.isOwnChange = [this](const std::string& path) {
        return (isOwnChange_ && isOwnChange_(path)) || isSettingsFileChange(path);
    };
    hooks.changed = [this] { showFilesChangedAlert(); };
    hooks.handled = [this](const std::string& path) {
        static const QMetaMethod signal = QMetaMethod::fromSignal(&TQRescanPrompt::fileEventHandled);
        if (isSignalConnected(signal)) Q_EMIT fileEventHandled(kz::toByteArray(path));
    };
    watcher_ = std::make_unique<TQChangeWatcher>(root_, ignoreList_, std::move(hooks));
    try {
        watcher_->start(kWatcherLatency, kWatcherFlags);
    } catch (const std::exception& error) {
        // The screen works on without the rescan prompt.
        watcher_.reset();
        KZSystemLog(
            QStringLiteral("Could not watch '%1' for changes: %2")
                .arg(kz::displayString(kz::pathWithoutTrailingSlash(root_->path())), QString::fromUtf8(error.what())));
    }
}

void TQRescanPrompt::removeFileEventListener()
{
    watcher_.reset();
}

void TQRescanPrompt::handleFileEvents(const std::vector<CDEventPtr>& events)
{
    if (watcher_) watcher_->handleEvents(events);
}

bool TQRescanPrompt::canShowFilesChangedAlertNow() const
{
    if (Preferences::sharedPreferences().suppressFileChangeAlert() || !canShowFileChangeAlert_) return false;
    // At most one prompt in a minute (a second change at the same moment included).
    const double now = KZAnimationClock::shared().now();
    return !(dateLastShownChangedAlert_ && now - *dateLastShownChangedAlert_ < kRescanPromptInterval);
}

void TQRescanPrompt::showFilesChangedAlert()
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
    QPointer<TQRescanPrompt> self(this);
    kz_beginSheetModalForWindow(alert, window_ ? window_->window() : nullptr, [self](const KZAlertResult& result) {
        if (result.suppressionState) Preferences::sharedPreferences().setSuppressFileChangeAlert(true);
        if (!self) return;
        if (result.response == KZAlertFirstButtonReturn) {
            KZRunOnMainThreadAfterDelay(
                [self] {
                    if (self) Q_EMIT self->rescanRequested();
                },
                kRescanDelay, self.data());
        }
        self->canShowFileChangeAlert_ = true;
    });
}
