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

QString KZTreemapNode::inertAreaHint(InertKind kind)
{
    // The settings by the names the preferences window gives them.
    switch (kind) {
    case InertKind::None:
        return {};
    case InertKind::SmallFiles:
        return QStringLiteral("Left out by \u201cLeave out files smaller than\u201d in Preferences");
    case InertKind::HiddenItems:
        return QStringLiteral("Shown with \u201cShow hidden files\u201d in Preferences");
    case InertKind::SystemItems:
        return QStringLiteral("Shown with \u201cShow system files\u201d in Preferences");
    case InertKind::IgnoredItems:
        return QStringLiteral(
            "Left out by \u201cIgnored folders\u201d or \u201cIgnored extensions\u201d in Preferences");
    case InertKind::RemovedItems:
        return QStringLiteral("Deleted or queued since the scan");
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
