#pragma once
// One scanned file or folder. A scan makes one record per item; a folder record (KZDirectory)
// owns its children. Records are lean on purpose (a million of them stay near 100 bytes
// each): the name is stored inline after the object and the path is rebuilt from the parent
// chain, so only a tree's root (and any record made from a full path) stores a whole path.
// A record whose parent link changes keeps the path it had, so paths never change after
// creation. Records are reference counted (KZRef); the tree belongs to one thread at a time.

#include "model/KZRef.h"
#include "platform/KZFileIdentity.h"

#include <QDateTime>
#include <QString>
#include <QUrl>

#include <atomic>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

class KZFile;
class KZDirectory;
using KZFilePtr = KZRef<KZFile>;
using KZDirectoryPtr = KZRef<KZDirectory>;
using KZFileList = std::vector<KZFilePtr>;

// File-type categories of fileType().
enum KZFileType : int {
    KZFileTypeOther = -1,
    KZFileTypeImage = 0,
    KZFileTypeVideo = 1,
    KZFileTypeText = 2,
    KZFileTypeAudio = 3,
    KZFileTypeArchive = 4,
    KZFileTypeApplication = 5,
};

// What metadataForFileAtPath() reads.
struct KZFileMetadata {
    double fileSize = 0;
    std::optional<qint64> creationTime;     // seconds since the epoch
    std::optional<qint64> modificationTime; // seconds since the epoch
    bool isHidden = false;
    kz::FileIdentity identity;
};

class KZFile {
public:
    // A new record for the path; sent to KZDirectory (its own fileWithPath) it makes a folder
    // record whose path gains a final "/". With populateMetadata, size, dates and identity are
    // read.
    static KZFilePtr fileWithPath(std::string_view path, bool populateMetadata = false);
    static KZFilePtr fileWithURL(const QUrl& url);
    // A record named `name` inside `parent`: stores only the name and links to the parent
    // without being added to its children (addChild does that).
    static KZFilePtr childWithName(KZDirectory* parent, std::string_view name);
    // Size, dates, hidden flag and identity of the item at the path (never following a final
    // link); nullopt when it can't be read.
    static std::optional<KZFileMetadata> metadataForFileAtPath(std::string_view path);

    KZFile(const KZFile&) = delete;
    KZFile& operator=(const KZFile&) = delete;

    // Flags.
    bool isPackage() const; // a folder answers its package test (see KZDirectory)
    void setIsPackage(bool v) { setFlag(kIsPackage, v); }
    bool inPackage() const { return flag(kInPackage); }
    void setInPackage(bool v) { setFlag(kInPackage, v); }
    bool isNetworkItem() const { return flag(kIsNetworkItem); }
    void setIsNetworkItem(bool v);
    bool isHidden() const { return flag(kIsHidden); }
    void setIsHidden(bool v) { setFlag(kIsHidden, v); }
    bool isSystemFile() const { return flag(kIsSystemFile); }
    void setIsSystemFile(bool v) { setFlag(kIsSystemFile, v); }
    // The stored selection mark, and only while the item still exists on disk.
    bool isSelected() const;
    void setIsSelected(bool v) { setFlag(kIsSelected, v); }
    bool isDirectory() const { return flag(kIsDirectory); }

    // The absolute path as bytes; a folder's ends with "/".
    std::string path() const;
    // The last component of the path as bytes (no "/").
    std::string nameBytes() const;
    // Display name: the last path component, decoded for display.
    QString fileName() const;
    QUrl fileURL() const;

    double fileSize() const; // a folder answers its cached total
    void setFileSize(double size);

    // Dates, as seconds since the epoch; nullopt when unknown. The creation time is kept to
    // the nanosecond when it is the item's birth time, which is part of its identity.
    std::optional<qint64> creationTime() const;
    // Replaces the creation time. On a record whose identity has a stamp other than the birth
    // time, the stamp is given up: the item can then be matched only by a birth time of
    // exactly this value, which such a file system doesn't give (it is refused as changed).
    void setCreationTime(std::optional<qint64> t);
    std::optional<qint64> modificationTime() const { return optionalTime(modification_); }
    void setModificationTime(std::optional<qint64> t) { modification_ = t ? *t : kNoTime; }
    QDateTime creationDate() const;
    QDateTime modificationDate() const;

    // Type identifier for the extension ("" when none) and category (KZFileType).
    std::string_view UTI() const;
    int fileType() const { return fileType_; }
    // The file-type test (run once at creation); stores the type identifier too.
    int determineContentType();

    // The folder that holds the item; null for a root or a detached record. Setting it writes
    // the link only, without touching any children array.
    KZDirectory* parent() const { return parent_; }
    KZDirectory* parentDirectory() const { return parent_; }
    void setParent(KZDirectory* parent);

    // The identity of the item when it was scanned: device, inode and what a reused inode
    // number does not keep (kz::FileIdentity); deletion refuses an item that is no longer the
    // one scanned. Device and inode are 0, 0 when nothing was recorded. A birth-time stamp is
    // the creation time itself; another stamp takes its place (the creation time is then
    // unknown, as it is on such a file system anyway).
    uint64_t device() const;
    uint64_t inode() const { return inode_; }
    bool hasDeviceAndInode() const { return flag(kHasIdentity); }
    bool hasIdentity() const { return flag(kHasIdentity); }
    kz::FileIdentity identity() const;
    void setIdentity(const kz::FileIdentity& identity);
    // A device number (major << 32 | minor) in the form device() answers it, for comparing a
    // live item with a record (records keep 12 bits of the major and 20 of the minor).
    static uint64_t recordedDevice(uint64_t device);

    // Whether anything exists at the path now (lstat).
    bool exists() const;
    // Removes the record from its parent, which keeps the item's size in its total.
    void removeFromParent();
    // Removes the record from its parent; the size leaves the parent if its total is still
    // to be computed.
    void deleteFromParent();
    // True when the folder holding the item is the given path or lies below it.
    bool isChildOfPath(std::string_view path) const;

    QUrl previewItemURL() const { return fileURL(); }
    QString previewItemTitle() const { return fileName(); }
    std::string description() const;

    // Reference counting (KZRef calls these).
    void retain() const { refs_.fetch_add(1, std::memory_order_relaxed); }
    void release() const;
    uint32_t retainCount() const { return refs_.load(std::memory_order_relaxed); }

protected:
    enum Flag : uint16_t {
        kIsDirectory = 1 << 0,
        kIsPackage = 1 << 1,
        kInPackage = 1 << 2,
        kIsNetworkItem = 1 << 3,
        kIsHidden = 1 << 4,
        kIsSystemFile = 1 << 5,
        kIsSelected = 1 << 6,
        kIsNetworkVolume = 1 << 7,
        kCheckedIsPackage = 1 << 8,
        kFullPath = 1 << 9,      // the inline bytes hold the whole path
        kDetachedPath = 1 << 10, // the path is kept in the detached-path table
        kHasIdentity = 1 << 11,
        kHasChildrenArray = 1 << 12,
        kStampShift = 13, // two bits: the kz::IdentityStamp of the identity
        kStampMask = 3 << kStampShift,
    };
    static constexpr int64_t kNoTime = INT64_MIN;

    explicit KZFile(uint16_t flags);
    ~KZFile();

    bool flag(uint16_t f) const { return (flags_ & f) != 0; }
    void setFlag(uint16_t f, bool v) { flags_ = v ? uint16_t(flags_ | f) : uint16_t(flags_ & ~f); }
    static std::optional<qint64> optionalTime(int64_t t)
    {
        return t == kNoTime ? std::nullopt : std::optional<qint64>(t);
    }

    // The inline bytes, ending with a NUL: a name, or (kFullPath) a whole path without its
    // final "/". A file's start in its record's last four bytes (storedStart_), a folder's
    // right after its record.
    std::string_view stored() const;
    char* storedData() const;
    void appendPath(std::string& out) const;
    void freezePath();
    static void* allocate(bool directory, size_t storedSize);
    template <class T>
    static T* construct(std::string_view stored, uint16_t flags);
    static void destroy(const KZFile* file);

    friend class KZDirectory;

private:
    mutable std::atomic<uint32_t> refs_{0};
    uint16_t flags_ = 0;
    int8_t fileType_ = KZFileTypeOther;
    uint8_t typeIndex_ = 0;
    KZDirectory* parent_ = nullptr;
    double fileSize_ = 0;
    int64_t creation_ = kNoTime; // nanoseconds; or the identity's stamp (see identity())
    int64_t modification_ = kNoTime;
    uint64_t inode_ = 0;
    uint32_t device_ = 0;
    char storedStart_[4]; // never initialized: the inline bytes are written after construction

    static constexpr size_t kFileStoredOffset = 52;
};
static_assert(sizeof(KZFile) == 56, "a file record stays this lean");

// A folder record: owns its children, in the order they were added, and caches its total.
class KZDirectory : public KZFile {
public:
    static KZDirectoryPtr fileWithPath(std::string_view path, bool populateMetadata = false);
    static KZDirectoryPtr fileWithURL(const QUrl& url);
    static KZDirectoryPtr childWithName(KZDirectory* parent, std::string_view name);

    // The cached total: the sum of the children, removedFileSizes and ignoredSize, computed on
    // first read (a total of 0 counts as not yet computed). Afterwards only setFileSize
    // changes it.
    double fileSize() const;
    void setFileSize(double size) { directoryFileSize_ = size; }
    // The package test: the stored flag, or an extension of a bundle-like kind
    // (framework, pbxindex, pbxstring, xcarchive) unless the parent is a package.
    bool isPackage() const;
    bool isNetworkVolume() const { return flag(kIsNetworkVolume); }
    void setIsNetworkVolume(bool v);
    bool checkedIsPackage() const { return flag(kCheckedIsPackage); }

    std::span<KZFile* const> children() const { return {children_, count_}; }
    size_t childCount() const { return count_; }
    bool hasChildrenArray() const { return flag(kHasChildrenArray); }
    void reserveChildren(size_t count);
    void shrinkChildren();

    void addChild(KZFile* child);
    void removeChild(KZFile* child, bool leaveInArray, bool maintainFileSize);
    void removeChild(KZFile* child) { removeChild(child, false, true); }
    // Takes out a child the user put on the ignore list: as removeChild, and its size is
    // counted as ignored rather than removed.
    void ignoreChild(KZFile* child);
    void deleteChild(KZFile* child) { removeChild(child, false, false); }
    void removeAllChildren();
    // Puts `fresh` (the same item scanned again) in the place of the child `old`, which leaves
    // without its size being kept: this folder's total and the totals of the folders above it
    // move by the difference between the two records' sizes. Nothing happens when `old` is not
    // a child of this folder.
    void replaceChild(KZFile* old, KZFile* fresh);
    // Moves this folder's total and the totals of the folders above it by `difference` (a
    // child came or went without its size being kept); totals not computed yet stay so.
    void moveTotalsBy(double difference);

    double ignoredSize() const { return ignoredSize_; }
    void setIgnoredSize(double v) { ignoredSize_ = v; }
    void addIgnoredSize(double v) { ignoredSize_ += v; }
    double directoryFileSize() const { return directoryFileSize_; }
    double removedFileSizes() const { return removedFileSizes_; }
    // The part of removedFileSizes that went because it was ignored follows it down.
    void setRemovedFileSizes(double v)
    {
        removedFileSizes_ = v;
        if (ignoredItemsSize_ > v) ignoredItemsSize_ = v;
    }
    // Bytes of children taken out with ignoreChild: a part of removedFileSizes.
    double ignoredItemsSize() const { return ignoredItemsSize_; }

    std::string description() const;

private:
    using KZFile::KZFile;
    ~KZDirectory();
    friend class KZFile;

    KZFile** children_ = nullptr;
    uint32_t count_ = 0;
    uint32_t capacity_ = 0;
    double ignoredSize_ = 0;
    mutable double directoryFileSize_ = 0;
    double removedFileSizes_ = 0;
    double ignoredItemsSize_ = 0;
};

inline KZDirectory* kz_asDirectory(KZFile* f)
{
    return f && f->isDirectory() ? static_cast<KZDirectory*>(f) : nullptr;
}
inline const KZDirectory* kz_asDirectory(const KZFile* f)
{
    return f && f->isDirectory() ? static_cast<const KZDirectory*>(f) : nullptr;
}
inline KZDirectoryPtr kz_asDirectory(const KZFilePtr& f)
{
    return KZDirectoryPtr(kz_asDirectory(f.get()));
}

// Records by identity, for the long lists of a deletion (100,000 records and more): a sorted
// array of pointers, one allocation instead of a hash node per record.
class KZFileSet {
public:
    KZFileSet() = default;
    explicit KZFileSet(const KZFileList& files);
    bool contains(const KZFile* file) const;
    bool empty() const { return sorted_.empty(); }

private:
    std::vector<const KZFile*> sorted_;
};

// For each record of the list, whether it is the first occurrence of that record there (a
// null record never is).
std::vector<bool> kz_firstOccurrences(const KZFileList& files);
