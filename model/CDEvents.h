#pragma once
// Watches folders for changes and hands each one to a block as a CDEvent, on the thread that
// made the watcher (the main thread for the results screen). Built on inotify:
// - every folder below the watched ones is watched (added in the background; a folder
//   created later is watched as it appears, and what was made in it before the watch took
//   hold is reported as created). The folders come from a list the caller has (a scan's),
//   or are found by reading folders for their entries' types, never with a stat per file;
//   the caller may name folders that get no watch at all (CDEventsFolders);
// - events of one latency period are delivered together, at the end of the period, to the
//   event block one by one or to the batch block at once; a flood is read and delivered a
//   slice per turn of the event loop, so the thread stays responsive;
// - a folder renamed inside the watched tree keeps being watched under its new name;
//   renames are reported for the old and the new path;
// - content changes are reported when a file written to is closed (IN_CLOSE_WRITE);
// - with the IgnoreSelf creation flag, changes the program makes itself (registered in
//   KZSelfChangeRegistry by the remover, the Trash and the compressor, each with the kinds
//   of change it makes) are not reported; other kinds of change at the same paths are;
// - running out of inotify watches is logged and the watcher goes on with what it has.
// The creation flags are those of an FSEvents stream; docs/platform.md lists what each one
// and each inotify event becomes. Destroying the watcher stops it at once: its block is
// never called afterwards.

#include "model/CDEvent.h"

#include <QObject>
#include <QPointer>
#include <QUrl>

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

class QSocketNotifier;
class QTimer;

// No paths to watch, or no block.
class CDEventsInvalidArgumentException : public std::invalid_argument {
public:
    CDEventsInvalidArgumentException() : std::invalid_argument("Invalid arguments passed to CDEvents init-method.") {}
    static const char* name() { return "NSInvalidArgumentException"; }
};

// The system would not give the watcher an event stream.
class CDEventsEventStreamCreationFailureException : public std::runtime_error {
public:
    CDEventsEventStreamCreationFailureException() : std::runtime_error("Failed to create event stream.") {}
    static const char* name() { return "CDEventsEventStreamCreationFailureException"; }
};

namespace CDEventsStreamFlags {
enum : uint32_t {
    UseCFTypes = 0x1, // kept for the flag word's sake; paths are always byte strings here
    NoDefer = 0x2,    // the first change after a quiet period is delivered at once
    WatchRoot = 0x4,  // report the watched folder itself being moved or removed
    IgnoreSelf = 0x8, // drop the program's own changes
    FileEvents = 0x10 // report single items; without it, the folder that changed (flags 0)
};
}

// Which folders below the watched ones get a watch.
struct CDEventsFolders {
    struct Folder {
        std::string path;
        bool onOtherDevice = false; // a mount point: a pseudo file system (proc, sysfs...) gets no watch
        bool walkBelow = false;     // the list doesn't hold its sub-folders: they are found on disk
    };
    // Set: every folder below the watched ones to watch, as listed (the watcher reads no folder
    // to find them). Unset: the watcher finds them by reading the folders.
    std::optional<std::vector<Folder>> listed;
    // With a list: more of it comes later, through watchListedFolders; the watcher isn't
    // watching everything until the last part has come and been watched.
    bool moreToCome = false;
    // True for a folder that gets no watch, nor anything below it: for the folders found on
    // disk and for those that appear later. Called on any thread: it reads only what it owns.
    std::function<bool(std::string_view path)> skip;
    // False: changes to items' contents and attributes (ItemModified, ItemInodeMetaMod) are
    // neither watched for nor reported, only items appearing, going and renamed; each watch
    // then costs the system a fraction (it needn't mark every item of the folder).
    bool contentChanges = true;
};

constexpr uint64_t kCDEventsSinceEventNow = UINT64_MAX;
constexpr double kCDEventsDefaultEventLatency = 3.0;
constexpr uint32_t kCDEventsDefaultEventStreamFlags = CDEventsStreamFlags::UseCFTypes | CDEventsStreamFlags::WatchRoot;

class CDEvents : public QObject {
    Q_OBJECT
public:
    using EventBlock = std::function<void(CDEvents& watcher, const CDEventPtr& event)>;
    using BatchBlock = std::function<void(CDEvents& watcher, const std::vector<CDEventPtr>& events)>;

    // Throws CDEventsInvalidArgumentException for no paths (or a relative one) or no block,
    // CDEventsEventStreamCreationFailureException when inotify can't be had.
    CDEvents(std::vector<std::string> watchedPaths, EventBlock block, uint64_t sinceEventIdentifier,
             double notificationLatency, bool ignoreEventsFromSubDirs, std::vector<std::string> excludedPaths,
             uint32_t streamCreationFlags, QObject* parent = nullptr);
    // As above, with the folders to watch below the watched ones given or limited.
    CDEvents(std::vector<std::string> watchedPaths, EventBlock block, uint64_t sinceEventIdentifier,
             double notificationLatency, bool ignoreEventsFromSubDirs, std::vector<std::string> excludedPaths,
             uint32_t streamCreationFlags, CDEventsFolders folders, QObject* parent = nullptr);
    // With the defaults: from now on, 3 s latency, sub-folders reported, no exclusions, flags 5.
    CDEvents(std::vector<std::string> watchedPaths, EventBlock block, QObject* parent = nullptr);
    CDEvents(const QList<QUrl>& watchedURLs, EventBlock block, QObject* parent = nullptr);
    ~CDEvents() override;

    // A new watcher with the same settings, on the calling thread.
    std::unique_ptr<CDEvents> copy() const;
    // Stops watching for good.
    void disposeEventStream();
    // More listed folders (see CDEventsFolders::moreToCome); `last` with the last of them.
    // Nothing once the last part has come.
    void watchListedFolders(std::vector<CDEventsFolders::Folder> folders, bool last);

    const EventBlock& eventBlock() const { return eventBlock_; }
    // When set, each delivery hands its events to this block at once, in the order they came,
    // instead of to the event block one by one.
    void setBatchBlock(BatchBlock block) { batchBlock_ = std::move(block); }
    std::vector<std::string> watchedPaths() const;
    QList<QUrl> watchedURLs() const;
    std::vector<std::string> excludedPaths() const;
    QList<QUrl> excludedURLs() const;
    uint32_t eventStreamCreationFlags() const { return flags_; }
    double notificationLatency() const { return latency_; }
    uint64_t sinceEventIdentifier() const { return since_; }
    bool ignoreEventsFromSubDirectories() const { return ignoreSubDirs_; }
    void setIgnoreEventsFromSubDirectories(bool v) { ignoreSubDirs_ = v; }
    CDEventPtr lastEvent() const;
    std::string description() const;

    // How many folders are watched now; whether the background walks are done.
    size_t watchCount() const;
    bool isWatchingEverything() const;
    // True when nothing waits to be delivered: no event unread in the system's queue, none
    // waiting for the latency to pass, no folder being added in the background. Events of
    // changes made before it answers true have all been delivered (or dropped by the rules);
    // tests wait for it instead of waiting a fixed time. A catch-up the background walks
    // queued for the main thread counts once it has run.
    bool isIdle() const;
    // Makes every watcher behave as if the system had only this many watches (tests); 0
    // restores the system's limit.
    static void setWatchLimitForTesting(size_t limit);

private:
    struct Watches;
    struct Pending {
        std::string path;
        uint32_t flags;
        uint32_t kinds = 0; // as KZChange
    };
    struct MoveFrom {
        uint32_t cookie = 0;
        std::string path;
        bool isDir = false;
        bool active = false;
    };

    void start();
    void readEvents();
    void handle(int wd, uint32_t mask, uint32_t cookie, const char* name);
    void flushMove();
    // `ownKinds`: the kinds of change (KZChange) the event would be if the program made it.
    void emitChange(std::string path, uint32_t flags, uint32_t ownKinds);
    void catchUp(const std::vector<Pending>& items);
    void scheduleDelivery();
    void deliver();
    bool isExcluded(const std::string& path) const;

    EventBlock eventBlock_;
    BatchBlock batchBlock_;
    CDEventsFolders folders_;
    std::vector<std::string> watched_;
    std::vector<std::string> excluded_;
    uint64_t since_;
    double latency_;
    bool ignoreSubDirs_;
    uint32_t flags_;

    std::shared_ptr<Watches> watches_;
    std::unique_ptr<QSocketNotifier> notifier_;
    std::unique_ptr<QTimer> latencyTimer_;
    std::vector<Pending> batch_;
    MoveFrom moveFrom_;
    bool listOpen_ = false;   // more listed folders are to come
    qint64 lastDelivery_ = 0; // ms since the epoch of the last delivery
    QPointer<CDEvents> self_;

    mutable std::mutex lastMutex_;
    CDEventPtr lastEvent_;
};
