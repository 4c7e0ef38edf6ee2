#pragma once
// The node lists of the treemap: for each folder shown, its children that earn a rectangle
// of their own, largest first, with the small ones folded into one grouped node at the end.
// What the folder holds beyond them (items left out as small, hidden, system or ignored, the
// sizes it keeps for items taken out to be ignored, counted as ignored, and for items removed)
// is added as inert areas, one per kind, placed by size, so that the weights of a list sum to
// the folder's total and every area follows size.
// Holds the settings the lists depend on (the folder shown at top level, whose size is the
// base of every share; hidden and system items; the minimum size; the ignore question), the
// cache of built lists and the rescan registry. Owned by the treemap view; no widgets, main
// thread only.

#include "treemap/KZTreemapNode.h"

#include <functional>
#include <optional>
#include <string>
#include <unordered_map>

class KZTreemapNodeLists {
public:
    // Answers whether a child about to get a node of its own is left out.
    using IgnoreQuestion = std::function<bool(const KZFilePtr& file)>;
    // The current minimum file size in bytes; items of at most this size get no node.
    using MinimumFileSize = std::function<double()>;

    // A share below this (of the top-level folder's size) sends a child to the group.
    static constexpr float kGroupShare = 0.0005f;
    // A folder of more than this many children also groups the later part of its order...
    static constexpr size_t kManyChildren = 500;
    // ...every child whose index / count exceeds this.
    static constexpr float kManyChildrenShare = 0.3f;

    KZTreemapNodeLists();

    // The folder shown at top level: the base of every share.
    const KZDirectoryPtr& directory() const { return directory_; }
    void setDirectory(KZDirectoryPtr d) { directory_ = std::move(d); }
    bool showsHiddenFiles() const { return showsHiddenFiles_; }
    void setShowsHiddenFiles(bool v) { showsHiddenFiles_ = v; }
    bool showsSystemFiles() const { return showsSystemFiles_; }
    void setShowsSystemFiles(bool v) { showsSystemFiles_ = v; }
    void setFileIsIgnored(IgnoreQuestion q) { fileIsIgnored_ = std::move(q); }
    void setMinimumFileSize(MinimumFileSize m) { minimumFileSize_ = std::move(m); }

    // Builds the node list of the folder without touching the cache; nullopt when the folder
    // has no children (and no small files the scan measured in it), else a list (possibly
    // empty, or holding inert areas only). A plain folder without children gets a node only
    // when the scan measured small files in it.
    std::optional<KZTreemapNodeList> dataForDirectory(const KZDirectory* directory);

    // Whether the list holds a node for an item (a record or a group), not only inert areas.
    static bool hasShownNode(const KZTreemapNodeList& list);

    // The cached list of the folder, or null when none is stored.
    const KZTreemapNodeList* cachedList(const KZDirectory* directory) const;
    // The cached list, built and stored first when missing. Empty lists are stored too, so a
    // folder whose children are all left out is not sorted again at every layout.
    const KZTreemapNodeList& listForDirectory(const KZDirectory* directory);
    void storeList(const KZDirectory* directory, KZTreemapNodeList list);
    void removeList(const KZDirectory* directory);
    void removeAllLists();
    size_t cachedListCount() const { return cache_.size(); }

    // The rescan registry: for each folder being rescanned (by path, with its final "/"), the
    // node that currently stands for it. The builder replaces the entry whenever it makes a
    // fresh node for that folder, so progress reaches the node that is drawn.
    KZTreemapNodePtr reloadingNode(const std::string& path) const;
    void setReloadingNode(const std::string& path, KZTreemapNodePtr node);
    void removeReloadingNode(const std::string& path);
    bool isReloadingPath(const std::string& path) const { return reloadingNodes_.count(path) != 0; }
    const std::unordered_map<std::string, KZTreemapNodePtr>& reloadingNodes() const { return reloadingNodes_; }

private:
    // One child while a list is built: its size read once, its place among the children.
    struct Child {
        double size;
        uint32_t index;
        KZFile* file;
    };
    struct Entry {
        KZDirectoryPtr directory; // keeps the key's record alive, so its address is never reused
        KZTreemapNodeList list;
    };

    KZDirectoryPtr directory_;
    bool showsHiddenFiles_ = false;
    bool showsSystemFiles_ = false;
    IgnoreQuestion fileIsIgnored_;
    MinimumFileSize minimumFileSize_;
    std::unordered_map<const KZDirectory*, Entry> cache_;
    std::unordered_map<std::string, KZTreemapNodePtr> reloadingNodes_;
    std::vector<Child> sortBuffer_; // reused from list to list
};
