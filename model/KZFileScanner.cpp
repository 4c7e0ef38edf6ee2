#include "model/KZFileScanner.h"

#include "model/KZParallelScan.h"
#include "model/KZPath.h"
#include "platform/KZDispatch.h"
#include "platform/KZLog.h"
#include "platform/KZPathString.h"

#include <QCoreApplication>
#include <QObject>

#include <chrono>
#include <cstring>
#include <mutex>

namespace {

// Reports reach the main thread at most this often.
constexpr std::chrono::nanoseconds kReportInterval = std::chrono::milliseconds(33);

int64_t nowNanoseconds()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

} // namespace

// One running scan: the walk, a snapshot of the scanner's settings, and the coalescing of its
// reports. Held by the background job and by every report queued for the main thread.
struct KZFileScanner::Scan : std::enable_shared_from_this<Scan> {
    std::shared_ptr<KZFileScanner> scanner;
    KZIgnoreList ignoreList;
    std::unique_ptr<KZParallelScan> walk;

    std::atomic<bool> reportPending{false};
    std::atomic<int64_t> lastDelivery{0};
    std::mutex pathMutex;
    std::string latestPath;
    bool hasNewPath = false;

    bool ownerGone() const { return scanner->hasOwner_ && !scanner->owner_; }

    // Scanning threads: queue one report unless one is pending or the last was too recent.
    void noteProgress(const KZFile* latest)
    {
        if (reportPending.load(std::memory_order_relaxed)) return;
        const int64_t now = nowNanoseconds();
        if (now - lastDelivery.load(std::memory_order_relaxed) < kReportInterval.count()) return;
        if (reportPending.exchange(true, std::memory_order_acq_rel)) return;
        if (latest) {
            std::string path = latest->path();
            std::lock_guard lock(pathMutex);
            latestPath = std::move(path);
            hasNewPath = true;
        }
        KZRunOnMainThread([self = shared_from_this()] { self->deliverProgress(); });
    }

    // Main thread: the counters as they stand, and the newest path if there is one. Each
    // block is read just before its call, so clearing one silences it.
    void deliverProgress()
    {
        lastDelivery.store(nowNanoseconds(), std::memory_order_relaxed);
        reportPending.store(false, std::memory_order_release);
        if (ownerGone()) return;
        const int64_t count = walk->itemCount();
        const double bytes = double(walk->byteCount());
        std::string path;
        bool havePath;
        {
            std::lock_guard lock(pathMutex);
            havePath = hasNewPath;
            hasNewPath = false;
            if (havePath) path = std::move(latestPath);
        }
        if (auto block = scanner->progressBlock_) block(count);
        if (auto block = scanner->totalBytesProgressBlock_) block(bytes);
        if (havePath) {
            if (auto block = scanner->currentPathBlock_) block(path);
        }
    }

    void run()
    {
        KZFileScanner& s = *scanner;
        KZDirectoryPtr root = walk->run(s.paths_.front());
        if (!root && !s.wasCancelled()) {
            // The folder can't be scanned at all: that is a failure, not an empty tree.
            const QString message =
                QCoreApplication::translate("KZFileScanner", "Could not open the folder \"%1\": %2")
                    .arg(kz::displayString(s.paths_.front()), QString::fromLocal8Bit(std::strerror(walk->error())));
            KZRunOnMainThread([self = shared_from_this(), message] {
                if (self->ownerGone()) return;
                if (auto block = self->scanner->failureBlock_) block(message);
            });
            return;
        }
        if (s.wasCancelled()) {
            root = nullptr; // the partial tree goes here, off the main thread
            KZRunOnMainThread([self = shared_from_this()] {
                if (self->ownerGone()) return;
                if (auto block = self->scanner->cancelledBlock_) block();
            });
            return;
        }
        // The last count, total and path, then the tree.
        if (!walk->lastPath().empty()) {
            std::lock_guard lock(pathMutex);
            latestPath = walk->lastPath();
            hasNewPath = true;
        }
        KZRunOnMainThread([self = shared_from_this()] { self->deliverProgress(); });
        KZRunOnMainThread([self = shared_from_this(), root = std::move(root)] {
            self->scanner->unreadableFolderCount_ = self->walk->unreadableFolderCount();
            self->scanner->unreadableFolders_ = self->walk->unreadableFolders();
            if (self->ownerGone()) return;
            if (auto block = self->scanner->completionBlock_) block(KZFileList{KZFilePtr(root)});
        });
    }
};

std::shared_ptr<KZFileScanner> KZFileScanner::scannerWithPaths(const std::vector<std::string>& paths,
                                                               double minimumFileSize)
{
    return std::shared_ptr<KZFileScanner>(new KZFileScanner(paths, minimumFileSize));
}

KZFileScanner::KZFileScanner(std::vector<std::string> paths, double minimumFileSize) : minimumFileSize_(minimumFileSize)
{
    // A path inside another given path is dropped; of equal paths the first stays.
    for (size_t i = 0; i < paths.size(); ++i) {
        bool drop = false;
        for (size_t j = 0; j < paths.size() && !drop; ++j) {
            if (i == j || !kz_isChildOfPath(paths[i], paths[j])) continue;
            if (j > i && kz_isEqualToPath(paths[i], paths[j])) continue;
            KZDebugLog(QStringLiteral("Ignoring path: %1 because it's a child of %2")
                           .arg(kz::displayString(paths[i]), kz::displayString(paths[j])));
            drop = true;
        }
        if (!drop) paths_.push_back(paths[i]);
    }
}

KZFileScanner::~KZFileScanner() = default;

void KZFileScanner::setOwner(QObject* owner)
{
    owner_ = owner;
    hasOwner_ = owner != nullptr;
    if (owner) {
        // The owner's scan is of no use once it is gone.
        QObject::connect(owner, &QObject::destroyed, [weak = weak_from_this()] {
            if (auto self = weak.lock()) self->cancel();
        });
    }
}

void KZFileScanner::start()
{
    if (started_) return;
    started_ = true;
    if (paths_.empty()) {
        if (auto block = failureBlock_) block(QString());
        return;
    }
    auto scan = std::make_shared<Scan>();
    scan->scanner = shared_from_this();
    scan->ignoreList = ignoreList_;
    KZParallelScan::Options options;
    options.minimumFileSize = minimumFileSize_;
    options.readabilityCheck = readabilityCheck_;
    options.threads = threadCount_;
    options.progress = [s = scan.get()](const KZFile* latest) { s->noteProgress(latest); };
    scan->walk = std::make_unique<KZParallelScan>(scan->ignoreList, std::move(options), wasCancelled_);
    KZRunInBackground([scan] { scan->run(); });
}
