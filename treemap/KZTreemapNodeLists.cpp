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
    if (!directory || directory->childCount() == 0) return std::nullopt;

    // Sizes are read once, before sorting: a folder's total may have to be computed.
    const auto children = directory->children();
    std::vector<Child>& sorted = sortBuffer_;
    sorted.clear();
    sorted.reserve(children.size());
    for (size_t i = 0; i < children.size(); ++i) {
        const double size = children[i]->fileSize();
        sorted.push_back({std::isnan(size) ? 0.0 : size, uint32_t(i), children[i]});
    }
    std::sort(sorted.begin(), sorted.end(), [](const Child& a, const Child& b) {
        return a.size != b.size ? a.size > b.size : a.index < b.index;
    });

    const double base = directory_ ? directory_->fileSize() : 0.0;
    const size_t count = sorted.size();
    const bool many = count > kManyChildren;
    const double minimum = minimumFileSize_ ? minimumFileSize_() : 0.0;
    const bool anyReloading = !reloadingNodes_.empty();
    const KZDirectoryPtr parent(const_cast<KZDirectory*>(directory));

    KZTreemapNodeList list;
    std::vector<KZFilePtr> grouped;
    for (size_t i = 0; i < count; ++i) {
        const Child& child = sorted[i];
        KZFile* file = child.file;
        if ((!showsHiddenFiles_ && file->isHidden()) || (!showsSystemFiles_ && file->isSystemFile()) ||
            child.size <= minimum)
            continue;
        const double share = child.size / base;
        if (share < double(kGroupShare) || (many && double(i) / double(count) > double(kManyChildrenShare))) {
            grouped.emplace_back(file);
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
                list.push_back(std::move(node));
                continue;
            }
        }
        if (child.size <= 0) continue;
        if (fileIsIgnored_ && fileIsIgnored_(node->file())) continue;
        if (file->isDirectory() && !file->isPackage() && static_cast<KZDirectory*>(file)->childCount() == 0) continue;
        list.push_back(std::move(node));
    }
    if (grouped.size() == 1) {
        list.push_back(KZTreemapNode::nodeWithFile(grouped.front()));
    } else if (grouped.size() > 1) {
        list.push_back(KZTreemapNode::nodeWithGroupedFileArray(std::move(grouped), parent));
    }
    return list;
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
