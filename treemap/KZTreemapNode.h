#pragma once
// One rectangle of the treemap: a node for one file or folder (file()); a grouped node
// standing for several small files of one folder (files(), totalFiles(), fileSize(),
// parentDirectory()); or an inert area standing for bytes of a folder that no other node
// shows (small, hidden, system or ignored items left out, and the sizes a folder keeps after
// an item was taken out of it): it has a kind and a byte count, no record, and is never a
// target of the pointer or of any action. Nodes are made by the node lists
// (KZTreemapNodeLists) and shared between the cached lists, the view's selection and its
// rescan registry; each holds strong references to the records it stands for. Main thread
// only.

#include "model/KZFile.h"

#include <QString>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class KZTreemapNode;
using KZTreemapNodePtr = std::shared_ptr<KZTreemapNode>;
using KZTreemapNodeList = std::vector<KZTreemapNodePtr>;

class KZTreemapNode {
public:
    // What the bytes of an inert area are. A folder's list holds at most one area per kind.
    enum class InertKind : uint8_t {
        None,         // not an inert area
        SmallFiles,   // files of at most the minimum size, with or without a record
        HiddenItems,  // hidden items while they are not shown
        SystemItems,  // items under system paths while they are not shown
        IgnoredItems, // items on the ignore list
        RemovedItems, // sizes the folder keeps for items taken out of it, and what else no node shows
    };

    // A node for one record, weighted by its size.
    static KZTreemapNodePtr nodeWithFile(const KZFilePtr& file);
    // A grouped node for the records (in node-list order) of one folder, weighted by the sum
    // of their sizes.
    static KZTreemapNodePtr nodeWithGroupedFileArray(std::vector<KZFilePtr> files,
                                                     const KZDirectoryPtr& parentDirectory);
    // An inert area of the folder: `bytes` of the given kind, weighted by them.
    static KZTreemapNodePtr nodeWithInertArea(InertKind kind, double bytes, const KZDirectoryPtr& parentDirectory);

    // Part of the view's selection.
    bool selected() const { return selected_; }
    void setSelected(bool v) { selected_ = v; }
    // The node's folder is being rescanned: drawn in the rescan colour and never entered.
    bool isReloading() const { return isReloading_; }
    void setIsReloading(bool v) { isReloading_ = v; }
    bool isGroupedNode() const { return isGroupedNode_; }
    void setIsGroupedNode(bool v) { isGroupedNode_ = v; }
    bool isGroupedFilesNode() const { return isGroupedFilesNode_; }
    void setIsGroupedFilesNode(bool v) { isGroupedFilesNode_ = v; }

    // Layout weight in bytes.
    double value() const { return value_; }
    void setValue(double v) { value_ = v; }
    // The record the node stands for; null for a grouped node.
    const KZFilePtr& file() const { return file_; }
    void setFile(KZFilePtr f) { file_ = std::move(f); }
    // While the folder is rescanned: the path the scanner reports as current (bytes).
    const std::string& currentPath() const { return currentPath_; }
    void setCurrentPath(std::string p) { currentPath_ = std::move(p); }

    // Grouped node: how many records, their bytes, the records, and the folder they lie in.
    int64_t totalFiles() const { return totalFiles_; }
    void setTotalFiles(int64_t v) { totalFiles_ = v; }
    double fileSize() const { return fileSize_; }
    void setFileSize(double v) { fileSize_ = v; }
    const std::vector<KZFilePtr>& files() const { return files_; }
    void setFiles(std::vector<KZFilePtr> f) { files_ = std::move(f); }
    const KZDirectoryPtr& parentDirectory() const { return parentDirectory_; }
    void setParentDirectory(KZDirectoryPtr d) { parentDirectory_ = std::move(d); }

    // A folder that is not a package (its children are laid out inside it).
    bool isPlainFolder() const { return file_ && file_->isDirectory() && !file_->isPackage(); }

    // Inert area: its kind (None for every other node) and what it reads as ("Small files").
    // Its bytes are fileSize(), its folder parentDirectory().
    bool isInertArea() const { return inertKind_ != InertKind::None; }
    InertKind inertKind() const { return inertKind_; }
    static QString inertAreaTitle(InertKind kind);
    // How such bytes come to be shown (the setting that shows them), or what became of them.
    static QString inertAreaHint(InertKind kind);

    // "<KZTreemapNode: 0x…, file=/path>"; grouped, "<KZTreemapNode: 0x…, totalFiles=N>";
    // inert, "<KZTreemapNode: 0x…, inert=Small files, bytes=N>".
    std::string description() const;

private:
    bool selected_ = false;
    bool isReloading_ = false;
    bool isGroupedNode_ = false;
    bool isGroupedFilesNode_ = false;
    InertKind inertKind_ = InertKind::None;
    double value_ = 0;
    KZFilePtr file_;
    std::string currentPath_;
    int64_t totalFiles_ = 0;
    double fileSize_ = 0;
    std::vector<KZFilePtr> files_;
    KZDirectoryPtr parentDirectory_;
};
