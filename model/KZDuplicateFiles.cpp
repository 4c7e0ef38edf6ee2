#include "model/KZDuplicateFiles.h"

#include "platform/KZPathString.h"

#include <QMimeDatabase>

#include <unordered_set>

std::shared_ptr<KZDuplicateFiles> KZDuplicateFiles::duplicateFilesWithHash(std::string fileHash, KZFileList duplicates)
{
    return std::make_shared<KZDuplicateFiles>(std::move(fileHash), std::move(duplicates));
}

KZDuplicateFiles::KZDuplicateFiles(std::string fileHash, KZFileList duplicates)
    : fileHash_(std::move(fileHash)), duplicates_(std::move(duplicates))
{
    for (const KZFilePtr& f : duplicates_) totalSize_ += f->fileSize();
    if (duplicates_.empty()) return;
    const KZFilePtr& first = duplicates_.front();
    icon_ = iconForPath(first->path(), first->isDirectory());
    fileName_ = first->fileName();
    UTI_ = std::string(first->UTI());
    isDirectory_ = first->isDirectory();
    fileType_ = first->fileType();
    fileSize_ = first->fileSize();
    isPackage_ = isDirectory_ && first->isPackage();
}

KZFileList KZDuplicateFiles::selectedFiles() const
{
    KZFileList out;
    for (const KZFilePtr& f : duplicates_)
        if (f->isSelected()) out.push_back(f);
    return out;
}

KZFileList KZDuplicateFiles::unselectedFiles() const
{
    KZFileList out;
    std::unordered_set<const KZFile*> seen;
    for (const KZFilePtr& f : duplicates_)
        if (!f->isSelected() && seen.insert(f.get()).second) out.push_back(f);
    return out;
}

double KZDuplicateFiles::selectedFileSize() const
{
    double total = 0;
    for (const KZFilePtr& f : selectedFiles()) total += f->fileSize();
    return total;
}

QIcon KZDuplicateFiles::iconForPath(const std::string& path, bool isDirectory)
{
    QMimeDatabase db;
    const QMimeType type = isDirectory ? db.mimeTypeForName(QStringLiteral("inode/directory"))
                                       : db.mimeTypeForFile(kz::pathToQString(path), QMimeDatabase::MatchExtension);
    QIcon icon = QIcon::fromTheme(type.iconName());
    if (icon.isNull()) icon = QIcon::fromTheme(type.genericIconName());
    if (icon.isNull())
        icon = QIcon::fromTheme(isDirectory ? QStringLiteral("folder") : QStringLiteral("text-x-generic"));
    return icon;
}
