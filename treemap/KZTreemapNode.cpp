#include "treemap/KZTreemapNode.h"

#include <cstdio>

KZTreemapNodePtr KZTreemapNode::nodeWithFile(const KZFilePtr& file)
{
    auto node = std::make_shared<KZTreemapNode>();
    node->file_ = file;
    node->value_ = file ? file->fileSize() : 0;
    return node;
}

KZTreemapNodePtr KZTreemapNode::nodeWithGroupedFileArray(std::vector<KZFilePtr> files,
                                                         const KZDirectoryPtr& parentDirectory)
{
    auto node = std::make_shared<KZTreemapNode>();
    node->isGroupedFilesNode_ = true;
    node->isGroupedNode_ = true;
    double total = 0;
    for (const KZFilePtr& f : files) total += f->fileSize();
    node->totalFiles_ = int64_t(files.size());
    node->fileSize_ = total;
    node->value_ = total;
    node->files_ = std::move(files);
    node->parentDirectory_ = parentDirectory;
    return node;
}

KZTreemapNodePtr KZTreemapNode::nodeWithInertArea(InertKind kind, double bytes, const KZDirectoryPtr& parentDirectory)
{
    auto node = std::make_shared<KZTreemapNode>();
    node->inertKind_ = kind == InertKind::None ? InertKind::RemovedItems : kind;
    node->fileSize_ = bytes;
    node->value_ = bytes;
    node->parentDirectory_ = parentDirectory;
    return node;
}

QString KZTreemapNode::inertAreaTitle(InertKind kind)
{
    switch (kind) {
    case InertKind::None:
        return {};
    case InertKind::SmallFiles:
        return QStringLiteral("Small files");
    case InertKind::HiddenItems:
        return QStringLiteral("Hidden items");
    case InertKind::SystemItems:
        return QStringLiteral("System items");
    case InertKind::IgnoredItems:
        return QStringLiteral("Ignored items");
    case InertKind::RemovedItems:
        return QStringLiteral("Removed items");
    }
    return {};
}

std::string KZTreemapNode::description() const
{
    char buffer[128];
    if (isInertArea()) {
        std::snprintf(buffer, sizeof buffer, "<KZTreemapNode: %p, inert=%s, bytes=%.0f>",
                      static_cast<const void*>(this), inertAreaTitle(inertKind_).toUtf8().constData(), fileSize_);
        return buffer;
    }
    if (isGroupedNode_) {
        std::snprintf(buffer, sizeof buffer, "<KZTreemapNode: %p, totalFiles=%lld>", static_cast<const void*>(this),
                      static_cast<long long>(totalFiles_));
        return buffer;
    }
    std::snprintf(buffer, sizeof buffer, "<KZTreemapNode: %p, file=", static_cast<const void*>(this));
    std::string out = buffer;
    out += file_ ? file_->path() : std::string("(null)");
    out += ">";
    return out;
}
