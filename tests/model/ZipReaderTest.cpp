// The zip reader on archives made by Info-ZIP's zip the ways the compressor may run it (plain,
// ZIP64 records, streamed with data descriptors, stored), on archives damaged afterwards, and
// on ZIP64 archives written here (more than 65535 members, a member over 4 GiB).

#include "model/KZZipReader.h"
#include "tests/support/TestSupport.h"

#include <QProcess>
#include <gtest/gtest.h>

#include <zlib.h>

#include <algorithm>
#include <fcntl.h>
#include <fstream>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

using kztest::makeDir;
using kztest::makeFile;
using kztest::makeSymlink;
using Kind = KZZipReader::Kind;

namespace {

struct Listed {
    std::string name;
    Kind kind;
    uint64_t size;
    friend bool operator==(const Listed&, const Listed&) = default;
    friend bool operator<(const Listed& a, const Listed& b) { return a.name < b.name; }
};

struct Outcome {
    std::optional<QString> problem;
    std::vector<Listed> members; // sorted
};

Outcome readBack(const std::string& path, bool withData = true)
{
    Outcome o;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    EXPECT_GE(fd, 0) << path;
    struct stat st {};
    ::fstat(fd, &st);
    auto block = [&](const KZZipReader::Member& m) { o.members.push_back({std::string(m.name), m.kind, m.size}); };
    o.problem = withData ? KZZipReader::readBack(fd, uint64_t(st.st_size), block)
                         : KZZipReader::listMembers(fd, uint64_t(st.st_size), block);
    ::close(fd);
    std::sort(o.members.begin(), o.members.end());
    return o;
}

std::string describe(const std::optional<QString>& problem)
{
    return problem ? problem->toStdString() : std::string("(none)");
}

void writeFile(const std::string& path, const std::string& contents)
{
    makeFile(path);
    std::ofstream(path, std::ios::binary) << contents;
}

std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// Runs a shell command line in the folder; its exit status.
int shell(const std::string& folder, const std::string& command)
{
    QProcess p;
    p.setWorkingDirectory(QString::fromStdString(folder));
    p.start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), QString::fromStdString(command)});
    p.waitForFinished(60000);
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

std::string randomBytes(size_t n, unsigned seed)
{
    std::mt19937 random(seed);
    std::string s(n, '\0');
    for (char& c : s) c = char(random() & 0xff);
    return s;
}

// ---- archives written here ----

void put16(std::string& out, uint16_t v)
{
    out.push_back(char(v & 0xff));
    out.push_back(char(v >> 8));
}
void put32(std::string& out, uint32_t v)
{
    put16(out, uint16_t(v & 0xffff));
    put16(out, uint16_t(v >> 16));
}
void put64(std::string& out, uint64_t v)
{
    put32(out, uint32_t(v & 0xffffffffu));
    put32(out, uint32_t(v >> 32));
}

// A member as written here: its data as it goes into the archive, stored (method 0) or
// deflated (8), with its size and checksum once uncompressed.
struct Written {
    std::string name;
    std::string data;
    uint16_t method = 0;
    uint64_t size = 0;
    uint32_t crc = 0;
    uint32_t mode = 0100644;
};

Written stored(std::string name, const std::string& data)
{
    return {std::move(name), data, 0, data.size(),
            uint32_t(crc32(0L, reinterpret_cast<const Bytef*>(data.data()), uInt(data.size())))};
}

// The checksum of n zero bytes, from a run of them doubled (crc32_combine joins two runs).
uint32_t crcOfZeros(uint64_t n)
{
    const std::string piece(1 << 20, '\0');
    uLong run = crc32(0L, reinterpret_cast<const Bytef*>(piece.data()), uInt(piece.size()));
    uint64_t runLength = piece.size();
    uLong sum = crc32(0L, Z_NULL, 0);
    uint64_t summed = 0;
    for (uint64_t pieces = n / piece.size(); pieces > 0; pieces >>= 1) {
        if (pieces & 1) {
            sum = crc32_combine64(sum, run, off64_t(runLength));
            summed += runLength;
        }
        run = crc32_combine64(run, run, off64_t(runLength));
        runLength *= 2;
    }
    return uint32_t(crc32_z(sum, reinterpret_cast<const Bytef*>(piece.data()), size_t(n - summed)));
}

// n zero bytes (a multiple of 16 MiB) deflated: one run of them compressed and ended on a
// byte with nothing remembered (a full flush), repeated, then a final empty block.
Written deflatedZeros(std::string name, uint64_t n)
{
    const uint64_t run = uint64_t(16) << 20;
    const std::string zeros(run, '\0');
    z_stream z{};
    EXPECT_EQ(deflateInit2(&z, 6, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY), Z_OK);
    std::string block(deflateBound(&z, run) + 64, '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(zeros.data()));
    z.avail_in = uInt(run);
    z.next_out = reinterpret_cast<Bytef*>(block.data());
    z.avail_out = uInt(block.size());
    EXPECT_EQ(deflate(&z, Z_FULL_FLUSH), Z_OK);
    block.resize(block.size() - z.avail_out);
    deflateEnd(&z);
    std::string data;
    for (uint64_t i = 0; i < n / run; ++i) data += block;
    data += std::string("\x03\x00", 2);
    return {std::move(name), std::move(data), 8, n, crcOfZeros(n)};
}

// In the layout zip writes: local headers and data, the central directory, ZIP64 end records
// when needed, the end record. Sizes of 4 GiB or more go into ZIP64 fields.
void writeZip(const std::string& path, const std::vector<Written>& members)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    ASSERT_GE(fd, 0);
    uint64_t offset = 0;
    auto write = [&](const std::string& bytes) {
        ASSERT_EQ(::pwrite(fd, bytes.data(), bytes.size(), off_t(offset)), ssize_t(bytes.size()));
        offset += bytes.size();
    };
    std::string directory;
    for (const Written& m : members) {
        const bool big = m.size >= 0xffffffffu || m.data.size() >= 0xffffffffu;
        const uint64_t localOffset = offset;
        std::string local;
        put32(local, 0x04034b50);
        put16(local, big ? 45 : 10);
        put16(local, 0);
        put16(local, m.method);
        put32(local, 0);
        put32(local, m.crc);
        put32(local, big ? 0xffffffffu : uint32_t(m.data.size()));
        put32(local, big ? 0xffffffffu : uint32_t(m.size));
        put16(local, uint16_t(m.name.size()));
        put16(local, big ? 20 : 0);
        local += m.name;
        if (big) {
            put16(local, 1);
            put16(local, 16);
            put64(local, m.size);
            put64(local, m.data.size());
        }
        write(local);
        write(m.data);
        const bool farOffset = localOffset >= 0xffffffffu;
        std::string extra;
        if (big || farOffset) {
            std::string fields;
            if (big) {
                put64(fields, m.size);
                put64(fields, m.data.size());
            }
            if (farOffset) put64(fields, localOffset);
            put16(extra, 1);
            put16(extra, uint16_t(fields.size()));
            extra += fields;
        }
        put32(directory, 0x02014b50);
        put16(directory, uint16_t((3 << 8) | 30));
        put16(directory, big ? 45 : 10);
        put16(directory, 0);
        put16(directory, m.method);
        put32(directory, 0);
        put32(directory, m.crc);
        put32(directory, big ? 0xffffffffu : uint32_t(m.data.size()));
        put32(directory, big ? 0xffffffffu : uint32_t(m.size));
        put16(directory, uint16_t(m.name.size()));
        put16(directory, uint16_t(extra.size()));
        put16(directory, 0);
        put16(directory, 0);
        put16(directory, 0);
        put32(directory, m.mode << 16);
        put32(directory, farOffset ? 0xffffffffu : uint32_t(localOffset));
        directory += m.name;
        directory += extra;
    }
    const uint64_t directoryOffset = offset;
    write(directory);
    const uint64_t count = members.size();
    const bool needs64 = count >= 0xffff || directoryOffset >= 0xffffffffu;
    std::string end;
    if (needs64) {
        const uint64_t recordOffset = offset;
        put32(end, 0x06064b50);
        put64(end, 44);
        put16(end, uint16_t((3 << 8) | 45));
        put16(end, 45);
        put32(end, 0);
        put32(end, 0);
        put64(end, count);
        put64(end, count);
        put64(end, directory.size());
        put64(end, directoryOffset);
        put32(end, 0x07064b50);
        put32(end, 0);
        put64(end, recordOffset);
        put32(end, 1);
    }
    put32(end, 0x06054b50);
    put16(end, 0);
    put16(end, 0);
    put16(end, uint16_t(std::min<uint64_t>(count, 0xffff)));
    put16(end, uint16_t(std::min<uint64_t>(count, 0xffff)));
    put32(end, uint32_t(std::min<uint64_t>(directory.size(), 0xffffffffu)));
    put32(end, needs64 ? 0xffffffffu : uint32_t(directoryOffset));
    put16(end, 0);
    write(end);
    ::close(fd);
}

// Changes the byte at the offset (from the end when negative).
void flipByte(const std::string& path, long long at)
{
    std::string bytes = readFile(path);
    const size_t i = at < 0 ? bytes.size() - size_t(-at) : size_t(at);
    bytes[i] = char(bytes[i] ^ 0x5a);
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

class ZipReader : public ::testing::Test {
protected:
    void SetUp() override
    {
        // One of everything the compressor archives.
        writeFile(dir / "F/notes.txt", std::string(3 << 20, 'n') + "end"); // inflated in several pieces
        writeFile(dir / "F/noise.bin", randomBytes(5 << 20, 7));           // barely compressible
        writeFile(dir / "F/empty.txt", "");
        makeDir(dir / "F/empty-folder");
        makeSymlink("../elsewhere/target", dir / "F/link");
        writeFile(dir / "F/odd \xff name", "odd");
        writeFile(dir / "F/sub/-dash", "dash");
    }
    std::vector<Listed> expected() const
    {
        std::vector<Listed> e{
            {"F/", Kind::Folder, 0},
            {"F/empty-folder/", Kind::Folder, 0},
            {"F/empty.txt", Kind::File, 0},
            {"F/link", Kind::Link, std::string("../elsewhere/target").size()},
            {"F/noise.bin", Kind::File, 5 << 20},
            {"F/notes.txt", Kind::File, (3 << 20) + 3},
            {"F/odd \xff name", Kind::File, 3},
            {"F/sub/", Kind::Folder, 0},
            {"F/sub/-dash", Kind::File, 4},
        };
        std::sort(e.begin(), e.end());
        return e;
    }
    kztest::TempDir dir;
};

} // namespace

TEST_F(ZipReader, ReadsBackWhatZipWritesEveryWayItMayRun)
{
    // As the compressor runs it; with ZIP64 records; stored.
    for (const char* options : {"", "-fz", "-0"}) {
        SCOPED_TRACE(options);
        const std::string archive = dir / "out.zip";
        ::unlink(archive.c_str());
        const std::string command = "zip -q -y -nw -MM -r " + std::string(options) + " - F > out.zip";
        ASSERT_EQ(shell(dir.path(), command), 0) << command;
        const Outcome o1 = readBack(archive);
        EXPECT_FALSE(o1.problem) << describe(o1.problem);
        EXPECT_EQ(o1.members, expected());
        const Outcome listed = readBack(archive, false);
        EXPECT_FALSE(listed.problem);
        EXPECT_EQ(listed.members, expected());
    }
}

TEST_F(ZipReader, FindsAnArchiveDamagedAnywhere)
{
    ASSERT_EQ(shell(dir.path(), "zip -q -y -nw -MM -r - F > good.zip"), 0);
    ASSERT_EQ(shell(dir.path(), "zip -q -y -nw -MM -0 -r - F > stored.zip"), 0);
    const std::string good = readFile(dir / "good.zip");
    const size_t notes = good.find("F/notes.txt");
    ASSERT_NE(notes, std::string::npos);
    struct Case {
        const char* what;
        std::function<void(const std::string&)> damage;
        const char* reason;
    };
    const std::vector<Case> cases{
        {"a byte of deflated data",
         [&](const std::string& p) { flipByte(p, static_cast<long long>(notes + 11 + 40 + 100)); },
         "the member \"F/notes.txt\""},
        {"a byte of stored data",
         [&](const std::string& p) {
             std::string copy = readFile(dir / "stored.zip");
             std::ofstream(p, std::ios::binary | std::ios::trunc) << copy;
             flipByte(p, static_cast<long long>(copy.find("F/notes.txt") + 11 + 40 + 1000));
         },
         "the member \"F/notes.txt\" is damaged (its checksum does not match)"},
        {"the end cut off", [](const std::string& p) { ::truncate(p.c_str(), off_t(readFile(p).size() - 10)); },
         "its end record is missing or damaged"},
        {"something after the end", [](const std::string& p) { std::ofstream(p, std::ios::app) << "junk"; },
         "its end record is missing or damaged"},
        {"a name in the directory",
         [&](const std::string& p) { flipByte(p, static_cast<long long>(good.rfind("F/noise.bin") + 4)); },
         "does not match its entry"},
        {"a signature in the directory",
         [&](const std::string& p) { flipByte(p, static_cast<long long>(good.rfind("F/noise.bin") - 46)); },
         "its central directory is damaged"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string archive = dir / "damaged.zip";
        std::ofstream(archive, std::ios::binary | std::ios::trunc) << good;
        c.damage(archive);
        const Outcome o = readBack(archive);
        ASSERT_TRUE(o.problem);
        EXPECT_NE(o.problem->toStdString().find(c.reason), std::string::npos) << describe(o.problem);
    }
    // What only the data can tell, the listing alone does not.
    std::ofstream(dir / "damaged.zip", std::ios::binary | std::ios::trunc) << good;
    flipByte(dir / "damaged.zip", static_cast<long long>(notes + 11 + 40 + 100));
    EXPECT_FALSE(readBack(dir / "damaged.zip", false).problem);
}

TEST_F(ZipReader, ReadsZip64ArchivesOfManyMembersAndOfMembersOver4GiB)
{
    // More members than the end record can count.
    std::vector<Written> many;
    for (int i = 0; i < 65540; ++i) many.push_back(stored("M/f" + std::to_string(i), i % 100 == 0 ? "x" : ""));
    writeZip(dir / "many.zip", many);
    Outcome o = readBack(dir / "many.zip");
    EXPECT_FALSE(o.problem) << describe(o.problem);
    EXPECT_EQ(o.members.size(), 65540u);

    // A member over 4 GiB once inflated, between two small ones (inflating it takes a while).
    const uint64_t big = uint64_t(4) << 30 | uint64_t(16) << 20;
    const Written huge = deflatedZeros("huge.img", big);
    writeZip(dir / "big.zip", {stored("small", "abc"), huge, stored("after", "tail")});
    o = readBack(dir / "big.zip");
    EXPECT_FALSE(o.problem) << describe(o.problem);
    EXPECT_EQ(o.members,
              (std::vector<Listed>{{"after", Kind::File, 4}, {"huge.img", Kind::File, big}, {"small", Kind::File, 3}}));
}
