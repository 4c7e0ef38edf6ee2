#pragma once
// Makes one zip archive from one file, one folder or several items, with Info-ZIP's zip run
// as a child process whose output goes into an archive file created here exclusively (so an
// existing item is never overwritten). One folder is archived with the folder as the top
// entry, one file as itself; several items are first copied together into a fresh
// temporary folder, whose contents are archived and which is removed afterwards.
//
// Progress: the bytes copied into the temporary folder (about every second) and the size of
// the archive while zip writes it (about every half second). `cancel` stops the copy or
// ends zip. The end is reported exactly once, on the main thread: the completion block, or
// the failed block with an error of domain "Sizemere", code 1 (none when cancelled during
// the copy) and whether the run was cancelled.
//
// An archive is reported complete only when zip exited with 0 and the archive is on disk
// (flushed); a cancel that comes before that, even after zip has exited, ends in a cancel
// and removes the archive. Any failure, a copy error or a missing source included, fails the whole
// compression; two sources with the same name fail rather than lose one. On failure or
// cancel the partial archive and the temporary folder are removed, and nothing that
// existed before is ever removed. Destroying the compressor cancels it and cleans up the
// same way. Links are archived as links. Created, used and destroyed on the main thread.
//
// Complete also means the archive is still the file created here, at its path, with the size
// zip's writes ended at: one deleted, replaced, cut short or added to while zip ran fails the
// compression. And it means the archive reads back whole (KZCompressedArchive::readBack, off
// the main thread): its central directory lists exactly what was read from the sources (names,
// kinds and sizes) and every member's data checks against its CRC; a source that could not be
// read completely fails the compression too. What each source was like when it was read
// (before it was copied, or before zip read it) is kept, so that whoever removes the originals
// can check, through archive(), that the archive is still the one read back and that no
// original changed since.

#include "model/KZCompressedArchive.h"
#include "platform/KZError.h"

#include <QObject>
#include <QPointer>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class KZChildProcess;
class QTimer;

class KZFileCompressor : public QObject {
    Q_OBJECT
public:
    using ProgressBlock = std::function<void(double bytes)>;
    using CompletionBlock = std::function<void()>;
    using FailedBlock = std::function<void(const std::optional<KZError>& error, bool cancelled)>;

    enum class State { Created, Copying, Compressing, Ended };

    static std::unique_ptr<KZFileCompressor> compressorWithSourcePaths(std::vector<std::string> sourcePaths,
                                                                       std::string destinationPath);
    explicit KZFileCompressor(QObject* parent = nullptr);
    ~KZFileCompressor() override;

    // One path: the item archived. Two or more: copied together first (the temporary folder
    // is made when the compression starts).
    void setSourcePaths(std::vector<std::string> sourcePaths);
    // The path zip archives: the single source, or (once made) the temporary folder.
    const std::string& sourcePath() const { return sourcePath_; }
    // The sources when there are two or more.
    const std::optional<std::vector<std::string>>& sourcePaths() const { return sourcePaths_; }
    const std::string& destinationPath() const { return destinationPath_; }
    void setDestinationPath(std::string path) { destinationPath_ = std::move(path); }

    void setCopyProgressBlock(ProgressBlock block) { copyProgressBlock_ = std::move(block); }
    void setProgressBlock(ProgressBlock block) { progressBlock_ = std::move(block); }
    void setCompletionBlock(CompletionBlock block) { completionBlock_ = std::move(block); }
    void setFailedBlock(FailedBlock block) { failedBlock_ = std::move(block); }

    // Starts the work (once).
    void compress();
    // Stops the copy or ends zip; the end is then reported as cancelled.
    void cancel();
    bool wasCancelled() const { return cancelled_->load(); }
    State state() const { return state_; }
    // The archive and the sources as they were read, once the compression has completed;
    // nullptr before and after any failure.
    std::shared_ptr<const KZCompressedArchive> archive() const { return archive_; }

    // The zip program ("/usr/bin/zip" unless changed).
    void setZipProgram(std::string path) { zipProgram_ = std::move(path); }
    // Where the temporary folder of several sources is made (the system's temporary folder
    // unless changed).
    void setTemporaryDirectory(std::string path) { temporaryDirectory_ = std::move(path); }
    // The progress intervals in seconds (1.0 for the copy, 0.5 for the archive by default).
    void setProgressIntervals(double copySeconds, double archiveSeconds);
    // Called on the copying thread before each item is copied (tests).
    void setCopyItemHook(std::function<void(const std::string& source)> hook) { copyItemHook_ = std::move(hook); }

private:
    struct CopyJob;

    void fail(std::optional<KZError> error);
    void readSource();
    void startCopy();
    // What the check after zip found.
    struct Flushed {
        int error = 0;                                   // of the flush
        std::optional<KZCompressedArchive::Stamp> stamp; // of the file zip wrote into
        int64_t written = -1;                            // where zip's writes ended
        int openError = 0;                               // why it could not be opened for reading
        std::optional<KZCompressedArchive::ReadBack> readBack;
    };

    KZError incompleteReadError(const std::string& path) const;
    void copyFinished(int error, const std::string& path, std::vector<KZCompressedArchive::Source> sourcesRead,
                      std::shared_ptr<const KZCompressedArchive::Contents> contents);
    void startZip();
    void zipFinished(int exitStatus, int signal);
    // The archive at its path for reading, when it is still the file created here; else
    // minus the errno value.
    int openArchiveForReading() const;
    // Flushes the archive and reads it back, off the main thread; archiveFlushed follows.
    void readArchiveBack();
    void archiveFlushed(const Flushed& flushed);
    void updateProgress();
    void removePartialArchive();
    void cleanUp();
    void end();

    std::shared_ptr<std::atomic<bool>> cancelled_ = std::make_shared<std::atomic<bool>>(false);
    State state_ = State::Created;
    std::string sourcePath_;
    std::optional<std::vector<std::string>> sourcePaths_;
    std::string destinationPath_;
    std::string zipProgram_ = "/usr/bin/zip";
    std::string temporaryDirectory_;
    std::string temporaryFolder_; // made here; removed at the end
    double copyInterval_ = 1.0;
    double archiveInterval_ = 0.5;

    ProgressBlock copyProgressBlock_;
    ProgressBlock progressBlock_;
    CompletionBlock completionBlock_;
    FailedBlock failedBlock_;
    std::function<void(const std::string&)> copyItemHook_;

    std::shared_ptr<CopyJob> copyJob_;
    std::unique_ptr<QTimer> progressCopyTimer_;
    std::unique_ptr<QTimer> updateTimer_;
    std::unique_ptr<KZChildProcess> task_;
    int archiveFd_ = -1; // the archive we created, while it may still need removing
    std::vector<KZCompressedArchive::Source> sourcesRead_;
    std::shared_ptr<const KZCompressedArchive::Contents> expectedContents_; // what the archive must hold
    std::optional<kz::ItemIdentity> ownFolder_; // the temporary folder, left out wherever it lies
    std::shared_ptr<const KZCompressedArchive> archive_;
    uint64_t selfChangeToken_ = 0;
    uint64_t temporaryChangeToken_ = 0;
};
