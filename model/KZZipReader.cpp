#include "model/KZZipReader.h"

#include "platform/KZPathString.h"

#include <QCoreApplication>

#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

QString text(const char* source)
{
    return QCoreApplication::translate("KZZipReader", source);
}

QString quoted(std::string_view name)
{
    return QStringLiteral("\"%1\"").arg(kz::displayString(std::string(name)));
}

constexpr uint32_t kLocalHeader = 0x04034b50;
constexpr uint32_t kCentralHeader = 0x02014b50;
constexpr uint32_t kEndRecord = 0x06054b50;
constexpr uint32_t kZip64EndRecord = 0x06064b50;
constexpr uint32_t kZip64Locator = 0x07064b50;
constexpr uint16_t kZip64Extra = 0x0001;
constexpr size_t kEndRecordSize = 22;
constexpr size_t kLocatorSize = 20;
constexpr size_t kZip64EndRecordSize = 56;
constexpr size_t kCentralHeaderSize = 46;
constexpr size_t kLocalHeaderSize = 30;
constexpr uint8_t kUnixHost = 3;

constexpr size_t kDirectoryBuffer = size_t(1) << 20;
constexpr size_t kDataBuffer = size_t(1) << 20;
constexpr size_t kInflatedBuffer = size_t(1) << 20;

uint16_t le16(const unsigned char* p)
{
    return uint16_t(p[0] | (p[1] << 8));
}
uint32_t le32(const unsigned char* p)
{
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}
uint64_t le64(const unsigned char* p)
{
    return uint64_t(le32(p)) | (uint64_t(le32(p + 4)) << 32);
}

// Reads exactly n bytes at the offset: 0, an errno value, or EIO when the file ends first.
int readAt(int fd, void* to, size_t n, uint64_t offset)
{
    auto* p = static_cast<unsigned char*>(to);
    while (n > 0) {
        const ssize_t got = ::pread(fd, p, n, off_t(offset));
        if (got < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        if (got == 0) return EIO;
        p += got;
        n -= size_t(got);
        offset += uint64_t(got);
    }
    return 0;
}

QString readFailure(int error)
{
    return text("it can't be read: %1").arg(QString::fromLocal8Bit(std::strerror(error)));
}

// Sequential reads of one region of the file through a buffer; what take() answers stays
// valid until the next take().
class Cursor {
public:
    Cursor(int fd, uint64_t begin, uint64_t end) : fd_(fd), position_(begin), end_(end) {}

    // The next n bytes, or nullptr when the region ends first or the file can't be read.
    const unsigned char* take(size_t n)
    {
        if (n > end_ - position_) return nullptr;
        if (n > buffered_ - next_) {
            std::memmove(buffer_.data(), buffer_.data() + next_, buffered_ - next_);
            buffered_ -= next_;
            next_ = 0;
            if (buffer_.size() < n) buffer_.resize(n);
            const uint64_t fileOffset = position_ + buffered_;
            const size_t want = size_t(std::min<uint64_t>(buffer_.size() - buffered_, end_ - fileOffset));
            if ((error_ = readAt(fd_, buffer_.data() + buffered_, want, fileOffset))) return nullptr;
            buffered_ += want;
        }
        const unsigned char* p = buffer_.data() + next_;
        next_ += n;
        position_ += n;
        return p;
    }
    bool atEnd() const { return position_ == end_; }
    int error() const { return error_; }

private:
    int fd_;
    uint64_t position_;
    uint64_t end_;
    std::vector<unsigned char> buffer_ = std::vector<unsigned char>(kDirectoryBuffer);
    size_t buffered_ = 0;
    size_t next_ = 0;
    int error_ = 0;
};

// Where the central directory lies, from the end records.
struct Directory {
    uint64_t entries = 0;
    uint64_t offset = 0;
    uint64_t size = 0;
};

std::optional<QString> findDirectory(int fd, uint64_t size, Directory& directory)
{
    const QString damaged = text("its end record is missing or damaged");
    // The end record, with a comment that runs exactly to the end of the file.
    const size_t tail = size_t(std::min<uint64_t>(size, kEndRecordSize + 0xffff));
    if (tail < kEndRecordSize) return damaged;
    std::vector<unsigned char> bytes(tail);
    if (int err = readAt(fd, bytes.data(), tail, size - tail)) return readFailure(err);
    size_t at = tail - kEndRecordSize + 1;
    bool found = false;
    while (at-- > 0) {
        const unsigned char* p = bytes.data() + at;
        if (le32(p) == kEndRecord && at + kEndRecordSize + le16(p + 20) == tail) {
            found = true;
            break;
        }
    }
    if (!found) return damaged;
    const unsigned char* end = bytes.data() + at;
    const uint64_t endOffset = size - tail + at;
    const uint16_t disk = le16(end + 4), directoryDisk = le16(end + 6);
    uint64_t onDisk = le16(end + 8);
    directory.entries = le16(end + 10);
    directory.size = le32(end + 12);
    directory.offset = le32(end + 16);
    uint64_t directoryEnd = endOffset;

    // The ZIP64 records, when the locator stands just before the end record.
    unsigned char locator[kLocatorSize];
    if (endOffset >= kLocatorSize && readAt(fd, locator, kLocatorSize, endOffset - kLocatorSize) == 0 &&
        le32(locator) == kZip64Locator) {
        const uint64_t recordOffset = le64(locator + 8);
        unsigned char record[kZip64EndRecordSize];
        if (le32(locator + 4) != 0 || le32(locator + 16) != 1) return text("it spans several disks");
        if (recordOffset > endOffset - kLocatorSize || endOffset - kLocatorSize - recordOffset < kZip64EndRecordSize)
            return damaged;
        if (int err = readAt(fd, record, kZip64EndRecordSize, recordOffset)) return readFailure(err);
        if (le32(record) != kZip64EndRecord || recordOffset + 12 + le64(record + 4) != endOffset - kLocatorSize)
            return damaged;
        if (le32(record + 16) != 0 || le32(record + 20) != 0) return text("it spans several disks");
        onDisk = le64(record + 24);
        directory.entries = le64(record + 32);
        directory.size = le64(record + 40);
        directory.offset = le64(record + 48);
        directoryEnd = recordOffset;
    } else if (disk != 0 || directoryDisk != 0) {
        return text("it spans several disks");
    }
    if (onDisk != directory.entries) return text("it spans several disks");
    // The directory ends where the end records begin: nothing unaccounted for between them.
    if (directory.offset > directoryEnd || directoryEnd - directory.offset != directory.size)
        return text("its central directory is not where its end record says");
    return std::nullopt;
}

// One entry of the central directory.
struct Entry {
    std::string name;
    KZZipReader::Kind kind = KZZipReader::Kind::File;
    uint16_t flags = 0;
    uint16_t method = 0;
    uint32_t crc = 0;
    uint64_t compressedSize = 0;
    uint64_t size = 0;
    uint64_t localOffset = 0;
};

KZZipReader::Kind kindOf(uint16_t madeBy, uint32_t externalAttributes, std::string_view name)
{
    const uint32_t mode = externalAttributes >> 16;
    if ((madeBy >> 8) == kUnixHost && mode != 0) {
        switch (mode & S_IFMT) {
        case S_IFREG:
            return KZZipReader::Kind::File;
        case S_IFDIR:
            return KZZipReader::Kind::Folder;
        case S_IFLNK:
            return KZZipReader::Kind::Link;
        default:
            return KZZipReader::Kind::Other;
        }
    }
    if (!name.empty() && name.back() == '/') return KZZipReader::Kind::Folder;
    return (externalAttributes & 0x10) ? KZZipReader::Kind::Folder : KZZipReader::Kind::File;
}

// The next entry of the directory into `entry`; the reason when it can't be read.
std::optional<QString> readEntry(Cursor& cursor, Entry& entry)
{
    const QString damaged = text("its central directory is damaged");
    const unsigned char* h = cursor.take(kCentralHeaderSize);
    if (!h) return cursor.error() ? readFailure(cursor.error()) : damaged;
    if (le32(h) != kCentralHeader) return damaged;
    const uint16_t madeBy = le16(h + 4);
    entry.flags = le16(h + 8);
    entry.method = le16(h + 10);
    entry.crc = le32(h + 16);
    entry.compressedSize = le32(h + 20);
    entry.size = le32(h + 24);
    const size_t nameLength = le16(h + 28), extraLength = le16(h + 30), commentLength = le16(h + 32);
    const uint16_t disk = le16(h + 34);
    const uint32_t attributes = le32(h + 38);
    entry.localOffset = le32(h + 42);
    const unsigned char* rest = cursor.take(nameLength + extraLength + commentLength);
    if (!rest) return cursor.error() ? readFailure(cursor.error()) : damaged;
    entry.name.assign(reinterpret_cast<const char*>(rest), nameLength);
    // The ZIP64 extra field holds, in this order, each value whose field above is full.
    const unsigned char* extra = rest + nameLength;
    for (size_t at = 0; at + 4 <= extraLength;) {
        const uint16_t id = le16(extra + at), length = le16(extra + at + 2);
        if (at + 4 + length > extraLength) return damaged;
        if (id == kZip64Extra) {
            const unsigned char* field = extra + at + 4;
            size_t left = length;
            for (uint64_t* value : {&entry.size, &entry.compressedSize, &entry.localOffset}) {
                if (*value != 0xffffffffu) continue;
                if (left < 8) return damaged;
                *value = le64(field);
                field += 8;
                left -= 8;
            }
        }
        at += 4 + length;
    }
    if (disk != 0 && disk != 0xffff) return text("it spans several disks");
    entry.kind = kindOf(madeBy, attributes, entry.name);
    return std::nullopt;
}

// Reads one member's data through inflate or as stored, and checks its sum and size.
class MemberReader {
public:
    MemberReader() { initialised_ = inflateInit2(&stream_, -MAX_WBITS) == Z_OK; }
    ~MemberReader()
    {
        if (initialised_) inflateEnd(&stream_);
    }
    MemberReader(const MemberReader&) = delete;
    MemberReader& operator=(const MemberReader&) = delete;

    std::optional<QString> check(int fd, const Entry& e, uint64_t dataOffset, const std::atomic<bool>* cancelled)
    {
        const QString name = quoted(e.name);
        uLong sum = crc32(0L, Z_NULL, 0);
        uint64_t produced = 0;
        std::optional<QString> problem;
        if (e.method == 0) {
            if (e.compressedSize != e.size)
                return text("the member %1 is stored with a size that does not match").arg(name);
            problem = readStored(fd, e, dataOffset, cancelled, sum, produced);
        } else if (e.method == Z_DEFLATED) {
            problem = inflateMember(fd, e, dataOffset, cancelled, sum, produced);
        } else {
            return text("the member %1 is compressed in a way that can't be checked (method %2)")
                .arg(name)
                .arg(e.method);
        }
        if (problem) return problem;
        if (produced != e.size)
            return text("the member %1 holds %2 bytes where its entry says %3")
                .arg(name)
                .arg(qulonglong(produced))
                .arg(qulonglong(e.size));
        if (sum != e.crc) return text("the member %1 is damaged (its checksum does not match)").arg(name);
        return std::nullopt;
    }

private:
    static bool stopped(const std::atomic<bool>* cancelled)
    {
        return cancelled && cancelled->load(std::memory_order_relaxed);
    }

    std::optional<QString> readStored(int fd, const Entry& e, uint64_t offset, const std::atomic<bool>* cancelled,
                                      uLong& sum, uint64_t& produced)
    {
        for (uint64_t left = e.compressedSize; left > 0;) {
            if (stopped(cancelled)) return text("the check was cancelled");
            const size_t n = size_t(std::min<uint64_t>(left, data_.size()));
            if (int err = readAt(fd, data_.data(), n, offset)) return readFailure(err);
            sum = crc32_z(sum, data_.data(), n);
            produced += n;
            offset += n;
            left -= n;
        }
        return std::nullopt;
    }

    // The deflated stream must end exactly where the member's compressed data ends.
    std::optional<QString> inflateMember(int fd, const Entry& e, uint64_t offset, const std::atomic<bool>* cancelled,
                                         uLong& sum, uint64_t& produced)
    {
        const QString damaged = text("the member %1 is damaged").arg(quoted(e.name));
        if (!initialised_ || inflateReset(&stream_) != Z_OK) return damaged;
        stream_.avail_in = 0;
        uint64_t left = e.compressedSize;
        for (;;) {
            if (stopped(cancelled)) return text("the check was cancelled");
            if (stream_.avail_in == 0) {
                if (left == 0) return damaged; // cut short
                const size_t n = size_t(std::min<uint64_t>(left, data_.size()));
                if (int err = readAt(fd, data_.data(), n, offset)) return readFailure(err);
                offset += n;
                left -= n;
                stream_.next_in = data_.data();
                stream_.avail_in = uInt(n);
            }
            stream_.next_out = inflated_.data();
            stream_.avail_out = uInt(inflated_.size());
            const int result = inflate(&stream_, Z_NO_FLUSH);
            const size_t out = inflated_.size() - stream_.avail_out;
            sum = crc32_z(sum, inflated_.data(), out);
            produced += out;
            if (result == Z_STREAM_END) break;
            if (result != Z_OK && !(result == Z_BUF_ERROR && stream_.avail_in == 0)) return damaged;
            if (produced > e.size) return std::nullopt; // more than its entry says: reported by size
        }
        if (stream_.avail_in > 0 || left > 0) return damaged; // data after the stream's end
        return std::nullopt;
    }

    z_stream stream_{};
    bool initialised_ = false;
    std::vector<unsigned char> data_ = std::vector<unsigned char>(kDataBuffer);
    std::vector<unsigned char> inflated_ = std::vector<unsigned char>(kInflatedBuffer);
};

// Checks members' data on a few threads while the caller reads the directory; what failed
// first in the directory's order is what is reported.
class DataChecks {
public:
    DataChecks(int fd, const std::atomic<bool>* cancelled, uint64_t members) : fd_(fd), cancelled_(cancelled)
    {
        const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
        const uint64_t threads = std::min<uint64_t>({kMaxCheckThreads, std::max(1u, cores / 2), members});
        for (uint64_t i = 0; i < threads; ++i) threads_.emplace_back([this] { work(); });
    }
    ~DataChecks() { finish(); }
    DataChecks(const DataChecks&) = delete;
    DataChecks& operator=(const DataChecks&) = delete;

    // Queues the member's check (waiting while many are queued); false once one has failed.
    bool add(uint64_t index, const Entry& entry, uint64_t dataOffset)
    {
        std::unique_lock lock(mutex_);
        notFull_.wait(lock, [&] { return queue_.size() < kMaxQueued || failure_; });
        if (failure_) return false;
        queue_.push_back({index, entry, dataOffset});
        notEmpty_.notify_one();
        return true;
    }
    // A failure found by the caller at the member `index` (it stops adding).
    void fail(uint64_t index, QString problem)
    {
        std::lock_guard lock(mutex_);
        record(index, std::move(problem));
    }
    // Waits for the queued checks; the first failure, if any.
    std::optional<QString> finish()
    {
        {
            std::lock_guard lock(mutex_);
            closed_ = true;
            notEmpty_.notify_all();
        }
        for (std::thread& t : threads_) t.join();
        threads_.clear();
        if (!failure_) return std::nullopt;
        return failure_->second;
    }

private:
    struct Job {
        uint64_t index;
        Entry entry;
        uint64_t dataOffset;
    };

    // Under the lock.
    void record(uint64_t index, QString problem)
    {
        if (!failure_ || index < failure_->first) failure_.emplace(index, std::move(problem));
        notFull_.notify_all();
    }

    void work()
    {
        MemberReader reader;
        for (;;) {
            std::unique_lock lock(mutex_);
            notEmpty_.wait(lock, [&] { return !queue_.empty() || closed_; });
            if (queue_.empty()) return;
            Job job = std::move(queue_.front());
            queue_.pop_front();
            notFull_.notify_one();
            // Members after a failure need no check: it is the one reported.
            if (failure_ && failure_->first < job.index) continue;
            lock.unlock();
            std::optional<QString> problem = reader.check(fd_, job.entry, job.dataOffset, cancelled_);
            if (!problem) continue;
            lock.lock();
            record(job.index, std::move(*problem));
        }
    }

    static constexpr uint64_t kMaxCheckThreads = 4;
    static constexpr size_t kMaxQueued = 256;

    int fd_;
    const std::atomic<bool>* cancelled_;
    std::mutex mutex_;
    std::condition_variable notEmpty_;
    std::condition_variable notFull_;
    std::deque<Job> queue_;
    bool closed_ = false;
    std::optional<std::pair<uint64_t, QString>> failure_;
    std::vector<std::thread> threads_;
};

// The local header of the entry's member: the same name and method, and the data after it,
// all before the directory and after the member before it. The data's offset, or why not.
std::optional<QString> locateData(int fd, const Entry& entry, uint64_t directoryOffset, uint64_t previousEnd,
                                  uint64_t& dataOffset)
{
    const QString outside = text("the member %1 lies outside the archive's data").arg(quoted(entry.name));
    const QString mismatch = text("the member %1 does not match its entry").arg(quoted(entry.name));
    if (entry.localOffset < previousEnd || entry.localOffset > directoryOffset ||
        directoryOffset - entry.localOffset < kLocalHeaderSize)
        return outside;
    std::vector<unsigned char> local(kLocalHeaderSize);
    if (int err = readAt(fd, local.data(), kLocalHeaderSize, entry.localOffset)) return readFailure(err);
    const size_t nameLength = le16(local.data() + 26), extraLength = le16(local.data() + 28);
    dataOffset = entry.localOffset + kLocalHeaderSize + nameLength + extraLength;
    if (le32(local.data()) != kLocalHeader || le16(local.data() + 8) != entry.method || nameLength != entry.name.size())
        return mismatch;
    if (dataOffset > directoryOffset || directoryOffset - dataOffset < entry.compressedSize) return outside;
    local.resize(nameLength);
    if (int err = readAt(fd, local.data(), nameLength, entry.localOffset + kLocalHeaderSize)) return readFailure(err);
    if (std::memcmp(local.data(), entry.name.data(), nameLength) != 0) return mismatch;
    return std::nullopt;
}

std::optional<QString> read(int fd, uint64_t size, const KZZipReader::MemberBlock& block, bool withData,
                            const std::atomic<bool>* cancelled)
{
    Directory directory;
    if (std::optional<QString> problem = findDirectory(fd, size, directory)) return problem;
    Cursor cursor(fd, directory.offset, directory.offset + directory.size);
    std::optional<DataChecks> checks;
    if (withData) checks.emplace(fd, cancelled, directory.entries);
    Entry entry;
    uint64_t previousEnd = 0;
    auto failed = [&](uint64_t index, QString problem) -> std::optional<QString> {
        if (!checks) return problem;
        checks->fail(index, std::move(problem));
        return checks->finish();
    };
    for (uint64_t i = 0; i < directory.entries; ++i) {
        if (cancelled && cancelled->load(std::memory_order_relaxed)) return failed(i, text("the check was cancelled"));
        if (std::optional<QString> problem = readEntry(cursor, entry)) return failed(i, *problem);
        if (entry.flags & 0x1) return failed(i, text("the member %1 is encrypted").arg(quoted(entry.name)));
        if (checks) {
            uint64_t dataOffset = 0;
            if (std::optional<QString> problem = locateData(fd, entry, directory.offset, previousEnd, dataOffset))
                return failed(i, *problem);
            if (!checks->add(i, entry, dataOffset)) return checks->finish();
            previousEnd = dataOffset + entry.compressedSize;
        }
        if (block) block({entry.name, entry.kind, entry.size});
    }
    if (!cursor.atEnd()) return failed(directory.entries, text("its central directory is damaged"));
    return checks ? checks->finish() : std::nullopt;
}

} // namespace

std::optional<QString> KZZipReader::readBack(int fd, uint64_t size, const MemberBlock& block,
                                             const std::atomic<bool>* cancelled)
{
    return read(fd, size, block, true, cancelled);
}

std::optional<QString> KZZipReader::listMembers(int fd, uint64_t size, const MemberBlock& block)
{
    return read(fd, size, block, false, nullptr);
}
