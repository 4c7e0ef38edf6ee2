#include "app/TQCompressingWindowController.h"

#include "ui_TQCompressingWindowController.h"

#include "model/KZCompressedArchive.h"
#include "model/KZFileCompressor.h"
#include "model/KZPath.h"
#include "model/Preferences.h"
#include "model/TQDeletionEngine.h"
#include "platform/KZLog.h"
#include "platform/KZNotifier.h"
#include "platform/KZPathString.h"
#include "platform/KZRemover.h"
#include "platform/widgets/KZAppearance.h"
#include "platform/widgets/KZImage.h"
#include "platform/widgets/KZOwnedObject.h"
#include "platform/widgets/KZSound.h"
#include "platform/widgets/KZWorkspace.h"

#include <QApplication>
#include <QLayout>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <set>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_map>
#include <unordered_set>

KZ_INTERFACE_FILE_IMPL(TQCompressingWindowController)

namespace {

QString text(const char* source)
{
    return QCoreApplication::translate("TQCompressingWindowController", source);
}

// The texts of the window and its notification.
struct Texts {
    QString compressingOne = text("Compressing '%1'");
    QString compressingMany = text("Compressing %1 items");
    QString zeroOfTotal = text("0 bytes of %1");
    QString preparing = text("Preparing to compress items");
    QString copying = text("Preparing to compress items: %1 of %2");
    QString bytesOfTotal = text("%1 of %2");
    QString cancelling = text("Cancelling..");
    QString deletingOne = text("Deleting '%1'");
    QString deletingMany = text("Deleting %1 files");
    QString complete = text("Compression complete, you may now close this window");
    QString completeTitle = text("Compression Complete");
    QString failed = text("Could not compress, please try again.");
    QString failedLog = text("Could not compress because of error: %1");
    QString notificationTitle = text("Compression Completed");
    QString succeededOne = text("Successfully compressed %1");
    QString succeededMany = text("Successfully compressed %1 files");
    QString failedOne = text("Could not compress %1");
    QString failedMany = text("Could not compress %1 files");
    QString view = text("View");
    QString unremovable = text("This item may never be removed.");
    QString noneRemoved = text("None of the originals was removed.");
    QString stayedOne = text("This original was not removed:");
    QString stayedMany = text("%1 originals were not removed:");
    QString stayedLine = text("%1: %2");
    QString andMore = text("... and %1 more");
};

// The most originals the window names one by one.
constexpr int kMaxListedStayed = 12;

const Texts& texts()
{
    static const Texts t;
    return t;
}

// The archive paths chosen by the windows alive now, so two never write the same archive.
std::set<std::string>& reservedPaths()
{
    static std::set<std::string> reserved;
    return reserved;
}

std::function<void(KZFileCompressor&)>& compressorHook()
{
    static std::function<void(KZFileCompressor&)> hook;
    return hook;
}

constexpr size_t kMaxFileNameBytes = 255;

// The archive's base name for one item: its name bytes without the extension (".profile"
// keeps its whole name); "" when the item has no usable name.
std::string baseNameForItem(const KZFile& file)
{
    std::string name = file.nameBytes();
    if (name.empty() || name == "/" || name == "." || name == ".." || name.find('/') != std::string::npos) return {};
    const size_t dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0) name.resize(dot);
    return name;
}

// base + suffix, the base shortened (at a UTF-8 character boundary) to keep the whole within
// the longest file name the system takes.
std::string fileNameWithin(std::string base, const std::string& suffix)
{
    if (base.size() + suffix.size() > kMaxFileNameBytes) {
        size_t cut = kMaxFileNameBytes - suffix.size();
        while (cut > 0 && (static_cast<unsigned char>(base[cut]) & 0xC0) == 0x80) --cut;
        base.resize(cut);
    }
    return base + suffix;
}

bool somethingAt(const std::string& path)
{
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

int scaled(double bytes, double total)
{
    if (total <= 0) return bytes > 0 ? 1000 : 0;
    return int(std::clamp(bytes / total * 1000.0, 0.0, 1000.0));
}

} // namespace

TQCompressingWindowController::TQCompressingWindowController(QObject* parent) : KZWindowController(parent) {}

TQCompressingWindowController::~TQCompressingWindowController()
{
    // The compressor goes first: it removes a partial archive before the name is free again.
    fileCompressor_.reset();
    if (!destination_.empty()) reservedPaths().erase(destination_);
}

std::unique_ptr<TQCompressingWindowController>
TQCompressingWindowController::controllerWithFiles(const KZFileList& files)
{
    std::unique_ptr<TQCompressingWindowController> controller(new TQCompressingWindowController);
    controller->files_ = files;
    return controller;
}

void TQCompressingWindowController::setCompressorHookForTesting(std::function<void(KZFileCompressor&)> hook)
{
    compressorHook() = std::move(hook);
}

std::string TQCompressingWindowController::destinationPath() const
{
    std::vector<std::string> paths;
    paths.reserve(files_.size());
    for (const KZFilePtr& file : files_) paths.push_back(file->path());
    const std::optional<std::string> common = kz_commonAncestorWithPaths(paths);
    if (!common) return {};
    std::string folder = kz::pathWithoutTrailingSlash(*common);
    // A listed folder that holds the other items is their common folder; the archive goes
    // beside it, never into it (removing the originals would take the archive along).
    for (const std::string& path : paths) {
        if (kz_isEqualToPath(path, folder)) {
            folder = kz_stringByDeletingLastPathComponent(folder);
            break;
        }
    }
    std::string base = files_.size() == 1 ? baseNameForItem(*files_.front()) : std::string();
    if (base.empty()) base = "Archive";
    const std::string prefix = folder == "/" ? folder : folder + "/";
    std::string path;
    for (long n = 1; n < 100000; ++n) {
        const std::string suffix =
            n == 1 ? std::string(".zip") : std::string(1, ' ').append(std::to_string(n)).append(".zip");
        path = prefix + fileNameWithin(base, suffix);
        if (!reservedPaths().count(path) && !somethingAt(path)) break;
    }
    return path;
}

double TQCompressingWindowController::fileSizeForPath(const std::string& path)
{
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) return 0;
    return double(st.st_size);
}

void TQCompressingWindowController::windowDidLoad()
{
    KZWindowController::windowDidLoad();
    QWidget* w = window();
    Ui::TQCompressingWindowController* form = ui();
    connect(form->cancelButton, &QPushButton::clicked, this, &TQCompressingWindowController::cancel);
    w->layout()->activate();

    const bool one = files_.size() == 1;
    const QIcon icon = one ? kz_iconForFile(files_.front()->path()) : kz_iconForFileType(QStringLiteral("zip"));
    const QString headline =
        one ? texts().compressingOne.arg(files_.front()->fileName()) : texts().compressingMany.arg(files_.size());
    setHeadline(headline);
    w->setWindowTitle(headline);
    form->progressBar->setRange(0, 0);
    // The window is seldom the active one while it works (the user goes on in the main window).
    KZAppearance::keepHighlightWhenInactive(form->progressBar);

    total_ = 0;
    for (const KZFilePtr& file : files_) total_ += file->fileSize();
    totalText_ = memoryFormatter_.stringFromBytes(total_);
    form->statusLabel->setText(one ? texts().zeroOfTotal.arg(totalText_) : texts().preparing);
    form->fileImageView->setPixmap(icon.pixmap(form->fileImageView->size()));

    destination_ = destinationPath();
    if (!destination_.empty()) reservedPaths().insert(destination_);

    std::vector<std::string> sources;
    sources.reserve(files_.size());
    for (const KZFilePtr& file : files_) sources.push_back(file->path());
    fileCompressor_ = KZFileCompressor::compressorWithSourcePaths(std::move(sources), destination_);
    // Read once: a later change of the setting doesn't touch a running window.
    deleteOriginal_ = Preferences::sharedPreferences().deleteCompressedOriginal();
    // The compressor belongs to this controller and reports on the main thread only while it
    // lives, so its blocks may name the controller.
    fileCompressor_->setFailedBlock(
        [this](const std::optional<KZError>& error, bool cancelled) { compressorFailed(error, cancelled); });
    fileCompressor_->setCompletionBlock([this] { compressorCompleted(); });
    fileCompressor_->setCopyProgressBlock([this](double bytes) { updateCopyProgress(bytes); });
    fileCompressor_->setProgressBlock([this](double bytes) { updateProgress(bytes); });
    if (compressorHook()) compressorHook()(*fileCompressor_);
    fileCompressor_->compress();
}

void TQCompressingWindowController::setState(State state)
{
    if (state_ == state) return;
    state_ = state;
    Q_EMIT activityChanged();
}

bool TQCompressingWindowController::isWorking() const
{
    return isRunning() || state_ == State::Cancelling || state_ == State::Deleting;
}

double TQCompressingWindowController::savingSoFar() const
{
    if (state_ == State::Complete) return totalSaved_;
    if (state_ != State::Deleting) return 0;
    return freedBytes_ - (archive_ ? double(archive_->stamp().size) : 0.0);
}

double TQCompressingWindowController::bytesLeftToRemove() const
{
    if (state_ == State::Deleting) return removalLeft_ >= 0 ? removalLeft_ : total_;
    return isRunning() && deleteOriginal_ ? total_ : 0;
}

double TQCompressingWindowController::workDone() const
{
    // Zipping is the whole work, or its first half when the originals go afterwards.
    const double zipShare = deleteOriginal_ ? 0.5 : 1.0;
    const double zipped = total_ > 0 ? std::clamp(compressedBytes_ / total_, 0.0, 1.0) : 0.0;
    switch (state_) {
    case State::Preparing:
    case State::Copying:
        return 0;
    case State::Compressing:
    case State::Cancelling:
        return zipShare * zipped;
    case State::Deleting:
        return zipShare + (1 - zipShare) * std::clamp(removalFraction_, 0.0, 1.0);
    case State::Complete:
    case State::Failed:
    case State::Cancelled:
        return 1;
    }
    return 1;
}

bool TQCompressingWindowController::isRunning() const
{
    return state_ == State::Preparing || state_ == State::Copying || state_ == State::Compressing;
}

void TQCompressingWindowController::setHeadline(const QString& headline)
{
    headline_ = headline;
    QLabel* label = ui()->titleLabel;
    const QString shown = label->fontMetrics().elidedText(headline, Qt::ElideMiddle, std::max(label->width(), 40));
    label->setText(shown);
    label->setToolTip(shown == headline ? QString() : headline);
}

void TQCompressingWindowController::fitHeight()
{
    // The width is fixed; the status line may wrap onto more lines.
    QWidget* w = window();
    w->layout()->activate();
    const int height = w->heightForWidth(w->width());
    if (height > 0) w->resize(w->width(), std::max(height, w->minimumSizeHint().height()));
}

void TQCompressingWindowController::updateCopyProgress(double bytes)
{
    if (!isRunning()) return;
    setState(State::Copying);
    ui()->statusLabel->setText(texts().copying.arg(memoryFormatter_.stringFromBytes(bytes), totalText_));
}

void TQCompressingWindowController::updateProgress(double bytes)
{
    if (!isRunning()) return;
    setState(State::Compressing);
    compressedBytes_ = bytes;
    Q_EMIT activityChanged();
    // Measured against the items' total; an archive larger than that shows a full bar.
    ui()->progressBar->setRange(0, 1000);
    ui()->progressBar->setValue(scaled(bytes, total_));
    ui()->statusLabel->setText(texts().bytesOfTotal.arg(memoryFormatter_.stringFromBytes(bytes), totalText_));
}

void TQCompressingWindowController::cancel()
{
    if (!isRunning()) return;
    setState(State::Cancelling);
    ui()->statusLabel->setText(texts().cancelling);
    ui()->cancelButton->setEnabled(false);
    if (fileCompressor_) fileCompressor_->cancel();
}

void TQCompressingWindowController::compressorFailed(const std::optional<KZError>& error, bool cancelled)
{
    compressorEnded_ = true;
    wasCancelled_ = true; // no archive
    if (reported_) {
        releaseWhenDone();
        return;
    }
    if (cancelled || state_ == State::Cancelling) {
        closeCancelled();
        return;
    }
    const QString reason = error ? error->localizedDescription() : QString();
    KZDebugLog(texts().failedLog.arg(reason));
    showFailure(reason);
}

void TQCompressingWindowController::showFailure(const QString& reason)
{
    setState(State::Failed);
    wasCancelled_ = true; // no archive the delegate may count on
    Ui::TQCompressingWindowController* form = ui();
    const KZImage caution = KZImage::themeIcon(QStringLiteral("dialog-warning"), QStringLiteral("caution"),
                                               QSizeF(form->fileImageView->size()));
    form->fileImageView->setPixmap(caution.icon().pixmap(form->fileImageView->size()));
    form->fileImageView->setAccessibleName(QStringLiteral("Warning"));
    setHeadline(texts().failed);
    form->progressBar->setRange(0, 1000);
    form->progressBar->setValue(1000);
    form->cancelButton->hide();
    // Why, in the status line, so the user can act on it; and that nothing was removed.
    form->statusLabel->setText(deleteOriginal_ ? reason + QLatin1Char('\n') + texts().noneRemoved : reason);
    form->statusLabel->show();
    fitHeight();
    notify(false);
}

void TQCompressingWindowController::compressorCompleted()
{
    compressorEnded_ = true;
    archive_ = fileCompressor_ ? fileCompressor_->archive() : nullptr;
    if (reported_ || !isRunning() || (fileCompressor_ && fileCompressor_->wasCancelled())) {
        // The archive was finished after the user had asked to stop: it is not wanted, and
        // nothing else is touched. Only the file the compressor created goes, never one that
        // took its place.
        if (archive_) archive_->releaseHold();
        if (archive_ && !archive_->checkArchive()) {
            const kz::RemovalResult removal = kz::removeItemAtPath(destination_, archive_->stamp().identity);
            if (!removal.succeeded() && removal.error != ENOENT)
                KZDebugLog(text("Could not remove the unwanted archive: %1")
                               .arg(QString::fromLocal8Bit(std::strerror(removal.error))));
        }
        archive_.reset();
        wasCancelled_ = true;
        if (reported_) {
            releaseWhenDone();
        } else {
            closeCancelled();
        }
        return;
    }
    if (deleteOriginal_) {
        deleteOriginalFiles();
    } else {
        // Held only while originals go: other programs may write into it now.
        if (archive_) archive_->releaseHold();
        finish();
    }
}

void TQCompressingWindowController::deleteOriginalFiles()
{
    setState(State::Deleting);
    Ui::TQCompressingWindowController* form = ui();
    form->progressBar->setRange(0, 0);
    form->statusLabel->hide();
    form->cancelButton->setEnabled(false);
    const QString headline = files_.size() < 2
                                 ? texts().deletingOne.arg(files_.empty() ? QString() : files_.front()->fileName())
                                 : texts().deletingMany.arg(files_.size());
    setHeadline(headline);
    window()->setWindowTitle(headline);
    // What a confirmed delete may never remove stays here too.
    if (!ignoreList_) ignoreList_.emplace(KZIgnoreList::ignoreList());
    KZFileList removable;
    KZFileList unremovable;
    for (const KZFilePtr& file : files_)
        (ignoreList_->fileIsUnremovable(*file) ? unremovable : removable).push_back(file);
    // To the Trash, except items on network volumes, which the engine removes directly. The
    // engine refuses what must never go and reports only what is really gone; each original
    // goes only while the archive holds it as it is.
    TQDeletionEngine::Options options;
    options.useTrash = true;
    options.mayRemove = [archive = archive_](const std::string& path) -> std::optional<KZError> {
        if (!archive) return KZError::sizemere(KZError::CompressionFailed, text("There is no archive."));
        return archive->checkSourceBeforeRemoving(path);
    };
    TQDeletionEngine::deleteFilesWithReports(
        removable, options,
        [this](const TQDeletionProgress& progress) {
            freedBytes_ = progress.freedBytes;
            trashedBytes_ = progress.trashedBytes;
            removalFraction_ = progress.fraction;
            removalLeft_ = progress.bytesLeft;
            Q_EMIT activityChanged();
        },
        [this, unremovable](const TQDeletionResult& result) { originalFilesDeleted(result, unremovable); }, this);
}

void TQCompressingWindowController::originalFilesDeleted(const TQDeletionResult& result, const KZFileList& unremovable)
{
    removalRan_ = true;
    freedBytes_ = result.freedBytes;
    trashedBytes_ = result.trashedBytes;
    removalLeft_ = 0;
    removedFiles_.clear();
    for (const KZFileList* list : {&result.deletedFiles, &result.nestedFiles, &result.vanishedFiles})
        removedFiles_.insert(removedFiles_.end(), list->begin(), list->end());
    std::unordered_set<const KZFile*> gone;
    for (const KZFilePtr& file : removedFiles_) gone.insert(file.get());
    originalDeleted_ = !files_.empty() && std::all_of(files_.begin(), files_.end(), [&](const KZFilePtr& file) {
        return gone.count(file.get()) > 0;
    });
    stayedFiles_.clear();
    if (result.errors) stayedFiles_ = *result.errors;
    for (const KZFilePtr& file : unremovable)
        stayedFiles_[file->path()] = KZError::sizemere(KZError::ProtectedItem, texts().unremovable);
    for (const auto& [path, error] : stayedFiles_)
        KZDebugLog(text("Could not remove \"%1\" after compressing: %2")
                       .arg(kz::displayString(path), error.localizedDescription()));
    // Nothing went because the archive is no longer what was written: the compression failed.
    const std::optional<KZError> archiveError =
        archive_ ? archive_->checkArchive()
                 : std::optional<KZError>(KZError::sizemere(KZError::CompressionFailed, QString()));
    if (archiveError && result.deletedFiles.empty() && result.nestedFiles.empty()) {
        KZDebugLog(texts().failedLog.arg(archiveError->localizedDescription()));
        showFailure(archiveError->localizedDescription());
    } else {
        finish();
    }
    if (archive_) archive_->releaseHold();
    if (releaseRequested_) {
        // The window was closed while the originals were being removed.
        reportToDelegate();
        releaseWhenDone();
    }
}

void TQCompressingWindowController::showStayedFiles()
{
    // By name: the originals of one archive have names of their own.
    std::unordered_map<std::string, const KZFile*> byPath;
    for (const KZFilePtr& file : files_) byPath.emplace(file->path(), file.get());
    QStringList lines;
    lines << (stayedFiles_.size() == 1 ? texts().stayedOne : texts().stayedMany.arg(stayedFiles_.size()));
    int listed = 0;
    for (const auto& [path, error] : stayedFiles_) {
        if (listed++ == kMaxListedStayed) {
            lines << texts().andMore.arg(qlonglong(stayedFiles_.size() - kMaxListedStayed));
            break;
        }
        const auto it = byPath.find(path);
        const QString name = it != byPath.end()
                                 ? it->second->fileName()
                                 : kz::displayString(kz_lastPathComponent(kz::pathWithoutTrailingSlash(path)));
        lines << texts().stayedLine.arg(name, error.localizedDescription());
    }
    Ui::TQCompressingWindowController* form = ui();
    form->statusLabel->setText(lines.join(QLatin1Char('\n')));
    form->statusLabel->show();
    fitHeight();
}

void TQCompressingWindowController::finish()
{
    setState(State::Complete);
    Ui::TQCompressingWindowController* form = ui();
    form->progressBar->setRange(0, 1000);
    form->progressBar->setValue(1000);
    form->cancelButton->hide();
    form->statusLabel->setText(texts().bytesOfTotal.arg(totalText_, totalText_));
    setHeadline(texts().complete);
    QWidget* w = window();
    w->setWindowTitle(texts().completeTitle);
    if (!stayedFiles_.empty()) showStayedFiles();
    if (w->isVisible()) {
        w->raise();
        w->activateWindow();
    }
    // What left the disk, less the archive written in its place: below 0 when the archive is
    // the larger (the originals stayed, were gone already, or don't compress).
    totalSaved_ = (removalRan_ ? freedBytes_ : 0.0) - (archive_ ? double(archive_->stamp().size) : 0.0);
    notify(true);
}

void TQCompressingWindowController::notify(bool success)
{
    const Texts& t = texts();
    KZUserNotification notification;
    notification.title = t.notificationTitle;
    if (files_.size() == 1) {
        notification.subtitle = (success ? t.succeededOne : t.failedOne).arg(files_.front()->fileName());
    } else {
        notification.subtitle = (success ? t.succeededMany : t.failedMany).arg(files_.size());
    }
    notification.actionButtonTitle = t.view;
    kz_playTriTone();
    KZNotifier::shared().deliver(notification);
}

void TQCompressingWindowController::closeCancelled()
{
    setState(State::Cancelled);
    window()->close();
    if (!reported_) {
        // A window that was never on screen has no close to report it.
        reportToDelegate();
        releaseWhenDone();
    }
}

bool TQCompressingWindowController::windowShouldClose()
{
    switch (state_) {
    case State::Preparing:
    case State::Copying:
    case State::Compressing:
        // Closing a running window cancels it; it closes when the compressor has stopped.
        cancel();
        return false;
    case State::Cancelling:
    case State::Deleting:
        return false;
    case State::Complete:
    case State::Failed:
    case State::Cancelled:
        return true;
    }
    return true;
}

void TQCompressingWindowController::windowWillClose()
{
    if (reported_) return;
    switch (state_) {
    case State::Preparing:
    case State::Copying:
    case State::Compressing:
    case State::Cancelling:
        // Closed by the program while the work runs: the work stops, and no archive is made.
        setState(State::Cancelled);
        wasCancelled_ = true;
        if (fileCompressor_ && !compressorEnded_) fileCompressor_->cancel();
        break;
    case State::Deleting:
        // Reported once the originals' removal has ended.
        releaseRequested_ = true;
        return;
    case State::Complete:
    case State::Failed:
    case State::Cancelled:
        break;
    }
    reportToDelegate();
    releaseWhenDone();
}

void TQCompressingWindowController::reportToDelegate()
{
    if (reported_) return;
    reported_ = true;
    if (delegate_)
        delegate_->compressingDidFinishForController(this, destination_, totalSaved_, originalDeleted_, wasCancelled_);
}

void TQCompressingWindowController::releaseWhenDone()
{
    releaseRequested_ = true;
    if (released_) return;
    // A compressor still stopping keeps its controller until it reports its end.
    if (fileCompressor_ && !compressorEnded_ && fileCompressor_->state() != KZFileCompressor::State::Created) return;
    released_ = true;
    if (owner_) owner_->release(this);
}

// ---- the owner of compression windows ----

TQCompressionWindows::~TQCompressionWindows()
{
    // Stopped unheard: the delegates may be going too.
    for (const auto& controller : owned_) {
        controller->setDelegate(nullptr);
        controller->owner_ = nullptr;
    }
    owned_.clear();
}

TQCompressingWindowController* TQCompressionWindows::adopt(std::unique_ptr<TQCompressingWindowController> controller)
{
    if (!controller) return nullptr;
    controller->owner_ = this;
    owned_.push_back(std::move(controller));
    return owned_.back().get();
}

std::vector<TQCompressingWindowController*> TQCompressionWindows::controllers() const
{
    std::vector<TQCompressingWindowController*> held;
    held.reserve(owned_.size());
    for (const auto& controller : owned_) held.push_back(controller.get());
    return held;
}

void TQCompressionWindows::release(TQCompressingWindowController* controller)
{
    const auto it =
        std::find_if(owned_.begin(), owned_.end(), [controller](const auto& c) { return c.get() == controller; });
    if (it == owned_.end()) return;
    controller->owner_ = nullptr;
    // Released on a later turn: this runs inside the controller's own close or report.
    KZOwnedObject<TQCompressingWindowController>(it->release()).reset();
    owned_.erase(it);
}
