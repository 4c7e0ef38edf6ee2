#pragma once
// One group of file records that share a content hash: the records, their total size, the
// first record's name, type and icon for display, and the split into the records the user
// has selected and those not selected. A model record only: it computes no hashes and
// searches for nothing. A record counts as selected while its mark is set and its item still
// exists (KZFile::isSelected).

#include "model/KZFile.h"

#include <QIcon>
#include <QString>

#include <memory>
#include <string>

class KZDuplicateFiles {
public:
    // The group of the given records (at least one).
    static std::shared_ptr<KZDuplicateFiles> duplicateFilesWithHash(std::string fileHash, KZFileList duplicates);
    KZDuplicateFiles(std::string fileHash, KZFileList duplicates);

    bool isDirectory() const { return isDirectory_; }
    void setIsDirectory(bool v) { isDirectory_ = v; }
    // The first record's package flag, taken only when it is a folder.
    bool isPackage() const { return isPackage_; }
    void setIsPackage(bool v) { isPackage_ = v; }
    const std::string& fileHash() const { return fileHash_; }
    void setFileHash(std::string v) { fileHash_ = std::move(v); }
    const KZFileList& duplicates() const { return duplicates_; }
    void setDuplicates(KZFileList v) { duplicates_ = std::move(v); }
    double totalSize() const { return totalSize_; }
    void setTotalSize(double v) { totalSize_ = v; }
    double fileSize() const { return fileSize_; }
    void setFileSize(double v) { fileSize_ = v; }
    const QIcon& icon() const { return icon_; }
    void setIcon(QIcon v) { icon_ = std::move(v); }
    const QString& fileName() const { return fileName_; }
    void setFileName(QString v) { fileName_ = std::move(v); }
    const std::string& UTI() const { return UTI_; }
    void setUTI(std::string v) { UTI_ = std::move(v); }
    int fileType() const { return fileType_; }
    void setFileType(int v) { fileType_ = v; }

    size_t count() const { return duplicates_.size(); }
    // The selected records, in the group's order.
    KZFileList selectedFiles() const;
    // The records not selected, each once, in the group's order.
    KZFileList unselectedFiles() const;
    double selectedFileSize() const;

    // The icon shown for an item at the path (by its type; a generic one for folders).
    static QIcon iconForPath(const std::string& path, bool isDirectory);

private:
    bool isDirectory_ = false;
    bool isPackage_ = false;
    std::string fileHash_;
    KZFileList duplicates_;
    double totalSize_ = 0;
    double fileSize_ = 0;
    QIcon icon_;
    QString fileName_;
    std::string UTI_;
    int fileType_ = KZFileTypeOther;
};
