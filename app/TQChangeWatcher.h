#pragma once
// The results screen's watch on the scanned folder. It watches the folders of the scanned tree
// (no folder is read again to find them; none that is ignored gets a watch, nor a hidden one
// while hidden items aren't shown) and tells its owner when a delivery of the watcher holds a
// change the treemap would show.
//
// A change is an item created, removed or renamed below the scanned folder that is not:
// - hidden while hidden items aren't shown: its own name or that of any folder on the way down
//   from the scanned folder begins with "." (or the tree marks such a folder hidden), as the
//   map leaves all of that out; the scanned folder's own name and what lies above it don't count;
// - ignored (the owner's ignore list), or the program's own doing (the owner's test);
// - a file smaller than the minimum size: its recorded size when the tree holds it, else its
//   size on disk. A folder that isn't in the tree always counts.
// When the owner can't prompt now (the once-a-minute limit reached, a prompt or the delete
// sheet up), a delivery is passed over unread. The events of one delivery are looked at as
// one: a folder of the tree is found once per delivery, by its path's components, and a folder
// with many children is indexed by name once.
//
// The folders are listed from the tree on the main thread a slice at a time (a few
// milliseconds each, however large the tree), each slice handed to the watcher's background
// work as it is made.
//
// Ownership: the results screen owns it and outlives it; it reads the screen's tree and ignore
// list on the main thread only and hands the watcher's background work copies. Showing hidden
// items or not changes which folders are watched: the watch starts anew then.

#include "model/CDEvents.h"
#include "model/KZFile.h"

#include <QObject>

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class KZIgnoreList;

class TQChangeWatcher : public QObject {
    Q_OBJECT
public:
    struct Hooks {
        // Whether a prompt could show now; when not, deliveries are passed over.
        std::function<bool()> canPrompt;
        // Whether a change at the path is the program's own (an archive being written, the
        // settings file).
        std::function<bool(const std::string& path)> isOwnChange;
        // A delivery held a change. Called last: the hook may let the watcher go.
        std::function<void()> changed;
        // An event has been looked at (whether or not it counted).
        std::function<void(const std::string& path)> handled;
    };

    // `ignoreList` may be null; it must outlive the watcher.
    TQChangeWatcher(KZDirectoryPtr root, const KZIgnoreList* ignoreList, Hooks hooks, QObject* parent = nullptr);
    ~TQChangeWatcher() override;

    // Watches the scanned folder with the watcher's latency and creation flags; throws as
    // CDEvents does (the watch is then off).
    void start(double latency, uint32_t flags);
    CDEvents* events() const { return events_.get(); }

    // One delivery of the watcher.
    void handleEvents(const std::vector<CDEventPtr>& events);
    // Whether the delivery holds a change (nothing else is done).
    bool holdsChange(const std::vector<CDEventPtr>& events) const;

    // True when a component of `path` after `root` (both without a final "/") begins with ".".
    static bool isHiddenBelow(std::string_view path, std::string_view root);
    // The folders below `root` to watch, taken from the tree, and the rule for folders that
    // appear later: ignored ones, and hidden ones unless `showHiddenFiles`.
    static CDEventsFolders foldersToWatch(const KZDirectoryPtr& root, const KZIgnoreList* ignoreList,
                                          bool showHiddenFiles);

    // Lists the folders of a tree to watch, a slice at a time.
    class FolderListing {
    public:
        FolderListing(KZDirectoryPtr root, const KZIgnoreList* ignoreList, bool showHiddenFiles);
        // Lists folders for about `budgetMs` milliseconds (all that are left for a negative
        // budget); answers whether the listing is done.
        bool list(std::vector<CDEventsFolders::Folder>& out, double budgetMs);

    private:
        struct Todo {
            KZDirectoryPtr folder; // held: the tree may change between slices
            std::string path;
            size_t next = 0; // the next child to look at
        };
        const KZIgnoreList* ignoreList_;
        bool showHiddenFiles_;
        std::vector<Todo> stack_;
    };

private:
    // The slices of the listing on the main thread.
    static constexpr double kListSliceMs = 5;

    void restart();
    void listMore(uint64_t generation);
    static std::function<bool(std::string_view)> skipRule(const std::string& rootPath, const KZIgnoreList* ignoreList,
                                                          bool showHiddenFiles);

    KZDirectoryPtr root_;
    std::string rootPath_; // without a final "/"
    const KZIgnoreList* ignoreList_;
    Hooks hooks_;
    double latency_ = 1.0;
    uint32_t flags_ = 0;
    std::unique_ptr<CDEvents> events_;
    std::unique_ptr<FolderListing> listing_;
    uint64_t generation_ = 0; // counts the starts, so that a slice of an earlier one does nothing
};
