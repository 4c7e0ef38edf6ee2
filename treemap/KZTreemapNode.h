#pragma once
// One rectangle of the treemap: either a node for one file or folder (file()), or a grouped
// node standing for several small files of one folder (files(), totalFiles(), fileSize(),
// parentDirectory()). Nodes are made by the node lists (KZTreemapNodeLists) and shared
// between the cached lists, the view's selection and its rescan registry; each holds strong
// references to the records it stands for. Main thread only.

#include "model/KZFile.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class KZTreemapNode;
using KZTreemapNodePtr = std::shared_ptr<KZTreemapNode>;
using KZTreemapNodeList = std::vector<KZTreemapNodePtr>;

class KZTreemapNode {
public:
    // A node for one record, weighted by its size.
    static KZTreemapNodePtr nodeWithFile(const KZFilePtr& file);
    // A grouped node for the records (in node-list order) of one folder, weighted by the sum
    // of their sizes.
    static KZTreemapNodePtr nodeWithGroupedFileArray(std::vector<KZFilePtr> files, const KZDirectoryPtr& parentDirectory);

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

    // "<KZTreemapNode: 0x…, file=/path>" or, grouped, "<KZTreemapNode: 0x…, totalFiles=N>".
    std::string description() const;

private:
    bool selected_ = false;
    bool isReloading_ = false;
    bool isGroupedNode_ = false;
    bool isGroupedFilesNode_ = false;
    double value_ = 0;
    KZFilePtr file_;
    std::string currentPath_;
    int64_t totalFiles_ = 0;
    double fileSize_ = 0;
    std::vector<KZFilePtr> files_;
    KZDirectoryPtr parentDirectory_;
};
