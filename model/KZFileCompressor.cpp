#include "model/KZFileCompressor.h"

#include "platform/KZChildProcess.h"
#include "platform/KZDirectoryIO.h"
#include "platform/KZDispatch.h"
#include "platform/KZFileFaults.h"
#include "platform/KZItemCopier.h"
#include "platform/KZLog.h"
#include "platform/KZPathString.h"
#include "platform/KZRemover.h"
#include "platform/KZSelfChangeRegistry.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString text(const char* source)
{
    return QCoreApplication::translate("KZFileCompressor", source);
}

KZError compressionError(const QString& description)
{
    return KZError::sizemere(KZError::CompressionFailed, description);
}

QString systemText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

std::string lastComponent(const std::string& path)
{
    const std::string p = kz::pathWithoutTrailingSlash(path);
    return p.substr(p.rfind('/') + 1);
}

// A name as zip's argument: one starting with "-" would read as an option.
std::string zipArgument(const std::string& name)
{
    return !name.empty() && name[0] == '-' ? "./" + name : name;
}

void removeInBackground(const std::string& path)
{
    if (path.empty()) return;
    KZRunInBackground([path] { kz::removeItemAtPath(path); });
}

} // namespace

// The copy of several sources, shared with the copying thread. Whoever learns last that
// the copy is over and the compressor is gone removes the temporary folder.
struct KZFileCompressor::CopyJob {
    std::mutex mutex;
    bool finished = false;  // the copy is over and its end was posted to the main thread
    bool ownerGone = false; // the compressor was destroyed first
    std::string folder;
    std::atomic<uint64_t> bytes{0};
};

std::unique_ptr<KZFileCompressor> KZFileCompressor::compressorWithSourcePaths(std::vector<std::string> sourcePaths,
                                                                              std::string destinationPath)
{
    auto compressor = std::make_unique<KZFileCompressor>();
    compressor->setSourcePaths(std::move(sourcePaths));
    compressor->setDestinationPath(std::move(destinationPath));
    return compressor;
}

KZFileCompressor::KZFileCompressor(QObject* parent) : QObject(parent)
{
    temporaryDirectory_ = kz::pathFromQString(QDir::tempPath());
}

KZFileCompressor::~KZFileCompressor()
{
    cancelled_->store(true);
    progressCopyTimer_.reset();
    updateTimer_.reset();
    task_.reset(); // kills and reaps a zip that still runs
    if (state_ == State::Compressing) removePartialArchive();
    if (archiveFd_ >= 0) ::close(archiveFd_);
    if (copyJob_) {
        std::lock_guard lock(copyJob_->mutex);
        if (copyJob_->finished) {
            removeInBackground(temporaryFolder_); // its end was posted and will be dropped
        } else {
            copyJob_->ownerGone = true; // the copying thread removes it when it stops
        }
    } else if (state_ != State::Ended) {
        removeInBackground(temporaryFolder_);
    }
    if (selfChangeToken_) KZSelfChangeRegistry::shared().endChange(selfChangeToken_);
    if (temporaryChangeToken_) KZSelfChangeRegistry::shared().endChange(temporaryChangeToken_);
}

void KZFileCompressor::setSourcePaths(std::vector<std::string> sourcePaths)
{
    if (sourcePaths.size() == 1) {
        sourcePath_ = kz::pathWithoutTrailingSlash(sourcePaths.front());
        sourcePaths_.reset();
    } else {
        sourcePaths_ = std::move(sourcePaths);
        sourcePath_.clear();
    }
}

void KZFileCompressor::setProgressIntervals(double copySeconds, double archiveSeconds)
{
    copyInterval_ = copySeconds;
    archiveInterval_ = archiveSeconds;
}

void KZFileCompressor::compress()
{
    if (state_ != State::Created) return;
    state_ = State::Copying;
    if (wasCancelled()) {
        fail(std::nullopt);
        return;
    }
    if (destinationPath_.empty() || destinationPath_[0] != '/') {
        fail(compressionError(text("The archive needs an absolute path.")));
        return;
    }
    if (!sourcePaths_) {
        if (sourcePath_.empty() || sourcePath_[0] != '/' || sourcePath_ == "/") {
            fail(compressionError(text("There is nothing to compress.")));
            return;
        }
        readSource();
        return;
    }
    // Several sources stand side by side at the top of the archive: two of one name can't.
    std::vector<std::string> names;
    for (const std::string& source : *sourcePaths_) {
        if (source.empty() || source[0] != '/' || kz::pathWithoutTrailingSlash(source) == "/") {
            fail(compressionError(text("There is nothing to compress.")));
            return;
        }
        const std::string name = lastComponent(source);
        if (std::find(names.begin(), names.end(), name) != names.end()) {
            fail(compressionError(text("Two items named \"%1\" can't be stored side by side in one archive.")
                                      .arg(kz::displayString(name))));
            return;
        }
        names.push_back(name);
    }
    if (names.empty()) {
        fail(compressionError(text("There is nothing to compress.")));
        return;
    }
    startCopy();
}

void KZFileCompressor::readSource()
{
    // What the one item is like just before zip reads it, and what its archive must hold: a
    // file at once, a folder walked off the main thread.
    struct stat st {};
    if (::lstat(sourcePath_.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        auto contents = std::make_shared<KZCompressedArchive::Contents>();
        sourcesRead_ = {
            {sourcePath_, KZCompressedArchive::fingerprintOf(sourcePath_, std::nullopt, nullptr, contents.get())}};
        expectedContents_ = std::move(contents);
        startZip();
        return;
    }
    QPointer<KZFileCompressor> self(this);
    const std::string source = sourcePath_;
    auto cancelled = cancelled_;
    KZRunInBackground([self, source, cancelled] {
        auto contents = std::make_shared<KZCompressedArchive::Contents>();
        KZCompressedArchive::Source read{source, KZCompressedArchive::fingerprintOf(source, std::nullopt,
                                                                                    cancelled.get(), contents.get())};
        KZRunOnMainThread([self, read, contents] {
            if (!self || self->state_ != State::Copying) return;
            self->sourcesRead_ = {read};
            self->expectedContents_ = contents;
            if (self->wasCancelled()) {
                self->fail(std::nullopt);
                return;
            }
            if (!read.second) {
                self->fail(self->incompleteReadError(read.first));
                return;
            }
            self->startZip();
        });
    });
}

KZError KZFileCompressor::incompleteReadError(const std::string& path) const
{
    return compressionError(text("Could not read \"%1\" completely.").arg(kz::displayString(path)));
}

void KZFileCompressor::startCopy()
{
    std::string pattern = kz::pathWithoutTrailingSlash(temporaryDirectory_) + "/Sizemere-XXXXXX";
    if (!::mkdtemp(pattern.data())) {
        fail(compressionError(text("Could not make a temporary folder: %1").arg(systemText(errno))));
        return;
    }
    temporaryFolder_ = pattern;
    sourcePath_ = pattern;
    temporaryChangeToken_ = KZSelfChangeRegistry::shared().beginChange(temporaryFolder_);

    auto job = std::make_shared<CopyJob>();
    job->folder = temporaryFolder_;
    copyJob_ = job;
    const std::vector<std::string> sources = *sourcePaths_;
    auto cancelled = cancelled_;
    QPointer<KZFileCompressor> self(this);
    auto hook = copyItemHook_;
    // The temporary folder may lie inside a source (a temporary folder inside the chosen
    // home, or the system's temporary folder chosen itself): the copy leaves it out.
    std::optional<kz::ItemIdentity> ownFolder;
    if (struct stat st{}; ::stat(temporaryFolder_.c_str(), &st) == 0) ownFolder = kz::identityOf(st);
    ownFolder_ = ownFolder;
    KZRunInBackground([job, sources, cancelled, self, hook, ownFolder] {
        kz::CopyControl control;
        control.cancelled = cancelled.get();
        control.bytesCopied = &job->bytes;
        control.willCopyItem = hook;
        control.skippedFolder = ownFolder;
        kz::CopyResult result;
        std::vector<KZCompressedArchive::Source> read;
        auto contents = std::make_shared<KZCompressedArchive::Contents>();
        for (const std::string& source : sources) {
            // As it is just before its copy: a change from here on keeps the original, and
            // the archive must hold what was read here.
            read.emplace_back(source,
                              KZCompressedArchive::fingerprintOf(source, ownFolder, cancelled.get(), contents.get()));
            result = kz::copyItemIntoFolder(source, job->folder, control);
            if (!result.succeeded()) break;
        }
        std::lock_guard lock(job->mutex);
        if (job->ownerGone) {
            kz::removeItemAtPath(job->folder);
            return;
        }
        job->finished = true;
        KZRunOnMainThread(
            [self, result, read, contents] {
                if (self) self->copyFinished(result.error, result.path, read, contents);
            },
            nullptr);
    });

    progressCopyTimer_ = std::make_unique<QTimer>();
    progressCopyTimer_->setInterval(int(copyInterval_ * 1000));
    connect(progressCopyTimer_.get(), &QTimer::timeout, this, [this] {
        if (!wasCancelled() && copyProgressBlock_) copyProgressBlock_(double(copyJob_->bytes.load()));
    });
    progressCopyTimer_->start();
}

void KZFileCompressor::copyFinished(int error, const std::string& path,
                                    std::vector<KZCompressedArchive::Source> sourcesRead,
                                    std::shared_ptr<const KZCompressedArchive::Contents> contents)
{
    progressCopyTimer_.reset();
    sourcesRead_ = std::move(sourcesRead);
    expectedContents_ = std::move(contents);
    if (wasCancelled() || error == ECANCELED) {
        fail(std::nullopt);
        return;
    }
    if (error) {
        fail(compressionError(text("Could not copy \"%1\": %2").arg(kz::displayString(path), systemText(error))));
        return;
    }
    for (const KZCompressedArchive::Source& source : sourcesRead_) {
        if (!source.second) {
            fail(incompleteReadError(source.first));
            return;
        }
    }
    startZip();
}

void KZFileCompressor::startZip()
{
    state_ = State::Compressing;
    // The archive is ours alone: created here, never over an existing item.
    archiveFd_ = ::open(destinationPath_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (archiveFd_ < 0) {
        const int err = errno;
        state_ = State::Copying; // nothing of ours to remove at the destination
        fail(compressionError(text("Could not create the archive: %1").arg(systemText(err))));
        return;
    }
    selfChangeToken_ = KZSelfChangeRegistry::shared().beginChange(destinationPath_);

    KZChildProcess::Options options;
    options.program = zipProgram_;
    options.standardOutput = archiveFd_;
    // Quiet, links kept as links, names taken literally, every named file must be read.
    options.arguments = {"-q", "-y", "-nw", "-MM"};
    if (sourcePaths_) {
        options.workingDirectory = temporaryFolder_;
        options.arguments.push_back("-r");
        options.arguments.push_back("-");
        for (const std::string& source : *sourcePaths_) options.arguments.push_back(zipArgument(lastComponent(source)));
    } else {
        options.workingDirectory = kz::parentPath(sourcePath_);
        struct stat st {};
        if (::lstat(sourcePath_.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) options.arguments.push_back("-r");
        options.arguments.push_back("-");
        options.arguments.push_back(zipArgument(lastComponent(sourcePath_)));
    }
    task_ = std::make_unique<KZChildProcess>();
    connect(task_.get(), &KZChildProcess::finished, this, &KZFileCompressor::zipFinished);
    if (int err = task_->start(options)) {
        task_.reset();
        fail(compressionError(
            text("Could not start the zip program (%1): %2").arg(kz::displayString(zipProgram_), systemText(err))));
        return;
    }
    if (wasCancelled()) task_->terminate();
    updateTimer_ = std::make_unique<QTimer>();
    updateTimer_->setInterval(int(archiveInterval_ * 1000));
    connect(updateTimer_.get(), &QTimer::timeout, this, &KZFileCompressor::updateProgress);
    updateTimer_->start();
}

void KZFileCompressor::updateProgress()
{
    struct stat st {};
    if (archiveFd_ < 0 || ::fstat(archiveFd_, &st) != 0) {
        KZDebugLog(
            text("Could not update progress because of error: %1").arg(systemText(archiveFd_ < 0 ? EBADF : errno)));
        return;
    }
    if (progressBlock_) progressBlock_(double(st.st_size));
}

void KZFileCompressor::zipFinished(int exitStatus, int signal)
{
    updateTimer_.reset();
    task_.release()->deleteLater();
    if (exitStatus == 0 && signal == 0 && !wasCancelled()) {
        readArchiveBack();
        return;
    }
    if (exitStatus == 0 && signal == 0) {
        fail(std::nullopt); // finished, but the user no longer wants it
        return;
    }
    const int status = signal ? signal : exitStatus;
    fail(compressionError(text("compression failed with exit code %1").arg(status)));
}

int KZFileCompressor::openArchiveForReading() const
{
    // At its path, a link not followed, a pipe put there not waited on; only the file created
    // here counts.
    const int fd = ::open(destinationPath_.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return -errno;
    struct stat opened {};
    struct stat created {};
    if (::fstat(fd, &opened) != 0 || ::fstat(archiveFd_, &created) != 0 || !S_ISREG(opened.st_mode) ||
        kz::identityOf(opened) != kz::identityOf(created)) {
        ::close(fd);
        return -ESTALE;
    }
    return fd;
}

void KZFileCompressor::readArchiveBack()
{
    // Complete only once it is on disk and reads back whole: callers may remove the originals
    // next. The descriptor zip wrote through goes to the check, which flushes and closes it
    // (a lease is granted only when nobody writes); the archive is held from now on through a
    // descriptor for reading, so that whatever ends the compression meanwhile (a cancel, the
    // compressor's destruction, a failure) removes only the file created here.
    const int readFd = openArchiveForReading();
    const int writeFd = readFd >= 0 ? std::exchange(archiveFd_, readFd) : ::dup(archiveFd_);
    const int checkFd = readFd >= 0 ? ::dup(readFd) : -1;
    const int openError = readFd < 0 ? -readFd : checkFd < 0 ? errno : 0;
    QPointer<KZFileCompressor> self(this);
    const std::string destination = destinationPath_;
    auto expected = expectedContents_ ? expectedContents_ : std::make_shared<const KZCompressedArchive::Contents>();
    const std::vector<KZCompressedArchive::Source> sources = sourcesRead_;
    const std::optional<kz::ItemIdentity> skipped = ownFolder_;
    auto cancelled = cancelled_;
    KZRunInBackground([=] {
        int err = kz::fileFault(kz::FileOperation::Flush, destination);
        if (!err && writeFd < 0) err = EBADF;
        if (!err && ::fsync(writeFd) != 0) err = errno;
        // What is on disk now, from our own descriptor, and where zip's writes ended (the
        // descriptor's offset, which zip's output shared).
        Flushed flushed;
        flushed.error = err;
        flushed.stamp = KZCompressedArchive::stampOfDescriptor(writeFd);
        flushed.written = writeFd >= 0 ? int64_t(::lseek(writeFd, 0, SEEK_CUR)) : -1;
        if (writeFd >= 0) ::close(writeFd);
        flushed.openError = openError;
        const bool written = flushed.stamp && flushed.written >= 0 && uint64_t(flushed.written) == flushed.stamp->size;
        if ((!err || err == EINVAL || err == EROFS) && checkFd >= 0 && written)
            flushed.readBack =
                KZCompressedArchive::readBack(checkFd, destination, *expected, sources, skipped, cancelled.get());
        if (checkFd >= 0) ::close(checkFd);
        KZRunOnMainThread([self, flushed] {
            if (self) self->archiveFlushed(flushed);
        });
    });
}

void KZFileCompressor::archiveFlushed(const Flushed& flushed)
{
    if (state_ == State::Ended) return;
    if (wasCancelled()) {
        fail(std::nullopt); // the user no longer wants it
        return;
    }
    const int err = flushed.error;
    if (err && err != EINVAL && err != EROFS) {
        fail(compressionError(text("Could not write the archive: %1").arg(systemText(err))));
        return;
    }
    if (!flushed.stamp) {
        fail(compressionError(text("Could not read the archive it wrote.")));
        return;
    }
    if (flushed.written < 0 || uint64_t(flushed.written) != flushed.stamp->size) {
        // Cut short or added to by someone else while zip wrote it.
        fail(compressionError(text("The archive was changed while it was written: it holds %1 bytes, zip wrote %2.")
                                  .arg(qulonglong(flushed.stamp->size))
                                  .arg(qlonglong(flushed.written))));
        return;
    }
    // Deleted, moved or replaced at its path while zip ran: nothing was made there.
    if (std::optional<KZError> error =
            KZCompressedArchive(destinationPath_, *flushed.stamp, {}, std::nullopt).checkArchive()) {
        fail(*error);
        return;
    }
    if (!flushed.readBack) {
        fail(compressionError(text("Could not read the archive back: %1").arg(systemText(flushed.openError))));
        return;
    }
    if (flushed.readBack->error) {
        fail(*flushed.readBack->error);
        return;
    }
    // The archive keeps a descriptor of its own (the lease is the open file's, so it stays).
    const int held = ::dup(archiveFd_);
    auto archive = std::make_shared<const KZCompressedArchive>(destinationPath_, *flushed.readBack->stamp, sourcesRead_,
                                                               ownFolder_, held, flushed.readBack->leased);
    // Anything that happened at its path since it was read back.
    if (std::optional<KZError> error = archive->checkArchive()) {
        fail(*error);
        return;
    }
    archive_ = std::move(archive);
    end();
    if (completionBlock_) completionBlock_();
}

void KZFileCompressor::removePartialArchive()
{
    if (archiveFd_ < 0) return;
    // Only the file we created: the remover takes it only while it is that file, so one that
    // took its place at the path stays.
    if (const auto ours = kz::fileIdentityOfDescriptor(archiveFd_)) {
        const kz::RemovalResult result = kz::removeItemAtPath(destinationPath_, *ours);
        if (!result.succeeded() && result.error != ENOENT && result.error != ESTALE)
            KZDebugLog(text("Could not remove temp zip file because of error: %1").arg(systemText(result.error)));
    }
    ::close(archiveFd_);
    archiveFd_ = -1;
}

void KZFileCompressor::cleanUp()
{
    removeInBackground(temporaryFolder_);
    copyJob_.reset();
}

void KZFileCompressor::end()
{
    state_ = State::Ended;
    if (archiveFd_ >= 0) ::close(std::exchange(archiveFd_, -1));
    progressCopyTimer_.reset();
    updateTimer_.reset();
    cleanUp();
    // Our own changes are over; the registry keeps them marked for its grace period.
    if (selfChangeToken_) KZSelfChangeRegistry::shared().endChange(std::exchange(selfChangeToken_, 0));
    if (temporaryChangeToken_) KZSelfChangeRegistry::shared().endChange(std::exchange(temporaryChangeToken_, 0));
}

void KZFileCompressor::fail(std::optional<KZError> error)
{
    if (state_ == State::Ended) return;
    if (state_ == State::Compressing) removePartialArchive();
    end();
    const bool cancelled = wasCancelled();
    // Reported on a later turn, like every other end, so callers never see it inside a call.
    QPointer<KZFileCompressor> self(this);
    KZRunOnMainThread([self, error, cancelled] {
        if (self && self->failedBlock_) self->failedBlock_(error, cancelled);
    });
}

void KZFileCompressor::cancel()
{
    cancelled_->store(true);
    progressCopyTimer_.reset();
    if (state_ == State::Compressing && task_) {
        task_->terminate();
        // zip ends on SIGTERM; one that doesn't is killed.
        QPointer<KZChildProcess> child(task_.get());
        QTimer::singleShot(2000, this, [child] {
            if (child) child->kill();
        });
    }
}
