#include "app/TQChangeWatcher.h"

#include "model/KZIgnoreList.h"
#include "model/Preferences.h"
#include "platform/KZPathString.h"
#include "platform/KZTimeSlice.h"

#include <QTimer>

#include <sys/stat.h>

#include <unordered_map>

namespace {

// Looks children up by name during one delivery: a folder with many children is indexed the
// first time it is asked, so each lookup after that costs the same however large the folder.
class ChildLookup {
public:
    KZFile* find(KZDirectory* folder, std::string_view name)
    {
        if (folder->childCount() <= kScanAtMost) {
            for (KZFile* child : folder->children())
                if (child->nameBytes() == name) return child;
            return nullptr;
        }
        auto& index = indexes_[folder];
        if (index.empty()) {
            index.reserve(folder->childCount());
            for (KZFile* child : folder->children()) index.emplace(child->nameBytes(), child);
        }
        const auto it = index.find(name);
        return it == index.end() ? nullptr : it->second;
    }

    struct FoundFolder {
        KZDirectory* folder; // the deepest folder of the tree on the way
        bool reached;        // it is the folder asked for
        bool hidden;         // a folder on the way is marked hidden (and hidden items aren't shown)
    };
    // The record of the folder at `relative` below `root`, by the components of its path.
    FoundFolder findFolder(KZDirectory* root, std::string_view relative, bool showHidden)
    {
        FoundFolder found{root, true, false};
        for (size_t start = 0; start < relative.size();) {
            size_t end = relative.find('/', start);
            if (end == std::string_view::npos) end = relative.size();
            KZDirectory* next = kz_asDirectory(find(found.folder, relative.substr(start, end - start)));
            start = end + 1;
            if (!next) {
                found.reached = false;
                break;
            }
            if (!showHidden && next->isHidden()) found.hidden = true;
            found.folder = next;
        }
        return found;
    }

private:
    static constexpr size_t kScanAtMost = 32;
    struct Hash {
        using is_transparent = void;
        size_t operator()(std::string_view s) const { return std::hash<std::string_view>()(s); }
    };
    using Index = std::unordered_map<std::string, KZFile*, Hash, std::equal_to<>>;
    std::unordered_map<const KZDirectory*, Index> indexes_;
};

std::string joined(const std::string& folder, std::string_view name)
{
    std::string path;
    path.reserve(folder.size() + 1 + name.size());
    path = folder == "/" ? std::string() : folder;
    path += '/';
    path += name;
    return path;
}

// The part of `path` after `root` and its "/" ("" when the path is not strictly below it).
std::string_view below(std::string_view path, std::string_view root)
{
    if (root == "/") return path.size() > 1 && path[0] == '/' ? path.substr(1) : std::string_view();
    if (path.size() <= root.size() + 1 || path.compare(0, root.size(), root) != 0 || path[root.size()] != '/')
        return {};
    return path.substr(root.size() + 1);
}

} // namespace

TQChangeWatcher::TQChangeWatcher(KZDirectoryPtr root, const KZIgnoreList* ignoreList, Hooks hooks, QObject* parent)
    : QObject(parent), root_(std::move(root)), rootPath_(root_ ? kz::pathWithoutTrailingSlash(root_->path()) : ""),
      ignoreList_(ignoreList), hooks_(std::move(hooks))
{
    if (rootPath_.empty() && root_) rootPath_.push_back('/');
    // Hidden folders are watched only while hidden items are shown.
    connect(&Preferences::sharedPreferences(), &Preferences::showHiddenFilesChanged, this, [this] {
        if (events_) restart();
    });
}

TQChangeWatcher::~TQChangeWatcher() = default;

void TQChangeWatcher::start(double latency, uint32_t flags)
{
    latency_ = latency;
    flags_ = flags;
    events_.reset();
    listing_.reset();
    const uint64_t generation = ++generation_;
    if (!root_) return;
    const bool showHidden = Preferences::sharedPreferences().showHiddenFiles();
    auto listing = std::make_unique<FolderListing>(root_, ignoreList_, showHidden);
    CDEventsFolders folders;
    folders.skip = skipRule(rootPath_, ignoreList_, showHidden);
    // Content and attribute changes never count: not asking for them makes the watches cheap.
    folders.contentChanges = false;
    folders.listed.emplace();
    const bool done = listing->list(*folders.listed, kListSliceMs);
    folders.moreToCome = !done;
    events_ = std::make_unique<CDEvents>(
        std::vector<std::string>{rootPath_},
        [this](CDEvents&, const CDEventPtr& event) {
            if (event) handleEvents({event});
        },
        kCDEventsSinceEventNow, latency, false, std::vector<std::string>{}, flags, std::move(folders));
    events_->setBatchBlock([this](CDEvents&, const std::vector<CDEventPtr>& events) { handleEvents(events); });
    if (!done) {
        listing_ = std::move(listing);
        QTimer::singleShot(0, this, [this, generation] { listMore(generation); });
    }
}

void TQChangeWatcher::listMore(uint64_t generation)
{
    if (generation != generation_ || !listing_ || !events_) return;
    std::vector<CDEventsFolders::Folder> folders;
    const bool done = listing_->list(folders, kListSliceMs);
    events_->watchListedFolders(std::move(folders), done);
    if (done) {
        listing_.reset();
    } else {
        QTimer::singleShot(0, this, [this, generation] { listMore(generation); });
    }
}

void TQChangeWatcher::restart()
{
    try {
        start(latency_, flags_);
    } catch (const std::exception&) {
        events_.reset(); // as when it could not start at first: no prompt, the screen goes on
    }
}

void TQChangeWatcher::handleEvents(const std::vector<CDEventPtr>& events)
{
    const bool change = (!hooks_.canPrompt || hooks_.canPrompt()) && holdsChange(events);
    if (hooks_.handled)
        for (const CDEventPtr& event : events)
            if (event) hooks_.handled(event->path());
    if (change && hooks_.changed) {
        const auto changed = hooks_.changed;
        changed();
    }
}

bool TQChangeWatcher::isHiddenBelow(std::string_view path, std::string_view root)
{
    const std::string_view rest = below(path, root);
    for (size_t i = 0; i < rest.size(); ++i)
        if (rest[i] == '.' && (i == 0 || rest[i - 1] == '/')) return true;
    return false;
}

bool TQChangeWatcher::holdsChange(const std::vector<CDEventPtr>& events) const
{
    if (!root_) return false;
    const Preferences& prefs = Preferences::sharedPreferences();
    const bool showHidden = prefs.showHiddenFiles();

    // The cheap tests first, on the path alone; what passes is grouped by its folder.
    std::vector<std::pair<std::string_view, std::vector<std::string_view>>> groups;
    std::unordered_map<std::string_view, size_t> groupOf;
    for (const CDEventPtr& event : events) {
        if (!event || !(event->isCreated() || event->isRemoved() || event->isRenamed())) continue;
        const std::string& path = event->path();
        // The scanned folder itself (removed, renamed, unmounted, events dropped) has no folder
        // in the tree to look in; a rescan can't be offered for it.
        const std::string_view rest = below(path, rootPath_);
        if (rest.empty()) continue;
        if (!showHidden && isHiddenBelow(path, rootPath_)) continue;
        if (ignoreList_ && ignoreList_->filePathIsIgnored(path)) continue;
        if (hooks_.isOwnChange && hooks_.isOwnChange(path)) continue;
        const size_t slash = rest.rfind('/');
        const std::string_view folder = slash == std::string_view::npos ? std::string_view() : rest.substr(0, slash);
        const std::string_view name = slash == std::string_view::npos ? rest : rest.substr(slash + 1);
        auto [it, added] = groupOf.emplace(folder, groups.size());
        if (added) groups.push_back({folder, {}});
        groups[it->second].second.push_back(name);
    }
    if (groups.empty()) return false;

    const double minimum = prefs.minFileSize();
    ChildLookup lookup;
    for (const auto& [folderPart, names] : groups) {
        const auto [folder, reached, hidden] = lookup.findFolder(root_.get(), folderPart, showHidden);
        if (hidden) continue;
        const std::string folderPath = folderPart.empty() ? rootPath_ : joined(rootPath_, folderPart);
        for (std::string_view name : names) {
            KZFile* record = reached ? lookup.find(folder, name) : nullptr;
            double size = 0;
            if (record) {
                size = record->fileSize();
            } else {
                // What is there now, a final link not followed: a folder always counts.
                struct stat st {};
                if (::lstat(joined(folderPath, name).c_str(), &st) == 0)
                    size = S_ISDIR(st.st_mode) ? -1 : double(st.st_size);
            }
            if (size == -1 || size >= minimum) return true;
        }
    }
    return false;
}

TQChangeWatcher::FolderListing::FolderListing(KZDirectoryPtr root, const KZIgnoreList* ignoreList, bool showHiddenFiles)
    : ignoreList_(ignoreList), showHiddenFiles_(showHiddenFiles)
{
    if (!root) return;
    std::string rootPath = kz::pathWithoutTrailingSlash(root->path());
    if (rootPath.empty()) rootPath.push_back('/');
    stack_.push_back({std::move(root), std::move(rootPath)});
}

bool TQChangeWatcher::FolderListing::list(std::vector<CDEventsFolders::Folder>& out, double budgetMs)
{
    // The clock is read now and then: a slice looks at thousands of children.
    KZTimeSlice slice(KZTimeSlice::seconds(budgetMs / 1000), 1024);
    while (!stack_.empty()) {
        Todo& todo = stack_.back();
        const KZDirectory* folder = todo.folder.get();
        const auto children = folder->children();
        if (todo.next >= children.size()) {
            stack_.pop_back();
            continue;
        }
        if (slice.step()) return false;
        const KZFile* child = children[todo.next++];
        const KZDirectory* sub = kz_asDirectory(child);
        if (!sub) continue;
        const std::string name = sub->nameBytes();
        if (!showHiddenFiles_ && (sub->isHidden() || (!name.empty() && name[0] == '.'))) continue;
        std::string path = joined(todo.path, name);
        if (ignoreList_ && ignoreList_->filePathIsIgnored(path)) continue;
        const bool onOtherDevice =
            sub->hasDeviceAndInode() && folder->hasDeviceAndInode() && sub->device() != folder->device();
        // A package is measured whole: the tree doesn't hold its sub-folders.
        const bool walkBelow = sub->childCount() == 0 && sub->isPackage();
        out.push_back({path, onOtherDevice, walkBelow});
        if (sub->childCount() > 0)
            stack_.push_back({KZDirectoryPtr(const_cast<KZDirectory*>(sub)), std::move(path)}); // `todo` may move
    }
    return true;
}

std::function<bool(std::string_view)> TQChangeWatcher::skipRule(const std::string& rootPath,
                                                                const KZIgnoreList* ignoreList, bool showHiddenFiles)
{
    std::shared_ptr<const KZIgnoreList> ignored =
        ignoreList ? std::make_shared<const KZIgnoreList>(*ignoreList) : nullptr;
    return [rootPath, hideHidden = !showHiddenFiles, ignored](std::string_view path) {
        return (hideHidden && isHiddenBelow(path, rootPath)) || (ignored && ignored->filePathIsIgnored(path));
    };
}

CDEventsFolders TQChangeWatcher::foldersToWatch(const KZDirectoryPtr& root, const KZIgnoreList* ignoreList,
                                                bool showHiddenFiles)
{
    CDEventsFolders folders;
    if (!root) return folders;
    std::string rootPath = kz::pathWithoutTrailingSlash(root->path());
    if (rootPath.empty()) rootPath.push_back('/');
    folders.listed.emplace();
    FolderListing(root, ignoreList, showHiddenFiles).list(*folders.listed, -1);
    folders.skip = skipRule(rootPath, ignoreList, showHiddenFiles);
    folders.contentChanges = false;
    return folders;
}
