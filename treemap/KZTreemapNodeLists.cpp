#include "treemap/KZTreemapNodeLists.h"

#include "model/Preferences.h"

#include <algorithm>
#include <cmath>

KZTreemapNodeLists::KZTreemapNodeLists()
    : minimumFileSize_([] { return Preferences::sharedPreferences().minFileSize(); })
{
}

std::optional<KZTreemapNodeList> KZTreemapNodeLists::dataForDirectory(const KZDirectory* directory)
{
    if (!directory || (directory->childCount() == 0 && !(directory->ignoredSize() > 0))) return std::nullopt;

    // Sizes are read once, before sorting: a folder's total may have to be computed.
    const auto children = directory->children();
    std::vector<Child>& sorted = sortBuffer_;
    sorted.clear();
    sorted.reserve(children.size());
    for (size_t i = 0; i < children.size(); ++i) {
        const double size = children[i]->fileSize();
        sorted.push_back({std::isnan(size) ? 0.0 : size, uint32_t(i), children[i]});
    }
    std::sort(sorted.begin(), sorted.end(),
              [](const Child& a, const Child& b) { return a.size != b.size ? a.size > b.size : a.index < b.index; });

    const double base = directory_ ? directory_->fileSize() : 0.0;
    const size_t count = sorted.size();
    const bool many = count > kManyChildren;
    const double minimum = minimumFileSize_ ? minimumFileSize_() : 0.0;
    const bool anyReloading = !reloadingNodes_.empty();
    const KZDirectoryPtr parent(const_cast<KZDirectory*>(directory));

    // Bytes of the folder that no node will show, by why they are left out.
    double smallBytes = directory->ignoredSize();
    double hiddenBytes = 0, systemBytes = 0;
    // Items the user put on the ignore list here were taken out of the folder, which keeps
    // their bytes apart from those of items removed.
    double ignoredBytes = std::min(directory->ignoredItemsSize(), directory->removedFileSizes());
    double shownBytes = 0;

    KZTreemapNodeList list;
    std::vector<KZFilePtr> grouped;
    double groupedBytes = 0;
    for (size_t i = 0; i < count; ++i) {
        const Child& child = sorted[i];
        KZFile* file = child.file;
        if (!showsHiddenFiles_ && file->isHidden()) {
            hiddenBytes += child.size;
            continue;
        }
        if (!showsSystemFiles_ && file->isSystemFile()) {
            systemBytes += child.size;
            continue;
        }
        if (child.size <= minimum) {
            smallBytes += child.size;
            continue;
        }
        const double share = child.size / base;
        if (share < double(kGroupShare) || (many && double(i) / double(count) > double(kManyChildrenShare))) {
            grouped.emplace_back(file);
            groupedBytes += child.size;
            continue;
        }
        auto node = std::make_shared<KZTreemapNode>();
        node->setFile(KZFilePtr(file));
        node->setValue(child.size);
        if (anyReloading && file->isDirectory()) {
            auto it = reloadingNodes_.find(file->path());
            if (it != reloadingNodes_.end()) {
                node->setIsReloading(true);
                node->setCurrentPath(it->second->currentPath());
                it->second = node;
                shownBytes += child.size;
                list.push_back(std::move(node));
                continue;
            }
        }
        if (child.size <= 0) continue;
        if (fileIsIgnored_ && fileIsIgnored_(node->file())) {
            ignoredBytes += child.size;
            continue;
        }
        // A plain folder without records has nothing to show, unless the scan measured small
        // files in it: then it is an item of its own, with those files' area inside.
        if (file->isDirectory() && !file->isPackage() && static_cast<KZDirectory*>(file)->childCount() == 0 &&
            !(static_cast<KZDirectory*>(file)->ignoredSize() > 0))
            continue;
        shownBytes += child.size;
        list.push_back(std::move(node));
    }

    // The inert areas take their share of the folder, so every node's area follows its size.
    // They are placed by size among the single nodes: when an item is taken out, its bytes
    // become an area of the same weight in the same place, and the others stay where they were.
    const double total = directory->fileSize();
    const double accounted = shownBytes + groupedBytes + smallBytes + hiddenBytes + systemBytes + ignoredBytes;
    const double removedBytes = std::isfinite(total) ? total - accounted : 0.0;
    const std::pair<KZTreemapNode::InertKind, double> areas[] = {
        {KZTreemapNode::InertKind::SmallFiles, smallBytes},     {KZTreemapNode::InertKind::HiddenItems, hiddenBytes},
        {KZTreemapNode::InertKind::SystemItems, systemBytes},   {KZTreemapNode::InertKind::IgnoredItems, ignoredBytes},
        {KZTreemapNode::InertKind::RemovedItems, removedBytes},
    };
    for (const auto& [kind, bytes] : areas) {
        // Less than a byte is rounding of the sums, not something left out.
        if (!(bytes >= 1)) continue;
        auto at = std::upper_bound(list.begin(), list.end(), bytes,
                                   [](double b, const KZTreemapNodePtr& n) { return b > n->value(); });
        list.insert(at, KZTreemapNode::nodeWithInertArea(kind, bytes, parent));
    }

    if (grouped.size() == 1) {
        list.push_back(KZTreemapNode::nodeWithFile(grouped.front()));
    } else if (grouped.size() > 1) {
        list.push_back(KZTreemapNode::nodeWithGroupedFileArray(std::move(grouped), parent));
    }
    return list;
}

bool KZTreemapNodeLists::hasShownNode(const KZTreemapNodeList& list)
{
    return std::any_of(list.begin(), list.end(), [](const KZTreemapNodePtr& n) { return n && !n->isInertArea(); });
}

const KZTreemapNodeList* KZTreemapNodeLists::cachedList(const KZDirectory* directory) const
{
    auto it = cache_.find(directory);
    return it == cache_.end() ? nullptr : &it->second.list;
}

const KZTreemapNodeList& KZTreemapNodeLists::listForDirectory(const KZDirectory* directory)
{
    auto it = cache_.find(directory);
    if (it != cache_.end()) return it->second.list;
    auto built = dataForDirectory(directory);
    Entry entry{KZDirectoryPtr(const_cast<KZDirectory*>(directory)), built ? std::move(*built) : KZTreemapNodeList()};
    return cache_.insert_or_assign(directory, std::move(entry)).first->second.list;
}

void KZTreemapNodeLists::storeList(const KZDirectory* directory, KZTreemapNodeList list)
{
    cache_.insert_or_assign(directory, Entry{KZDirectoryPtr(const_cast<KZDirectory*>(directory)), std::move(list)});
}

void KZTreemapNodeLists::removeList(const KZDirectory* directory)
{
    cache_.erase(directory);
}

void KZTreemapNodeLists::removeAllLists()
{
    cache_.clear();
}

KZTreemapNodePtr KZTreemapNodeLists::reloadingNode(const std::string& path) const
{
    auto it = reloadingNodes_.find(path);
    return it == reloadingNodes_.end() ? nullptr : it->second;
}

void KZTreemapNodeLists::setReloadingNode(const std::string& path, KZTreemapNodePtr node)
{
    reloadingNodes_[path] = std::move(node);
}

void KZTreemapNodeLists::removeReloadingNode(const std::string& path)
{
    reloadingNodes_.erase(path);
}
