#pragma once
// Turns one folder into a tree of file records on background threads and reports what it is
// doing to its owner on the main thread: item count, running byte total, the current path,
// and at the end the finished tree or a cancellation. Reports are coalesced (at most one
// pending delivery, about 30 a second); the last count, total and path are delivered before
// the completion. Exactly one of completion, cancellation or failure ends a scan: a folder
// that can't be opened (missing, not a folder, unreadable) fails with a message naming it
// and the reason, on the main thread.
//
// Rules applied while walking: ignored paths and extensions leave items out entirely; files
// smaller than the minimum size are left out but their bytes stay in their folder's total
// (ignoredSize); packages are measured in one deep pass and not entered; links are never
// followed, except a link chosen as the root itself, which is resolved once to the folder it
// names (the tree holds that folder's real path); /proc-like pseudo-filesystems are never
// entered, nor a bind mount that leads back to the root or a folder above or inside it. An
// item is readable when the system grants read access (access lists included).
//
// Owners hold the scanner through a shared_ptr; the running scan holds it too, so an owner
// may drop its reference. Block properties are read on the main thread just before each
// report, so clearing one silences that report. With an owner object set, no report reaches
// the owner after it is destroyed.

#include "model/KZFile.h"
#include "model/KZIgnoreList.h"

#include <QPointer>
#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QObject;

class KZFileScanner : public std::enable_shared_from_this<KZFileScanner> {
public:
    // Receives a one-element list holding the root folder.
    using CompletionBlock = std::function<void(const KZFileList& files)>;
    // Receives an error message (empty: the scanner had no path; else the folder could not
    // be opened, and the message says which and why).
    using FailureBlock = std::function<void(const QString& error)>;
    using CancelledBlock = std::function<void()>;
    using CurrentPathBlock = std::function<void(const std::string& path)>;
    using ProgressBlock = std::function<void(qint64 count)>;
    using TotalBytesProgressBlock = std::function<void(double bytes)>;

    // Paths nested in another given path are dropped (with a "[DEBUG]" line); only the first
    // remaining path is scanned. Files smaller than minimumFileSize (bytes; 0 or less keeps
    // every file) get no record.
    static std::shared_ptr<KZFileScanner> scannerWithPaths(const std::vector<std::string>& paths,
                                                           double minimumFileSize);
    ~KZFileScanner();

    void setIgnoredPaths(const std::optional<QStringList>& paths) { ignoreList_.setIgnoredPaths(paths); }
    void setIgnoredExtensions(const std::optional<QStringList>& extensions)
    {
        ignoreList_.setIgnoredExtensions(extensions);
    }

    void setCompletionBlock(CompletionBlock b) { completionBlock_ = std::move(b); }
    void setFailureBlock(FailureBlock b) { failureBlock_ = std::move(b); }
    void setCancelledBlock(CancelledBlock b) { cancelledBlock_ = std::move(b); }
    void setCurrentPathBlock(CurrentPathBlock b) { currentPathBlock_ = std::move(b); }
    void setProgressBlock(ProgressBlock b) { progressBlock_ = std::move(b); }
    void setTotalBytesProgressBlock(TotalBytesProgressBlock b) { totalBytesProgressBlock_ = std::move(b); }
    // Reports are dropped once this object is destroyed.
    void setOwner(QObject* owner);

    // Begins the scan. With no path, calls the failure block at once, on the calling thread;
    // a folder that can't be opened fails on the main thread.
    void start();
    // Stops the scan at its next item; the cancelled block follows on the main thread. After
    // the completion has been queued this changes nothing.
    void cancel() { wasCancelled_.store(true, std::memory_order_relaxed); }
    bool wasCancelled() const { return wasCancelled_.load(std::memory_order_relaxed); }

    // Folders below the scanned one that could not be read, known once the completion comes:
    // how many, and the paths (ending with "/") of the first thousand, sorted. They are missing
    // from the tree, or there without their contents.
    int64_t unreadableFolderCount() const { return unreadableFolderCount_; }
    const std::vector<std::string>& unreadableFolders() const { return unreadableFolders_; }

    const std::vector<std::string>& paths() const { return paths_; }
    double minimumFileSize() const { return minimumFileSize_; }
    const KZIgnoreList& ignoreList() const { return ignoreList_; }
    KZIgnoreList& ignoreList() { return ignoreList_; }

    // Test seam: decides whether an item counts as readable, by its path as its record would
    // show it (a folder's ends with "/"); default: whether the system grants the process read
    // access (faccessat, access lists included). Called on scanning threads.
    using ReadabilityCheck = std::function<bool(const std::string& path, bool isDirectory)>;
    void setReadabilityCheck(ReadabilityCheck check) { readabilityCheck_ = std::move(check); }
    // Threads the walk may use; 0 (the default) for one per CPU the process may run on.
    void setThreadCount(unsigned threads) { threadCount_ = threads; }

private:
    KZFileScanner(std::vector<std::string> paths, double minimumFileSize);
    struct Scan;
    friend struct Scan;

    std::vector<std::string> paths_;
    double minimumFileSize_;
    KZIgnoreList ignoreList_;
    std::atomic<bool> wasCancelled_{false};
    bool started_ = false;
    int64_t unreadableFolderCount_ = 0;
    std::vector<std::string> unreadableFolders_;

    QPointer<QObject> owner_;
    bool hasOwner_ = false;
    ReadabilityCheck readabilityCheck_;
    unsigned threadCount_ = 0;

    CompletionBlock completionBlock_;
    FailureBlock failureBlock_;
    CancelledBlock cancelledBlock_;
    CurrentPathBlock currentPathBlock_;
    ProgressBlock progressBlock_;
    TotalBytesProgressBlock totalBytesProgressBlock_;
};
