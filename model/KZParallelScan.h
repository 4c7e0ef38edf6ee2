#pragma once
// The multi-threaded walk behind KZFileScanner: turns one folder into a tree of records with a
// small pool of worker threads taking folder tasks. A folder's records are made and appended
// to it only by the thread that reads that folder (the entries of a large folder are looked at
// by every idle worker, a slice each, and kept in the folder's order); every child folder
// becomes a task that carries a descriptor opened relative to its parent, so neither depth nor
// path length matters, and a folder's only child folder is read next by the same thread,
// without a turn through the queue. One statx per entry (the record answers readability where
// it settles it, kz::ReadAccessShortcut); links are never followed; pseudo-file systems and
// bind-mount loops are never entered; nor is an item the program is removing (its records go
// too when its removal began after the walk met it). After the walk, folders that are packages
// by their extension lose their records (their totals stay), and every folder total below the
// root is computed.
//
// This class knows nothing of Qt's event loop: it counts, and calls `progress` on its own
// threads; KZFileScanner turns that into coalesced reports on the main thread. One instance
// runs one scan.

#include "model/KZFile.h"
#include "model/KZFolderIgnoreRules.h"
#include "platform/KZDirectoryIO.h"
#include "platform/KZMountTable.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <vector>

class KZIgnoreList;

class KZParallelScan {
public:
    struct Options {
        // Files smaller than this get no record, their bytes go to their folder's
        // ignoredSize; 0 or less keeps every file.
        double minimumFileSize = 0;
        // Whether an item counts as readable, by its path (a folder's ends with "/"); unset:
        // whether the system grants the process read access (faccessat with AT_EACCESS;
        // folders need search access too), access lists included. The item's record answers
        // in the system's place where it settles the question (kz::ReadAccessShortcut).
        std::function<bool(const std::string& path, bool isDirectory)> readabilityCheck;
        // Worker threads; 0 for one per CPU the calling thread may run on (defaultThreadCount).
        unsigned threads = 0;
        // The mount table the walk judges file systems by (tests fake one); unset: the
        // process's, read when the walk starts.
        std::optional<KZMountTable> mountTable;
        // Called on a scanning thread whenever the counters have moved, with the record that
        // thread made last (null when none yet). Must be cheap and thread-safe.
        std::function<void(const KZFile* latest)> progress;
    };

    KZParallelScan(const KZIgnoreList& ignoreList, Options options, const std::atomic<bool>& cancelled);
    ~KZParallelScan();
    KZParallelScan(const KZParallelScan&) = delete;
    KZParallelScan& operator=(const KZParallelScan&) = delete;

    // Walks the folder and returns its tree; null when the folder can't be opened (error()
    // says why). A link chosen as the root is followed once: the tree's root then has the
    // path of the folder it names (rootPath()). After a cancellation the tree is partial and
    // should be dropped.
    KZDirectoryPtr run(const std::string& path);
    // Why run() gave no tree (an errno value); 0 otherwise.
    int error() const { return error_; }
    // The path of the folder walked, without a final "/" (set by run()).
    const std::string& rootPath() const { return rootPath_; }

    // Items counted so far (not ignored, readable; files below the minimum included) and the
    // bytes they hold (a package counts its deep size). Safe to read from any thread.
    int64_t itemCount() const { return items_.load(std::memory_order_relaxed); }
    uint64_t byteCount() const { return bytes_.load(std::memory_order_relaxed); }
    // Path of a record made last; "" when the scan made none. Set by run().
    const std::string& lastPath() const { return lastPath_; }
    // The threads the walk ran on (set by run()).
    unsigned threadCount() const { return threads_; }

    // One thread per CPU the calling thread's affinity mask allows (so a CPU set given by
    // taskset or a container counts), at most 16; 1 at least.
    static unsigned defaultThreadCount();

    // Folders below the root that could not be read (not readable, or failing to open or to
    // list): how many, and the paths (each ending with "/") of the first kMaxUnreadableListed,
    // sorted. They are left out of the tree or kept without their contents. Read after run().
    static constexpr size_t kMaxUnreadableListed = 1000;
    int64_t unreadableFolderCount() const { return unreadableCount_.load(std::memory_order_relaxed); }
    std::vector<std::string> unreadableFolders() const;

private:
    struct State;
    struct Worker;
    struct Task;
    struct Look;
    struct SharedLook;

    void work(Worker& worker);
    // One folder task: opens the folder when the task has no descriptor, then the two passes.
    // True when its only child folder waits in worker.children for this worker.
    bool readFolder(Task& task, Worker& worker);
    void lookAtEntries(const Task& task, int fd, Worker& worker);
    void helpLook(SharedLook& shared, Worker& worker);
    template <typename Entries> // std::vector<Worker::Entry>, defined with Worker
    void lookAtNames(const Look& look, size_t from, size_t to, Worker& worker, Entries& out, double& ignored);
    void makeRecords(const Task& task, int fd, Worker& worker);
    bool queueChildren(Worker& worker);
    void flush(Worker& worker);
    uint64_t measurePackage(int fd, const KZDirectory* package);
    int openRoot(const std::string& path, int& error);
    bool isReadable(int dirFd, const char* name, const struct statx& st, const std::string& folderPath,
                    bool recordMaySettle) const;
    bool followsCommonRules(const Task& task, int fd, Worker& worker) const;
    // Whether the entry is an item the program is removing (KZRemovalRegistry): a folder, or
    // a file under the remover's private name.
    bool isBeingRemoved(Worker& worker, const struct statx& st, std::string_view name) const;
    // Takes out the records of items whose removal ran while the walk went on and that are
    // going or gone.
    void dropItemsRemovedMeanwhile(KZDirectory* root, const std::vector<kz::ItemIdentity>& removed) const;
    void noteUnreadableFolder(std::string path);

    const KZIgnoreList& ignoreList_;
    Options options_;
    const std::atomic<bool>& cancelled_;
    std::atomic<int64_t> items_{0};
    std::atomic<uint64_t> bytes_{0};
    std::atomic<const KZFile*> lastRecord_{nullptr};
    std::string lastPath_;
    std::string rootPath_;
    int error_ = 0;
    std::atomic<int64_t> unreadableCount_{0};
    mutable std::mutex unreadableMutex_;
    std::vector<std::string> unreadable_;
    unsigned threads_ = 0;
    std::unique_ptr<State> state_;
};
