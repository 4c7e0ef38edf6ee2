#include "model/KZFile.h"

#include "model/KZFileTypes.h"
#include "model/KZPath.h"
#include "platform/KZDirectoryIO.h"
#include "platform/KZPathString.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <new>
#include <sys/stat.h>
#include <unordered_map>

namespace {

// Paths of records whose parent link changed after creation (rare: removed, queued or
// grafted records), so that their path stays what it was.
struct DetachedPaths {
    std::mutex mutex;
    std::unordered_map<const KZFile*, std::string> paths;
};
DetachedPaths& detachedPaths()
{
    static auto* table = new DetachedPaths; // outlives every record, even at exit
    return *table;
}

std::string normalizedStoredPath(std::string_view path)
{
    // Stored without a final "/" ("/" itself is stored as "").
    std::string p(path);
    while (!p.empty() && p.back() == '/') p.pop_back();
    return p;
}

bool isPackageExtension(std::string_view name)
{
    const std::string_view ext = kz_pathExtension(name);
    if (ext.empty() || ext.size() > 9) return false;
    char lower[10];
    for (size_t i = 0; i < ext.size(); ++i) lower[i] = char(std::tolower(static_cast<unsigned char>(ext[i])));
    const std::string_view e(lower, ext.size());
    return e == "framework" || e == "pbxindex" || e == "pbxstring" || e == "xcarchive";
}

uint32_t packDevice(uint64_t dev)
{
    // Linux device numbers are 12 bits of major and 20 of minor.
    const uint64_t maj = dev >> 32, min = dev & 0xffffffffu;
    return uint32_t(((maj & 0xfff) << 20) | (min & 0xfffff));
}

uint64_t unpackDevice(uint32_t packed)
{
    return (uint64_t(packed >> 20) << 32) | (packed & 0xfffff);
}

} // namespace

// ---- allocation ----

void* KZFile::allocate(bool directory, size_t storedSize)
{
    static_assert(std::is_standard_layout_v<KZFile> && offsetof(KZFile, storedStart_) == kFileStoredOffset &&
                      kFileStoredOffset + sizeof(storedStart_) == sizeof(KZFile),
                  "a file's inline bytes begin at its record's last member");
    // A file's bytes start in the record's last member; a folder's follow its record.
    const size_t size =
        directory ? sizeof(KZDirectory) + storedSize + 1 : std::max(sizeof(KZFile), kFileStoredOffset + storedSize + 1);
    return ::operator new(size);
}

template <class T>
T* KZFile::construct(std::string_view stored, uint16_t flags)
{
    T* record = ::new (allocate(std::is_same_v<T, KZDirectory>, stored.size())) T(flags);
    // Written once the record exists, so that its construction can't touch them.
    char* bytes = record->storedData();
    if (!stored.empty()) std::memcpy(bytes, stored.data(), stored.size());
    bytes[stored.size()] = 0;
    return record;
}

KZFile::KZFile(uint16_t flags) : flags_(flags) {}

KZFile::~KZFile()
{
    if (flag(kDetachedPath)) {
        auto& table = detachedPaths();
        std::lock_guard lock(table.mutex);
        table.paths.erase(this);
    }
}

void KZFile::destroy(const KZFile* file)
{
    auto* f = const_cast<KZFile*>(file);
    if (f->isDirectory()) {
        static_cast<KZDirectory*>(f)->~KZDirectory();
    } else {
        f->~KZFile();
    }
    ::operator delete(f);
}

void KZFile::release() const
{
    if (refs_.fetch_sub(1, std::memory_order_acq_rel) != 1) return;
    if (!isDirectory()) {
        destroy(this);
        return;
    }
    // A folder: gather everything that dies with it without recursion. Children that
    // survive (held elsewhere) get their path frozen and lose their parent link while every
    // ancestor is still intact; then the gathered records are freed.
    std::vector<const KZFile*> dying{this};
    for (size_t i = 0; i < dying.size(); ++i) {
        auto* dir = const_cast<KZDirectory*>(kz_asDirectory(dying[i]));
        if (!dir) continue;
        for (KZFile* child : dir->children()) {
            if (child->refs_.fetch_sub(1, std::memory_order_acq_rel) == 1) {
                dying.push_back(child);
            } else if (child->parent_ == dir) {
                child->freezePath();
                child->parent_ = nullptr;
            }
        }
        dir->count_ = 0; // the references were dropped above
    }
    for (const KZFile* f : dying) destroy(f);
}

// ---- factories ----

KZFilePtr KZFile::fileWithPath(std::string_view path, bool populateMetadata)
{
    KZFile* f = construct<KZFile>(path, kFullPath);
    KZFilePtr ref(f);
    f->determineContentType();
    if (populateMetadata) {
        if (auto meta = metadataForFileAtPath(path)) {
            f->fileSize_ = meta->fileSize;
            f->setCreationTime(meta->creationTime);
            f->setModificationTime(meta->modificationTime);
            f->setIdentity(meta->identity);
        }
    }
    return ref;
}

KZFilePtr KZFile::fileWithURL(const QUrl& url)
{
    return fileWithPath(kz::toStdString(QFile::encodeName(url.toLocalFile())));
}

KZFilePtr KZFile::childWithName(KZDirectory* parent, std::string_view name)
{
    KZFile* f = construct<KZFile>(name, 0);
    KZFilePtr ref(f);
    f->parent_ = parent;
    f->determineContentType();
    return ref;
}

KZDirectoryPtr KZDirectory::fileWithPath(std::string_view path, bool populateMetadata)
{
    KZDirectory* d = construct<KZDirectory>(normalizedStoredPath(path), kFullPath | kIsDirectory);
    KZDirectoryPtr ref(d);
    d->determineContentType();
    if (populateMetadata) {
        if (auto meta = metadataForFileAtPath(path)) {
            d->directoryFileSize_ = meta->fileSize;
            d->setCreationTime(meta->creationTime);
            d->setModificationTime(meta->modificationTime);
            d->setIdentity(meta->identity);
        }
    }
    return ref;
}

KZDirectoryPtr KZDirectory::fileWithURL(const QUrl& url)
{
    return fileWithPath(kz::toStdString(QFile::encodeName(url.toLocalFile())));
}

KZDirectoryPtr KZDirectory::childWithName(KZDirectory* parent, std::string_view name)
{
    KZDirectory* d = construct<KZDirectory>(name, kIsDirectory);
    KZDirectoryPtr ref(d);
    d->parent_ = parent;
    d->determineContentType();
    return ref;
}

std::optional<KZFileMetadata> KZFile::metadataForFileAtPath(std::string_view path)
{
    std::string p = normalizedStoredPath(path);
    if (p.empty()) p.push_back('/');
    struct statx st {};
    if (::statx(AT_FDCWD, p.c_str(), AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT,
                kz::kFileIdentityMask | STATX_SIZE | STATX_MTIME, &st) != 0)
        return std::nullopt;
    KZFileMetadata m;
    m.fileSize = S_ISDIR(st.stx_mode) ? 0.0 : double(st.stx_size);
    if (st.stx_mask & STATX_BTIME) m.creationTime = st.stx_btime.tv_sec;
    if (st.stx_mask & STATX_MTIME) m.modificationTime = st.stx_mtime.tv_sec;
    m.isHidden = kz_isHidden(p);
    m.identity = kz::fileIdentityAt(AT_FDCWD, p.c_str(), st);
    return m;
}

// ---- names and paths ----

char* KZFile::storedData() const
{
    const size_t base = isDirectory() ? sizeof(KZDirectory) : kFileStoredOffset;
    return const_cast<char*>(reinterpret_cast<const char*>(this)) + base;
}

std::string_view KZFile::stored() const
{
    return std::string_view(storedData()); // names and paths hold no NUL byte
}

void KZFile::appendPath(std::string& out) const
{
    // Walk up to the nearest record that knows its whole path, then append the names on
    // the way back down.
    const KZFile* chain[64];
    std::vector<const KZFile*> longChain;
    size_t n = 0;
    const KZFile* anchor = this;
    while (!anchor->flag(kFullPath) && !anchor->flag(kDetachedPath) && anchor->parent_) {
        if (n < std::size(chain)) {
            chain[n++] = anchor;
        } else {
            if (longChain.empty()) longChain.assign(chain, chain + n);
            longChain.push_back(anchor);
        }
        anchor = anchor->parent_;
    }
    if (anchor->flag(kDetachedPath)) {
        auto& table = detachedPaths();
        std::lock_guard lock(table.mutex);
        out += table.paths[anchor];
    } else {
        // A full path, or (never expected) a bare name without parent.
        out += anchor->stored();
        if (anchor->isDirectory()) out.push_back('/');
    }
    auto appendName = [&out](const KZFile* f) {
        if (out.empty() || out.back() != '/') out.push_back('/');
        out += f->stored();
        if (f->isDirectory()) out.push_back('/');
    };
    if (!longChain.empty()) {
        for (size_t i = longChain.size(); i-- > 0;) appendName(longChain[i]);
    } else {
        for (size_t i = n; i-- > 0;) appendName(chain[i]);
    }
}

std::string KZFile::path() const
{
    std::string out;
    out.reserve(128);
    appendPath(out);
    return out;
}

void KZFile::freezePath()
{
    if (flag(kFullPath) || flag(kDetachedPath) || !parent_) return;
    std::string p = path();
    auto& table = detachedPaths();
    std::lock_guard lock(table.mutex);
    table.paths[this] = std::move(p);
    setFlag(kDetachedPath, true);
}

std::string KZFile::nameBytes() const
{
    if (flag(kFullPath)) {
        const std::string_view s = stored();
        if (s.empty()) return "/";
        const size_t slash = s.rfind('/');
        return std::string(slash == std::string_view::npos ? s : s.substr(slash + 1));
    }
    return std::string(stored());
}

QString KZFile::fileName() const
{
    if (!flag(kFullPath)) {
        const std::string_view s = stored();
        return QString::fromUtf8(s.data(), qsizetype(s.size()));
    }
    return kz::displayString(nameBytes());
}

QUrl KZFile::fileURL() const
{
    return QUrl::fromLocalFile(QFile::decodeName(kz::toByteArray(path())));
}

void KZFile::setParent(KZDirectory* parent)
{
    if (parent == parent_) return;
    freezePath();
    parent_ = parent;
}

// ---- sizes, dates, types ----

double KZFile::fileSize() const
{
    if (isDirectory()) return static_cast<const KZDirectory*>(this)->fileSize();
    return fileSize_;
}

void KZFile::setFileSize(double size)
{
    if (isDirectory()) {
        static_cast<KZDirectory*>(this)->setFileSize(size);
    } else {
        fileSize_ = size;
    }
}

QDateTime KZFile::creationDate() const
{
    const auto t = creationTime();
    return t ? QDateTime::fromSecsSinceEpoch(*t) : QDateTime();
}

QDateTime KZFile::modificationDate() const
{
    return modification_ == kNoTime ? QDateTime() : QDateTime::fromSecsSinceEpoch(modification_);
}

std::string_view KZFile::UTI() const
{
    return kz::fileTypeInfo(typeIndex_).identifier;
}

int KZFile::determineContentType()
{
    const std::string_view name = flag(kFullPath) ? std::string_view() : stored();
    std::string fullName;
    std::string_view ext;
    if (flag(kFullPath)) {
        fullName = nameBytes();
        ext = kz_pathExtension(fullName);
    } else {
        ext = kz_pathExtension(name);
    }
    typeIndex_ = 0;
    if (isDirectory()) {
        fileType_ = ext == "app" ? KZFileTypeApplication : KZFileTypeOther;
    } else if (ext == "pdf") {
        fileType_ = KZFileTypeText;
    } else {
        typeIndex_ = kz::fileTypeIndexForExtension(ext);
        fileType_ = kz::fileTypeInfo(typeIndex_).category;
    }
    return fileType_;
}

bool KZFile::isPackage() const
{
    if (isDirectory()) return static_cast<const KZDirectory*>(this)->isPackage();
    return flag(kIsPackage);
}

void KZFile::setIsNetworkItem(bool v)
{
    setFlag(kIsNetworkItem, v);
    if (isDirectory()) static_cast<KZDirectory*>(this)->setIsNetworkVolume(v);
}

uint64_t KZFile::device() const
{
    return unpackDevice(device_);
}

uint64_t KZFile::recordedDevice(uint64_t device)
{
    return unpackDevice(packDevice(device));
}

namespace {

constexpr int64_t kNanosecondsPerSecond = 1'000'000'000;

} // namespace

std::optional<qint64> KZFile::creationTime() const
{
    if (creation_ == kNoTime) return std::nullopt;
    const auto stamp = kz::IdentityStamp((flags_ & kStampMask) >> kStampShift);
    if (flag(kHasIdentity) && stamp != kz::IdentityStamp::None && stamp != kz::IdentityStamp::BirthTime)
        return std::nullopt; // the slot holds the identity's stamp
    // Whole seconds, rounded down (times before 1970 too).
    const int64_t seconds = creation_ / kNanosecondsPerSecond;
    return seconds - (creation_ % kNanosecondsPerSecond < 0 ? 1 : 0);
}

void KZFile::setCreationTime(std::optional<qint64> t)
{
    const auto stamp = kz::IdentityStamp((flags_ & kStampMask) >> kStampShift);
    if (flag(kHasIdentity) && stamp != kz::IdentityStamp::None && stamp != kz::IdentityStamp::BirthTime)
        flags_ = uint16_t((flags_ & ~kStampMask) | (uint16_t(kz::IdentityStamp::BirthTime) << kStampShift));
    constexpr qint64 limit = 9'000'000'000; // what nanoseconds in 64 bits can hold
    creation_ = t ? std::clamp<qint64>(*t, -limit, limit) * kNanosecondsPerSecond : kNoTime;
}

kz::FileIdentity KZFile::identity() const
{
    kz::FileIdentity id;
    if (!flag(kHasIdentity)) return id;
    id.device = device();
    id.inode = inode_;
    id.kind = kz::IdentityStamp((flags_ & kStampMask) >> kStampShift);
    if (id.kind != kz::IdentityStamp::None) id.stamp = creation_;
    return id;
}

void KZFile::setIdentity(const kz::FileIdentity& identity)
{
    device_ = packDevice(identity.device);
    inode_ = identity.inode;
    setFlag(kHasIdentity, true);
    flags_ = uint16_t((flags_ & ~kStampMask) | (uint16_t(identity.kind) << kStampShift));
    if (identity.kind != kz::IdentityStamp::None) creation_ = identity.stamp;
}

bool KZFile::exists() const
{
    struct stat st {};
    return ::lstat(kz::pathWithoutTrailingSlash(path()).c_str(), &st) == 0;
}

bool KZFile::isSelected() const
{
    return exists() && flag(kIsSelected);
}

void KZFile::removeFromParent()
{
    if (parent_) parent_->removeChild(this);
}

void KZFile::deleteFromParent()
{
    if (parent_) parent_->deleteChild(this);
}

bool KZFile::isChildOfPath(std::string_view path) const
{
    return parent_ && kz_isChildOfPath(parent_->path(), path);
}

std::string KZFile::description() const
{
    if (isDirectory()) return static_cast<const KZDirectory*>(this)->description();
    char buffer[160];
    std::snprintf(buffer, sizeof buffer, "<KZFile %p, path=", static_cast<const void*>(this));
    std::string out = buffer;
    out += path();
    std::snprintf(buffer, sizeof buffer, ", fileSize=%f, fileType=%d>", fileSize_, int(fileType_));
    return out + buffer;
}

// ---- KZDirectory ----

KZDirectory::~KZDirectory()
{
    // release() has already dropped the children's references.
    for (uint32_t i = 0; i < count_; ++i) children_[i]->release();
    std::free(children_);
}

double KZDirectory::fileSize() const
{
    if (directoryFileSize_ != 0) return directoryFileSize_;
    // Sum the subtree bottom-up without recursion; every folder on the way caches its total.
    struct Item {
        const KZDirectory* dir;
        size_t next;
        double sum;
    };
    std::vector<Item> stack{{this, 0, 0.0}};
    double finished = 0;
    while (!stack.empty()) {
        Item& top = stack.back();
        if (top.next < top.dir->count_) {
            const KZFile* child = top.dir->children_[top.next++];
            const KZDirectory* sub = kz_asDirectory(child);
            if (sub && sub->directoryFileSize_ == 0) {
                stack.push_back({sub, 0, 0.0});
            } else {
                top.sum += sub ? sub->directoryFileSize_ : child->fileSize_;
            }
            continue;
        }
        const double total = top.sum + top.dir->removedFileSizes_ + top.dir->ignoredSize_;
        top.dir->directoryFileSize_ = total;
        finished = total;
        stack.pop_back();
        if (!stack.empty()) stack.back().sum += total;
    }
    return finished;
}

bool KZDirectory::isPackage() const
{
    // Find the nearest folder up the chain whose answer doesn't depend on its parent, then
    // settle the answers on the way back down.
    std::vector<KZDirectory*> chain;
    auto* d = const_cast<KZDirectory*>(this);
    while (!d->flag(kCheckedIsPackage) && d->parent_) {
        chain.push_back(d);
        d = d->parent_;
    }
    bool parentAnswer;
    if (d->flag(kCheckedIsPackage)) {
        parentAnswer = d->flag(kIsPackage);
    } else {
        // A folder without parent makes the extension test itself.
        if (isPackageExtension(d->nameBytes())) d->setFlag(kIsPackage, true);
        d->setFlag(kCheckedIsPackage, true);
        parentAnswer = d->flag(kIsPackage);
    }
    for (size_t i = chain.size(); i-- > 0;) {
        KZDirectory* c = chain[i];
        if (!parentAnswer) {
            if (isPackageExtension(c->nameBytes())) c->setFlag(kIsPackage, true);
            c->setFlag(kCheckedIsPackage, true);
        }
        parentAnswer = c->flag(kIsPackage);
    }
    return flag(kIsPackage);
}

void KZDirectory::setIsNetworkVolume(bool v)
{
    if (flag(kIsNetworkVolume) == v) return;
    std::vector<KZDirectory*> stack{this};
    while (!stack.empty()) {
        KZDirectory* d = stack.back();
        stack.pop_back();
        d->setFlag(kIsNetworkVolume, v);
        for (KZFile* child : d->children()) {
            if (auto* sub = kz_asDirectory(child)) {
                sub->setFlag(kIsNetworkItem, v);
                if (sub->flag(kIsNetworkVolume) != v) stack.push_back(sub);
            } else {
                child->setFlag(kIsNetworkItem, v);
            }
        }
    }
}

void KZDirectory::reserveChildren(size_t count)
{
    if (count <= capacity_) return;
    auto* grown = static_cast<KZFile**>(std::realloc(children_, count * sizeof(KZFile*)));
    if (!grown) throw std::bad_alloc();
    children_ = grown;
    capacity_ = uint32_t(count);
    if (!hasChildrenArray()) setFlag(kHasChildrenArray, true);
}

void KZDirectory::shrinkChildren()
{
    if (capacity_ == count_) return;
    if (count_ == 0) {
        std::free(children_);
        children_ = nullptr;
        capacity_ = 0;
        return;
    }
    if (auto* shrunk = static_cast<KZFile**>(std::realloc(children_, count_ * sizeof(KZFile*)))) {
        children_ = shrunk;
        capacity_ = count_;
    }
}

void KZDirectory::addChild(KZFile* child)
{
    if (!child) return;
    // Written once: while a scan runs, other threads read this folder's flags (to build
    // paths) once its first child has been handed out, so later adds must not store to them.
    if (!hasChildrenArray()) setFlag(kHasChildrenArray, true);
    child->setParent(this);
    child->setIsNetworkItem(isNetworkVolume());
    if (isPackage()) {
        child->setInPackage(true);
        if (child->isDirectory()) child->setIsPackage(true);
    }
    if (count_ == capacity_) reserveChildren(capacity_ < 4 ? 4 : size_t(capacity_) * 2);
    child->retain();
    children_[count_++] = child;
}

void KZDirectory::removeChild(KZFile* child, bool leaveInArray, bool maintainFileSize)
{
    if (!child || !hasChildrenArray()) return;
    uint32_t index = count_;
    // Recently added children are the likeliest to go; search from the end.
    for (uint32_t i = count_; i-- > 0;)
        if (children_[i] == child) {
            index = i;
            break;
        }
    if (index == count_) return;
    child->setParent(nullptr);
    if (maintainFileSize) removedFileSizes_ += child->fileSize();
    if (isPackage()) {
        child->setInPackage(false);
        if (child->isDirectory()) child->setIsPackage(false);
    }
    if (!leaveInArray) {
        std::memmove(children_ + index, children_ + index + 1, (count_ - index - 1) * sizeof(KZFile*));
        --count_;
        child->release();
    }
}

void KZDirectory::ignoreChild(KZFile* child)
{
    const double before = removedFileSizes_;
    removeChild(child, false, true);
    ignoredItemsSize_ += removedFileSizes_ - before;
}

void KZDirectory::removeAllChildren()
{
    std::vector<KZFile*> current(children_, children_ + count_);
    for (KZFile* child : current) removeChild(child, true, true);
    for (KZFile* child : current) child->release();
    count_ = 0;
}

void KZDirectory::replaceChild(KZFile* old, KZFile* fresh)
{
    if (!old || !fresh || old == fresh || !hasChildrenArray()) return;
    KZFile** slot = std::find(children_, children_ + count_, old);
    if (slot == children_ + count_) return;
    const double difference = fresh->fileSize() - old->fileSize();
    old->setParent(nullptr);
    if (isPackage()) {
        old->setInPackage(false);
        if (old->isDirectory()) old->setIsPackage(false);
    }
    // The fresh record takes the old one's place in the order of the children.
    fresh->setParent(this);
    fresh->setIsNetworkItem(isNetworkVolume());
    if (isPackage()) {
        fresh->setInPackage(true);
        if (fresh->isDirectory()) fresh->setIsPackage(true);
    }
    fresh->retain();
    *slot = fresh;
    old->release();
    moveTotalsBy(difference);
}

void KZDirectory::moveTotalsBy(double difference)
{
    // A total not computed yet (0) is summed from the children when it is first read.
    for (KZDirectory* folder = this; folder; folder = folder->parent())
        if (folder->directoryFileSize_ != 0) folder->directoryFileSize_ += difference;
}

std::string KZDirectory::description() const
{
    char buffer[160];
    std::snprintf(buffer, sizeof buffer, "<KZDirectory %p, path=", static_cast<const void*>(this));
    std::string out = buffer;
    out += path();
    std::snprintf(buffer, sizeof buffer, " fileSize=%f, _children=%ld>", fileSize(), long(count_));
    return out + buffer;
}

// ---- sets of records ----

KZFileSet::KZFileSet(const KZFileList& files)
{
    sorted_.reserve(files.size());
    for (const KZFilePtr& f : files)
        if (f) sorted_.push_back(f.get());
    std::sort(sorted_.begin(), sorted_.end());
    sorted_.erase(std::unique(sorted_.begin(), sorted_.end()), sorted_.end());
}

bool KZFileSet::contains(const KZFile* file) const
{
    return std::binary_search(sorted_.begin(), sorted_.end(), file);
}

std::vector<bool> kz_firstOccurrences(const KZFileList& files)
{
    std::vector<std::pair<const KZFile*, size_t>> order;
    order.reserve(files.size());
    for (size_t i = 0; i < files.size(); ++i)
        if (files[i]) order.emplace_back(files[i].get(), i);
    std::sort(order.begin(), order.end());
    std::vector<bool> first(files.size(), false);
    for (size_t i = 0; i < order.size(); ++i)
        if (i == 0 || order[i].first != order[i - 1].first) first[order[i].second] = true;
    return first;
}
