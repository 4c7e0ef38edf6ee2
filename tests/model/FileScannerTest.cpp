#include "model/KZFileScanner.h"
#include "model/KZPath.h"
#include "model/KZTreeWalker.h"
#include "platform/KZDirectoryIO.h"
#include "platform/KZFileFaults.h"
#include "platform/KZLog.h"
#include "platform/KZRemover.h"
#include "tests/support/Identity.h"
#include "tests/support/Mounts.h"
#include "tests/support/TestSupport.h"

#include <QObject>
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <mutex>
#include <set>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

using namespace std::chrono_literals;

namespace {

// What one scan reported, in the order the main thread saw it.
struct Reports {
    KZDirectoryPtr root;
    int completions = 0;
    int cancellations = 0;
    int failures = 0;
    QString error;
    std::vector<qint64> counts;
    std::vector<double> totals;
    std::vector<std::string> paths;
    std::vector<std::string> events; // "count", "bytes", "path", "done", "cancelled", "failed"
    int64_t unreadableCount = -1;    // as the scanner knew it at the completion
    std::vector<std::string> unreadable;
    int endings() const { return completions + cancellations + failures; }
};

std::shared_ptr<Reports> attach(KZFileScanner& scanner)
{
    auto r = std::make_shared<Reports>();
    scanner.setProgressBlock([r](qint64 n) {
        r->counts.push_back(n);
        r->events.push_back("count");
    });
    scanner.setTotalBytesProgressBlock([r](double b) {
        r->totals.push_back(b);
        r->events.push_back("bytes");
    });
    scanner.setCurrentPathBlock([r](const std::string& p) {
        r->paths.push_back(p);
        r->events.push_back("path");
    });
    scanner.setCompletionBlock([r, s = &scanner](const KZFileList& files) {
        r->unreadableCount = s->unreadableFolderCount();
        r->unreadable = s->unreadableFolders();
        ++r->completions;
        r->events.push_back("done");
        EXPECT_EQ(files.size(), 1u);
        if (!files.empty()) r->root = kz_asDirectory(files.front());
    });
    scanner.setCancelledBlock([r] {
        ++r->cancellations;
        r->events.push_back("cancelled");
    });
    scanner.setFailureBlock([r](const QString& e) {
        ++r->failures;
        r->error = e;
        r->events.push_back("failed");
    });
    return r;
}

// Scans the folder and waits for the scan to end, then for all its work to be over (to catch
// a second ending that must not come).
std::shared_ptr<Reports> scan(const std::string& path, double minimum = 0,
                              const std::function<void(KZFileScanner&)>& configure = {})
{
    auto scanner = KZFileScanner::scannerWithPaths({path}, minimum);
    auto r = attach(*scanner);
    if (configure) configure(*scanner);
    scanner->start();
    EXPECT_TRUE(kztest::waitFor([&] { return r->endings() > 0; }, 60s));
    kztest::drainBackgroundWork();
    EXPECT_EQ(r->endings(), 1);
    return r;
}

// Every record below the root (the root excluded), by path.
std::map<std::string, KZFile*> records(KZDirectory* root)
{
    std::map<std::string, KZFile*> out;
    std::vector<KZDirectory*> stack{root};
    while (!stack.empty()) {
        KZDirectory* d = stack.back();
        stack.pop_back();
        for (KZFile* child : d->children()) {
            out[child->path()] = child;
            if (auto* sub = kz_asDirectory(child)) stack.push_back(sub);
        }
    }
    return out;
}

KZFile* child(KZDirectory* dir, const std::string& name)
{
    for (KZFile* c : dir->children())
        if (c->nameBytes() == name) return c;
    return nullptr;
}

// The logical size of every non-folder item below the folder, by an independent walk.
uint64_t logicalSize(const std::string& folder)
{
    return kz::deepSizeOfFolder(folder);
}

std::string slash(const std::string& folder)
{
    return folder + "/";
}

TEST(FileScanner, SizesAreLogicalAndTheRootTotalIsTheirSum)
{
    kztest::TempDir dir;
    const std::string top = dir / "top";
    kztest::makeFile(top + "/a.bin", 123456);
    kztest::makeFile(top + "/sub/b.txt", 70000);
    kztest::makeFile(top + "/sub/deeper/c.mp4", 1);
    kztest::makeFile(top + "/empty.txt", 0);
    kztest::makeDir(top + "/emptydir");
    kztest::makeSymlink("sub", top + "/to-sub");                                 // a link to a folder: its own size
    kztest::makeSymlink(top + "/a.bin", top + "/to-file");                       // never followed
    ASSERT_EQ(::link((top + "/a.bin").c_str(), (top + "/hard.bin").c_str()), 0); // per link
    ASSERT_EQ(::mkfifo((top + "/fifo").c_str(), 0644), 0);

    auto r = scan(top);
    ASSERT_EQ(r->completions, 1);
    KZDirectory* root = r->root.get();
    EXPECT_EQ(root->path(), slash(top));
    auto all = records(root);
    EXPECT_EQ(all.size(), 11u);
    EXPECT_EQ(all[top + "/a.bin"]->fileSize(), 123456);
    EXPECT_EQ(all[top + "/hard.bin"]->fileSize(), 123456);
    EXPECT_EQ(all[top + "/to-sub"]->fileSize(), 3);
    EXPECT_FALSE(all[top + "/to-sub"]->isDirectory());
    EXPECT_EQ(all[top + "/to-file"]->fileSize(), double(top.size() + 6));
    EXPECT_EQ(all[top + "/fifo"]->fileSize(), 0);
    EXPECT_EQ(all[top + "/emptydir/"]->fileSize(), 0);
    EXPECT_EQ(all[top + "/sub/"]->fileSize(), 70001);

    const double expected = 123456.0 * 2 + 70000 + 1 + 3 + double(top.size() + 6);
    EXPECT_EQ(root->fileSize(), expected);
    EXPECT_EQ(double(logicalSize(top)), expected);
    // The last count and total came before the completion and match the tree.
    ASSERT_FALSE(r->counts.empty());
    EXPECT_EQ(r->counts.back(), 11);
    EXPECT_EQ(r->totals.back(), expected);
    EXPECT_EQ(r->events.back(), "done");
}

TEST(FileScanner, RecordsCarryIdentityDatesAndFlags)
{
    kztest::TempDir dir;
    const std::string top = dir / "top";
    kztest::makeFile(top + "/.hidden", 5);
    kztest::makeFile(top + "/sys/inside.txt", 5);
    kztest::makeFile(top + "/plain.txt", 5);
    auto r =
        scan(top, 0, [&](KZFileScanner& s) { s.ignoreList().setSystemPaths(KZIgnoreList::PathList{top + "/sys/"}); });
    ASSERT_TRUE(r->root);
    auto all = records(r->root.get());
    EXPECT_TRUE(all[top + "/.hidden"]->isHidden());
    EXPECT_FALSE(all[top + "/plain.txt"]->isHidden());
    EXPECT_TRUE(all[top + "/sys/"]->isSystemFile());
    EXPECT_TRUE(all[top + "/sys/inside.txt"]->isSystemFile());
    EXPECT_FALSE(all[top + "/plain.txt"]->isSystemFile());

    for (const auto& [path, record] : all) {
        struct statx st {};
        std::string p = path;
        if (p.back() == '/') p.pop_back();
        ASSERT_EQ(::statx(AT_FDCWD, p.c_str(), AT_SYMLINK_NOFOLLOW, STATX_BASIC_STATS | STATX_BTIME, &st), 0);
        EXPECT_TRUE(record->hasDeviceAndInode());
        EXPECT_EQ(record->inode(), st.stx_ino) << path;
        EXPECT_EQ(record->device(), kz::deviceOf(st)) << path;
        EXPECT_EQ(record->modificationTime(), std::optional<qint64>(st.stx_mtime.tv_sec));
        if (st.stx_mask & STATX_BTIME) {
            EXPECT_EQ(record->creationTime(), std::optional<qint64>(st.stx_btime.tv_sec)) << path;
        } else {
            EXPECT_FALSE(record->creationTime());
        }
    }
    EXPECT_TRUE(r->root->hasDeviceAndInode());
}

TEST(FileScanner, RecordsKeepWhatAReusedInodeNumberDoesNot)
{
    for (auto fs : {kztest::IdentityFileSystem::WithBirthTimes, kztest::IdentityFileSystem::WithHandlesOnly,
                    kztest::IdentityFileSystem::WithNeither}) {
        SCOPED_TRACE(kztest::nameOf(fs));
        kztest::ScopedIdentityLimits limits(kztest::limitsFor(fs));
        kztest::TempDir dir;
        const std::string top = dir / "top";
        kztest::makeFile(top + "/file", 5);
        kztest::makeFile(top + "/sub/inner", 5);
        kztest::makeSymlink("file", top + "/link");
        auto r = scan(top);
        ASSERT_TRUE(r->root);
        auto all = records(r->root.get());
        all[top + "/"] = r->root.get();
        for (const auto& [path, record] : all) {
            const auto live = kz::fileIdentityOfPath(path);
            ASSERT_TRUE(live.has_value()) << path;
            EXPECT_EQ(record->identity(), *live) << path;
            EXPECT_NE(record->identity().kind, kz::IdentityStamp::None) << path;
            // Only a birth time is also a creation date.
            EXPECT_EQ(record->creationTime().has_value(), live->kind == kz::IdentityStamp::BirthTime) << path;
        }
        // Another program writes the file anew: its record no longer matches what is there.
        KZFile* file = all[top + "/file"];
        const kz::FileIdentity scanned = kztest::scannedIdentityOfAFileWrittenAnew(top + "/file", 5);
        if (scanned.inode == file->inode()) {
            struct statx st {};
            ASSERT_EQ(kz::statPath(top + "/file", kz::kFileIdentityMask, st), 0);
            EXPECT_FALSE(kz::isSameFileAtPath(file->identity(), top + "/file", st));
        }
    }
}

TEST(FileScanner, MinimumSizeKeepsBytesInTheFolderTotal)
{
    kztest::TempDir dir;
    const std::string top = dir / "top";
    kztest::makeFile(top + "/small", 49999);
    kztest::makeFile(top + "/exact", 50000);
    kztest::makeFile(top + "/sub/tiny", 10);

    auto r = scan(top, 50000);
    ASSERT_TRUE(r->root);
    KZDirectory* root = r->root.get();
    EXPECT_FALSE(child(root, "small"));
    EXPECT_TRUE(child(root, "exact"));
    EXPECT_EQ(root->ignoredSize(), 49999);
    auto* sub = kz_asDirectory(child(root, "sub"));
    ASSERT_TRUE(sub);
    EXPECT_EQ(sub->childCount(), 0u);
    EXPECT_EQ(sub->fileSize(), 10);
    EXPECT_EQ(root->fileSize(), 49999 + 50000 + 10);
    // Counted and added to the running total, but never reported as the current path.
    EXPECT_EQ(r->counts.back(), 4);
    EXPECT_EQ(r->totals.back(), 49999 + 50000 + 10);
    for (const std::string& p : r->paths) {
        EXPECT_EQ(p.find("small"), std::string::npos);
        EXPECT_EQ(p.find("tiny"), std::string::npos);
    }

    auto every = scan(top, 0);
    EXPECT_TRUE(child(every->root.get(), "small"));
    EXPECT_EQ(records(every->root.get()).size(), 4u);
}

TEST(FileScanner, OddNamesComeBackByteForByte)
{
    kztest::TempDir dir;
    const std::string top = dir / "top";
    const std::vector<std::string> names = {"latin1-\xe9t\xe9",
                                            "new\nline",
                                            "tab\tand space",
                                            "\xff\xfe",
                                            "emoji-\xf0\x9f\x98\x80",
                                            "back\\slash",
                                            ".."
                                            "."};
    for (const std::string& n : names) kztest::makeFile(top + "/" + n, 7);
    kztest::makeFile(top + "/dir-\x80\n/inner", 3);
    auto r = scan(top);
    ASSERT_TRUE(r->root);
    auto all = records(r->root.get());
    for (const std::string& n : names) {
        ASSERT_TRUE(all.count(top + "/" + n)) << n;
        EXPECT_EQ(all[top + "/" + n]->nameBytes(), n);
    }
    EXPECT_TRUE(all.count(top + "/dir-\x80\n/inner"));
    EXPECT_EQ(r->root->fileSize(), 7.0 * double(names.size()) + 3);
}

TEST(FileScanner, SocketsAndDeviceNodesAreItemsNeverOpened)
{
    kztest::TempDir dir;
    const std::string top = dir / "top";
    kztest::makeDir(top);
    const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    const std::string sockPath = top + "/sock";
    ASSERT_LT(sockPath.size(), sizeof addr.sun_path);
    std::memcpy(addr.sun_path, sockPath.c_str(), sockPath.size() + 1);
    ASSERT_EQ(::bind(sock, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    const bool haveDevice = ::mknod((top + "/zero").c_str(), S_IFCHR | 0600, makedev(1, 5)) == 0;
    kztest::makeFile(top + "/f", 9);

    auto r = scan(top);
    ::close(sock);
    ASSERT_TRUE(r->root);
    auto all = records(r->root.get());
    EXPECT_TRUE(all.count(top + "/sock"));
    if (haveDevice) {
        EXPECT_EQ(all[top + "/zero"]->fileSize(), 0);
    }
    EXPECT_EQ(r->root->fileSize(), 9);
}

TEST(FileScanner, SymlinkLoopsAreNotFollowed)
{
    kztest::TempDir dir;
    const std::string top = dir / "top";
    kztest::makeDir(top + "/a/b");
    kztest::makeSymlink("..", top + "/a/b/up");
    kztest::makeSymlink(top, top + "/a/root");
    kztest::makeSymlink("self", top + "/self");
    auto r = scan(top);
    ASSERT_TRUE(r->root);
    auto all = records(r->root.get());
    EXPECT_EQ(all.size(), 5u);
    EXPECT_EQ(r->root->fileSize(), 2.0 + double(top.size()) + 4);
}

TEST(FileScanner, IgnoredItemsNeitherCountNorAdd)
{
    kztest::TempDir dir;
    const std::string top = dir / "top";
    kztest::makeFile(top + "/skip/big", 1000);
    kztest::makeFile(top + "/keep/photo.JPG", 10);
    kztest::makeFile(top + "/keep/album.jpg/inside.txt", 10);
    kztest::makeFile(top + "/keep/note.txt", 20);
    kztest::makeFile(top + "/open/skip-me.jpg", 5);
    auto r = scan(top, 0, [&](KZFileScanner& s) {
        s.setIgnoredPaths(QStringList{QString::fromStdString(top + "/skip")});
        s.setIgnoredExtensions(QStringList{"jpg"});
        s.ignoreList().setAllowedPaths(KZIgnoreList::PathList{top + "/open/"});
    });
    ASSERT_TRUE(r->root);
    auto all = records(r->root.get());
    EXPECT_FALSE(all.count(top + "/skip/"));
    EXPECT_FALSE(all.count(top + "/keep/photo.JPG"));
    EXPECT_FALSE(all.count(top + "/keep/album.jpg/"));
    EXPECT_TRUE(all.count(top + "/keep/note.txt"));
    EXPECT_TRUE(all.count(top + "/open/skip-me.jpg")); // allowed overrides
    EXPECT_EQ(r->root->fileSize(), 25);
    EXPECT_EQ(r->counts.back(), 4); // keep, note.txt, open, skip-me.jpg
    EXPECT_EQ(r->totals.back(), 25);
}

TEST(FileScanner, EveryItemAnsweredAsTheIgnoreListWould)
{
    // A scan applies the same rules as filePathIsIgnored and pathIsChildOfSystemPath on every
    // item's whole path, whatever the lists hold.
    kztest::TempDir dir;
    const std::string top = dir / "top";
    const std::vector<std::string> names = {"a", "b.jpg", "C.JPG", "sys", "allow", ".x"};
    std::vector<std::string> folders = {top};
    for (int depth = 0; depth < 3; ++depth) {
        std::vector<std::string> next;
        for (const std::string& f : folders)
            for (const std::string& n : names) {
                kztest::makeFile(f + "/" + n + ".f", 1);
                next.push_back(f + "/" + n);
            }
        folders = next;
    }
    for (const std::string& f : folders) kztest::makeFile(f + "/leaf", 1);

    auto check = [&](const std::function<void(KZIgnoreList&)>& setLists) {
        KZIgnoreList reference(QStringLiteral("/nonexistent/IgnoreList.json"));
        setLists(reference);
        auto r = scan(top, 0, [&](KZFileScanner& s) {
            s.ignoreList().setSystemPaths(std::nullopt);
            s.ignoreList().setAllowedPaths(std::nullopt);
            setLists(s.ignoreList());
        });
        ASSERT_TRUE(r->root);
        auto all = records(r->root.get());
        size_t onDisk = 0;
        kz::TreeWalkCallbacks cb;
        cb.visit = [&](const kz::WalkEntry& e) {
            const bool isDir = S_ISDIR(e.st.stx_mode);
            const std::string path = isDir ? e.path + "/" : e.path;
            const bool ignored = reference.filePathIsIgnored(e.path);
            ++onDisk;
            EXPECT_EQ(all.count(path) == 0, ignored) << path;
            if (all.count(path)) {
                EXPECT_EQ(all[path]->isSystemFile(), reference.pathIsChildOfSystemPath(e.path)) << path;
            }
            return ignored ? kz::WalkAction::Skip : kz::WalkAction::Continue;
        };
        kz::walkTree(top, cb);
        EXPECT_GT(onDisk, 100u);
    };
    check([&](KZIgnoreList& l) {
        l.setIgnoredPaths(QStringList{QString::fromStdString(top + "/a/b.jpg"), QString::fromStdString(top + "/sys")});
        l.setIgnoredExtensions(QStringList{"jpg"});
        l.setSystemPaths(KZIgnoreList::PathList{top + "/a/", top + "/sys/a/"});
        l.setAllowedPaths(KZIgnoreList::PathList{top + "/sys/allow/", top + "/a/C.JPG/"});
    });
    check([&](KZIgnoreList& l) { l.setSystemPaths(KZIgnoreList::PathList{top}); });
    check([&](KZIgnoreList& l) { l.setIgnoredExtensions(QStringList{"f", "JPG"}); });
}

TEST(FileScanner, PackagesAreMeasuredDeepAndNotEntered)
{
    kztest::TempDir dir;
    const std::string top = dir / "top";
    kztest::makeFile(top + "/Tool.app/Contents/bin", 300);
    kztest::makeFile(top + "/Tool.app/Contents/small", 3);
    kztest::makeSymlink("..", top + "/Tool.app/Contents/up");
    kztest::makeFile(top + "/Kit.framework/Versions/A/lib", 400);
    kztest::makeFile(top + "/Kit.framework/Headers/h", 40);
    kztest::makeFile(top + "/Kit.framework/tiny", 4);
    kztest::makeFile(top + "/other.txt", 1);

    auto r = scan(top, 10);
    ASSERT_TRUE(r->root);
    KZDirectory* root = r->root.get();
    auto* app = kz_asDirectory(child(root, "Tool.app"));
    ASSERT_TRUE(app);
    EXPECT_TRUE(app->isPackage());
    EXPECT_EQ(app->childCount(), 0u);
    EXPECT_EQ(app->fileSize(), 303 + 2);
    auto* kit = kz_asDirectory(child(root, "Kit.framework"));
    ASSERT_TRUE(kit);
    EXPECT_TRUE(kit->isPackage());
    EXPECT_EQ(kit->childCount(), 0u);
    EXPECT_EQ(kit->fileSize(), 444);
    EXPECT_EQ(root->fileSize(), 305 + 444 + 1);
    // The package counts once and nothing inside it is reported; the framework is entered.
    EXPECT_EQ(r->counts.back(), 1 + 1 + 6 + 1);
    EXPECT_EQ(r->totals.back(), root->fileSize());
    for (const std::string& p : r->paths) {
        const size_t at = p.find("Tool.app/");
        EXPECT_TRUE(at == std::string::npos || at + 9 == p.size()) << p;
    }
}

TEST(FileScanner, AFrameworkAsRootLosesItsRecordsButNotItsTotal)
{
    kztest::TempDir dir;
    const std::string top = dir / "Kit.framework";
    kztest::makeFile(top + "/a/b", 400);
    kztest::makeFile(top + "/c", 40);
    auto r = scan(top);
    ASSERT_TRUE(r->root);
    EXPECT_EQ(r->root->childCount(), 0u);
    EXPECT_EQ(r->root->fileSize(), 440);
}

TEST(FileScanner, UnreadableItemsAreSkippedWithWhatIsBelowThem)
{
    kztest::TempDir dir;
    const std::string top = dir / "top";
    kztest::makeFile(top + "/secret/a", 100);
    kztest::makeFile(top + "/secret/b/c", 100);
    kztest::makeFile(top + "/private.txt", 50);
    kztest::makeFile(top + "/open.txt", 5);
    ::chmod((top + "/open.txt").c_str(), 0); // root reads everything
    std::mutex m;
    std::vector<std::string> asked;
    auto r = scan(top, 0, [&](KZFileScanner& s) {
        s.setReadabilityCheck([&](const std::string& path, bool isDirectory) {
            std::lock_guard lock(m);
            asked.push_back(path);
            EXPECT_EQ(isDirectory, path.back() == '/');
            return path != top + "/secret/" && path != top + "/private.txt";
        });
    });
    ASSERT_TRUE(r->root);
    auto all = records(r->root.get());
    EXPECT_EQ(all.size(), 1u);
    EXPECT_EQ(r->root->fileSize(), 5);
    EXPECT_EQ(r->counts.back(), 1);
    EXPECT_EQ(std::count(asked.begin(), asked.end(), top + "/secret/a"), 0);

    // Nothing readable: an empty root with a total of 0.
    auto none =
        scan(top, 0, [](KZFileScanner& s) { s.setReadabilityCheck([](const std::string&, bool) { return false; }); });
    ASSERT_TRUE(none->root);
    EXPECT_EQ(none->root->childCount(), 0u);
    EXPECT_EQ(none->root->fileSize(), 0);
}

TEST(FileScanner, FoldersThatCouldNotBeReadAreCountedAndNamed)
{
    kztest::TempDir dir;
    const std::string top = dir / "top";
    kztest::makeFile(top + "/secret/a", 100);
    kztest::makeFile(top + "/deep/er/locked/b", 100);
    kztest::makeFile(top + "/deep/er/fine/c", 7);
    kztest::makeFile(top + "/private.txt", 50);
    const std::string listed = top + "/unsearchable";
    kztest::makeFile(listed + "/d", 9);
    // What the system would answer for folders we may not list or enter, and a file we may
    // not read (which is no folder, and not counted).
    kztest::ScopedFaultHook hook([&](kz::FileOperation op, const std::string& path) {
        if (op == kz::FileOperation::Read && (path == top + "/secret" || path == top + "/private.txt")) return EACCES;
        if (op == kz::FileOperation::Search && (path == listed || path == top + "/deep/er/locked")) return EACCES;
        return 0;
    });
    auto r = scan(top);
    ASSERT_TRUE(r->root);
    ASSERT_EQ(r->completions, 1);
    // The map and the totals stay as the scan found them; the folders are named, sorted.
    EXPECT_EQ(r->root->fileSize(), 7);
    EXPECT_EQ(r->unreadableCount, 3);
    EXPECT_EQ(r->unreadable, (std::vector<std::string>{top + "/deep/er/locked/", top + "/secret/", listed + "/"}));

    // A scan that could read everything has nothing to say.
    auto clean = scan(top + "/deep/er/fine");
    EXPECT_EQ(clean->unreadableCount, 0);
    EXPECT_TRUE(clean->unreadable.empty());
}

TEST(FileScanner, ARootThatCantBeOpenedFailsWithAClearMessage)
{
    kztest::TempDir dir;
    kztest::makeFile(dir / "file", 4);
    kztest::makeFile(dir / "locked/inside", 4);
    kztest::ScopedFaultHook hook([](kz::FileOperation op, const std::string& path) {
        return op == kz::FileOperation::Read && path.find("/locked") != std::string::npos ? EACCES : 0;
    });
    const std::pair<std::string, QString> cases[] = {
        {dir / "missing", QString::fromLocal8Bit(std::strerror(ENOENT))},
        {dir / "file", QString::fromLocal8Bit(std::strerror(ENOTDIR))},
        {dir / "locked/", QString::fromLocal8Bit(std::strerror(EACCES))},
    };
    for (const auto& [path, reason] : cases) {
        auto r = scan(path);
        EXPECT_EQ(r->failures, 1) << path;
        EXPECT_EQ(r->completions, 0) << path;
        EXPECT_FALSE(r->root);
        EXPECT_TRUE(r->error.contains(QString::fromStdString(path.substr(0, path.find_last_not_of('/') + 1))))
            << r->error.toStdString();
        EXPECT_TRUE(r->error.contains(reason)) << r->error.toStdString();
        EXPECT_TRUE(r->counts.empty());
    }
}

TEST(FileScanner, ALinkChosenAsTheRootIsFollowedOnce)
{
    kztest::TempDir dir;
    kztest::makeFile(dir / "real/a", 5);
    kztest::makeSymlink("..", dir / "real/sub/up"); // a link inside: never followed
    kztest::makeSymlink("real", dir / "link");
    char* resolved = ::realpath((dir / "real").c_str(), nullptr);
    ASSERT_TRUE(resolved);
    const std::string real = resolved;
    ::free(resolved);
    for (const std::string& chosen : {dir / "link", dir / "link/", dir / "link//"}) {
        auto r = scan(chosen);
        ASSERT_EQ(r->completions, 1) << chosen;
        EXPECT_EQ(r->root->path(), real + "/");
        auto all = records(r->root.get());
        EXPECT_EQ(all.size(), 3u);
        EXPECT_TRUE(all.count(real + "/a"));
        ASSERT_TRUE(all.count(real + "/sub/up"));
        EXPECT_FALSE(all[real + "/sub/up"]->isDirectory());
        EXPECT_EQ(r->root->fileSize(), 5 + 2);
        ASSERT_FALSE(r->paths.empty());
        EXPECT_EQ(r->paths.back().rfind(real + "/", 0), 0u);
    }
}

TEST(FileScanner, NoEmptyLinesInTheLog)
{
    kztest::TempDir dir;
    kztest::makeFile(dir / "top/f", 1);
    QStringList log;
    auto previous = kz::setLogSink([&log](const QString& line) { log.append(line); });
    auto r = scan(dir / "top");
    kz::setLogSink(previous);
    ASSERT_EQ(r->completions, 1);
    EXPECT_TRUE(log.isEmpty()) << log.join('\n').toStdString();
}

TEST(FileScanner, ReadabilityIsWhatTheSystemGrantsNotThePermissionBits)
{
    kztest::TempDir dir;
    const std::string top = dir / "top";
    kztest::makeFile(top + "/granted/a", 300);
    kztest::makeFile(top + "/refused/b", 50);
    kztest::makeFile(top + "/closed/c", 60);
    kztest::makeFile(top + "/refused.txt", 20);
    kztest::makeFile(top + "/open.txt", 7);
    kztest::makeSymlink("refused.txt", top + "/link");
    // The bits let everyone read every item here; the system refuses to read two of them and
    // to enter a third, a folder it lets the process list (as it does when an access list
    // takes away what the bits give, or a server refuses the process). The fault layer gives
    // the system's answers, so the test sees the decision as any user would.
    std::mutex m;
    std::vector<std::pair<kz::FileOperation, std::string>> asked;
    kztest::ScopedFaultHook hook([&](kz::FileOperation op, const std::string& path) {
        {
            std::lock_guard lock(m);
            asked.emplace_back(op, path);
        }
        if (op == kz::FileOperation::Read && (path == top + "/refused" || path == top + "/refused.txt")) return EACCES;
        if (op == kz::FileOperation::Search && path == top + "/closed") return EACCES;
        return 0;
    });
    auto r = scan(top);
    ASSERT_EQ(r->completions, 1);
    auto all = records(r->root.get());
    EXPECT_TRUE(all.count(top + "/granted/a"));
    EXPECT_FALSE(all.count(top + "/refused/"));
    EXPECT_FALSE(all.count(top + "/closed/"));
    EXPECT_FALSE(all.count(top + "/refused.txt"));
    EXPECT_TRUE(all.count(top + "/link")); // a link is never followed: nothing of it is read
    EXPECT_EQ(r->root->fileSize(), 307 + 11);
    EXPECT_EQ(r->counts.back(), 4);
    // Every item was asked about, folders for reading and entering, files for reading only.
    std::lock_guard lock(m);
    auto wasAsked = [&](kz::FileOperation op, const std::string& path) {
        return std::find(asked.begin(), asked.end(), std::pair(op, path)) != asked.end();
    };
    EXPECT_TRUE(wasAsked(kz::FileOperation::Read, top + "/granted"));
    EXPECT_TRUE(wasAsked(kz::FileOperation::Search, top + "/granted"));
    EXPECT_TRUE(wasAsked(kz::FileOperation::Read, top + "/open.txt"));
    EXPECT_FALSE(wasAsked(kz::FileOperation::Search, top + "/open.txt"));
    EXPECT_FALSE(wasAsked(kz::FileOperation::Read, top + "/link"));
}

TEST(FileScanner, ItemsThatVanishDuringTheScan)
{
    kztest::TempDir dir;
    const std::string top = dir / "top";
    kztest::makeFile(top + "/victim/inner/x", 10);
    for (int i = 0; i < 50; ++i) kztest::makeFile(top + "/many/f" + std::to_string(i), 1);
    kztest::makeFile(top + "/stay", 2);
    std::atomic<bool> removedMany{false};
    auto r = scan(top, 0, [&](KZFileScanner& s) {
        s.setReadabilityCheck([&](const std::string& path, bool) {
            if (path == top + "/victim/") {
                // Looked at, then gone before it is opened.
                ::unlink((top + "/victim/inner/x").c_str());
                ::rmdir((top + "/victim/inner").c_str());
                ::rmdir((top + "/victim").c_str());
            }
            if (path.rfind(top + "/many/", 0) == 0 && !removedMany.exchange(true)) {
                for (int i = 0; i < 50; ++i) ::unlink((top + "/many/f" + std::to_string(i)).c_str());
            }
            return true;
        });
    });
    ASSERT_EQ(r->completions, 1);
    auto all = records(r->root.get());
    ASSERT_TRUE(all.count(top + "/victim/"));
    EXPECT_EQ(kz_asDirectory(all[top + "/victim/"])->childCount(), 0u);
    auto* many = kz_asDirectory(all[top + "/many/"]);
    ASSERT_TRUE(many);
    EXPECT_LE(many->childCount(), 1u); // only the one looked at before the others went
    EXPECT_EQ(r->root->fileSize(), 2 + double(many->childCount()));
    EXPECT_EQ(r->totals.back(), r->root->fileSize());
}

// ---- the program's own removals ----

// Records whose name is a private name the remover sets items aside under.
std::vector<std::string> asideRecords(KZDirectory* root)
{
    std::vector<std::string> out;
    for (const auto& [path, record] : records(root))
        if (record->nameBytes().rfind(".sizemere-removing-", 0) == 0) out.push_back(path);
    return out;
}

// Holds the program's removals at their first unlink at or below each given path (through
// the fault hook) until opened: the removing threads wait there, each item set aside under
// the remover's private name, a folder half emptied.
class RemovalGates {
public:
    explicit RemovalGates(std::vector<std::string> paths) : state_(std::make_shared<State>())
    {
        state_->paths = std::move(paths);
        state_->reached.assign(state_->paths.size(), false);
        kz::setFileFaultHook([state = state_](kz::FileOperation op, const std::string& path) {
            if (op != kz::FileOperation::Unlink) return 0;
            for (size_t i = 0; i < state->paths.size(); ++i) {
                const std::string& gate = state->paths[i];
                const bool atOrBelow = path == gate || path.rfind(gate + "/", 0) == 0;
                if (!atOrBelow) continue;
                {
                    std::lock_guard lock(state->mutex);
                    if (state->reached[i]) return 0;
                    state->reached[i] = true;
                }
                while (!state->open) std::this_thread::sleep_for(1ms);
            }
            return 0;
        });
    }
    ~RemovalGates()
    {
        open();
        for (std::thread& t : threads_) t.join();
        kz::setFileFaultHook({});
    }
    // Starts removing the item on a thread of its own; waits until it stands at its gate.
    bool remove(const std::string& path)
    {
        threads_.emplace_back([path] { kz::removeItemAtPath(path); });
        const size_t i = size_t(std::find(state_->paths.begin(), state_->paths.end(), path) - state_->paths.begin());
        const auto until = std::chrono::steady_clock::now() + 60s;
        for (;;) {
            {
                std::lock_guard lock(state_->mutex);
                if (state_->reached.at(i)) return true;
            }
            if (std::chrono::steady_clock::now() > until) return false;
            std::this_thread::sleep_for(1ms);
        }
    }
    // Lets the removals go on, and waits for them to end.
    void open()
    {
        state_->open = true;
        for (std::thread& t : threads_) t.join();
        threads_.clear();
    }

private:
    struct State {
        std::vector<std::string> paths;
        std::mutex mutex;
        std::vector<bool> reached;
        std::atomic<bool> open{false};
    };
    std::shared_ptr<State> state_;
    std::vector<std::thread> threads_;
};

TEST(FileScanner, WhatTheProgramIsRemovingIsNeverRecorded)
{
    kztest::TempDir dir;
    const std::string top = dir / "top";
    for (int i = 0; i < 20; ++i) kztest::makeFile(top + "/big/sub/f" + std::to_string(i), 100);
    kztest::makeFile(top + "/big/g", 10);
    kztest::makeFile(top + "/file.bin", 30);
    // Another name of that file, which its removal leaves in place.
    ASSERT_EQ(::link((top + "/file.bin").c_str(), (top + "/other-name.bin").c_str()), 0);
    kztest::makeFile(top + "/stay", 5);
    RemovalGates gates({top + "/big", top + "/file.bin"});
    ASSERT_TRUE(gates.remove(top + "/big"));
    ASSERT_TRUE(gates.remove(top + "/file.bin"));
    ASSERT_FALSE(kztest::exists(top + "/big")) << "set aside under the remover's private name";
    ASSERT_FALSE(kztest::exists(top + "/file.bin"));

    auto r = scan(top);
    ASSERT_EQ(r->completions, 1);
    auto all = records(r->root.get());
    std::set<std::string> seen;
    for (const auto& [path, record] : all) seen.insert(path);
    EXPECT_EQ(seen, (std::set<std::string>{top + "/other-name.bin", top + "/stay"}));
    EXPECT_EQ(r->root->fileSize(), 35);
    EXPECT_EQ(r->counts.back(), 2);
    // Once the removals are over, nothing of them is left to record.
    gates.open();
    EXPECT_FALSE(kztest::exists(top + "/big"));
    EXPECT_TRUE(asideRecords(scan(top)->root.get()).empty());
}

TEST(FileScanner, AFolderWhoseRemovalBeginsAfterTheScanMetItLeavesNoRecord)
{
    // Each removal begins after the walk has looked at the folder, before its record is made
    // and its contents read: the record the walk makes is of something going or gone.
    kztest::TempDir dir;
    const std::string top = dir / "top";
    kztest::makeFile(top + "/big/f1", 100);
    kztest::makeFile(top + "/big/sub/f2", 200);
    kztest::makeFile(top + "/went/x", 7);
    kztest::makeFile(top + "/kept/locked", 3);
    kztest::makeFile(top + "/kept/free", 4);
    kztest::makeFile(top + "/stay", 5);
    RemovalGates gates({top + "/big"});
    // What stays of a removal that fails partly goes back under its name, and is recorded.
    const kz::FileFaultHook gate = kz::setFileFaultHook({});
    kz::setFileFaultHook([gate, locked = top + "/kept/locked"](kz::FileOperation op, const std::string& path) {
        if (op == kz::FileOperation::Unlink && path == locked) return EACCES;
        return gate(op, path);
    });
    kz::RemovalResult went, kept;
    bool held = false;
    auto r = scan(top, 0, [&](KZFileScanner& s) {
        s.setReadabilityCheck([&](const std::string& path, bool) {
            if (path == top + "/big/") held = gates.remove(top + "/big");           // still going at the end
            if (path == top + "/went/") went = kz::removeItemAtPath(top + "/went"); // gone before the end
            if (path == top + "/kept/") kept = kz::removeItemAtPath(top + "/kept");
            return true;
        });
    });
    ASSERT_EQ(r->completions, 1);
    ASSERT_TRUE(held);
    EXPECT_TRUE(went.succeeded());
    EXPECT_EQ(kept.error, ENOTEMPTY);
    std::set<std::string> seen;
    for (const auto& [path, record] : records(r->root.get())) seen.insert(path);
    EXPECT_EQ(seen, (std::set<std::string>{top + "/kept/", top + "/kept/locked", top + "/stay"}));
    EXPECT_EQ(r->root->fileSize(), 8);

    gates.open();
    EXPECT_FALSE(kztest::exists(top + "/big"));
    EXPECT_EQ(seen.size(), records(r->root.get()).size());
}

// Makes `levels` nested folders named "d" below `top` (whose paths outgrow PATH_MAX) with a
// 7-byte file at the bottom, working through descriptors.
void makeDeepChain(const std::string& top, int levels)
{
    int fd = ::open(top.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    for (int i = 0; i < levels; ++i) {
        ASSERT_EQ(::mkdirat(fd, "d", 0755), 0);
        const int next = ::openat(fd, "d", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        ::close(fd);
        ASSERT_GE(next, 0);
        fd = next;
    }
    const int leaf = ::openat(fd, "leaf", O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    ASSERT_GE(leaf, 0);
    ASSERT_EQ(::ftruncate(leaf, 7), 0);
    ::close(leaf);
    ::close(fd);
}

// Removes such a chain one level at a time from the top, so no path ever gets long.
void removeDeepChain(const std::string& top)
{
    const int fd = ::open(top.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    for (;;) {
        const int d = ::openat(fd, "d", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (d < 0) break;
        ::unlinkat(d, "leaf", 0);
        const bool more = ::renameat(d, "d", fd, "t") == 0;
        ::close(d);
        ::unlinkat(fd, "d", AT_REMOVEDIR);
        if (!more || ::renameat(fd, "t", fd, "d") != 0) break;
    }
    ::close(fd);
}

TEST(FileScanner, ATreeTenThousandFoldersDeep)
{
    kztest::TempDir dir;
    const std::string top = dir / "deep";
    kztest::makeDir(top);
    constexpr int kLevels = 10000;
    makeDeepChain(top, kLevels);
    {
        auto r = scan(top);
        ASSERT_EQ(r->completions, 1);
        KZDirectory* d = r->root.get();
        int levels = 0;
        while (d->childCount() == 1 && kz_asDirectory(d->children()[0])) {
            d = kz_asDirectory(d->children()[0]);
            ++levels;
        }
        EXPECT_EQ(levels, kLevels);
        ASSERT_EQ(d->childCount(), 1u);
        KZFile* leaf = d->children()[0];
        std::string expected = top;
        for (int i = 0; i < kLevels; ++i) expected += "/d";
        expected += "/leaf";
        EXPECT_GT(expected.size(), size_t(PATH_MAX));
        EXPECT_EQ(leaf->path(), expected);
        EXPECT_EQ(r->root->fileSize(), 7);
        EXPECT_EQ(r->counts.back(), kLevels + 1);
        // Every folder total below the root was computed before the hand-over.
        EXPECT_EQ(kz_asDirectory(r->root->children()[0])->directoryFileSize(), 7);
        ASSERT_FALSE(r->paths.empty());
        EXPECT_EQ(r->paths.back().rfind(top, 0), 0u);
    } // the tree goes without recursion
    removeDeepChain(top);
    EXPECT_FALSE(kztest::exists(top + "/d"));
}

TEST(FileScanner, BindMountLoopsAreNotEntered)
{
    KZTEST_IN_MOUNT_NAMESPACE();
    kztest::TempDir dir;
    const std::string top = dir / "top";
    kztest::makeFile(top + "/a/file", 11);
    kztest::makeDir(top + "/a/b/loop");
    const auto loop = kztest::ScratchMount::bind(top + "/a", top + "/a/b/loop");
    if (!loop.mounted()) GTEST_SKIP() << loop.refusal();
    auto r = scan(top);
    ASSERT_EQ(r->completions, 1);
    auto all = records(r->root.get());
    ASSERT_TRUE(all.count(top + "/a/b/loop/"));
    EXPECT_EQ(kz_asDirectory(all[top + "/a/b/loop/"])->childCount(), 0u);
    EXPECT_EQ(r->root->fileSize(), 11);
}

TEST(FileScanner, ABindMountOfAFolderAboveTheRootIsALoopToo)
{
    // p is mounted again at p/a/b; scanning p/a must not walk back out through b.
    KZTEST_IN_MOUNT_NAMESPACE();
    kztest::TempDir dir;
    const std::string p = dir / "p";
    kztest::makeFile(p + "/outside", 200);
    kztest::makeFile(p + "/a/file", 300);
    kztest::makeDir(p + "/a/b");
    const auto loop = kztest::ScratchMount::bind(p, p + "/a/b");
    if (!loop.mounted()) GTEST_SKIP() << loop.refusal();
    auto r = scan(p + "/a");
    ASSERT_EQ(r->completions, 1);
    auto all = records(r->root.get());
    ASSERT_TRUE(all.count(p + "/a/b/"));
    EXPECT_EQ(kz_asDirectory(all[p + "/a/b/"])->childCount(), 0u);
    EXPECT_EQ(r->root->fileSize(), 300);
    EXPECT_EQ(r->totals.back(), 300);
    // The serial walk behind deep sizes agrees.
    EXPECT_EQ(kz::deepSizeOfFolder(p + "/a"), 300u);
    // The same from the root of the loop itself, and from inside the mount.
    EXPECT_EQ(scan(p)->root->fileSize(), 500);
    EXPECT_EQ(scan(p + "/a/b/a")->root->fileSize(), 300);
}

TEST(FileScanner, PseudoFileSystemsAreNotEntered)
{
    KZTEST_IN_MOUNT_NAMESPACE();
    kztest::TempDir dir;
    const std::string top = dir / "top";
    kztest::makeDir(top + "/proc");
    kztest::makeDir(top + "/tmp");
    kztest::makeFile(top + "/f", 3);
    const auto proc = kztest::ScratchMount::proc(top + "/proc");
    if (!proc.mounted()) GTEST_SKIP() << proc.refusal();
    const kztest::ScratchMount tmp(top + "/tmp");
    if (!tmp.mounted()) GTEST_SKIP() << tmp.refusal();
    kztest::makeFile(top + "/tmp/t", 4);
    auto r = scan(top);
    ASSERT_EQ(r->completions, 1);
    auto all = records(r->root.get());
    ASSERT_TRUE(all.count(top + "/proc/"));
    EXPECT_EQ(kz_asDirectory(all[top + "/proc/"])->childCount(), 0u);
    // An ordinary file system mounted inside is entered.
    EXPECT_TRUE(all.count(top + "/tmp/t"));
    EXPECT_EQ(r->root->fileSize(), 7);
    // Scanning the pseudo-file system itself finds nothing.
    auto p = scan(proc.path());
    ASSERT_EQ(p->completions, 1);
    EXPECT_EQ(p->root->childCount(), 0u);
}

TEST(FileScanner, NestedAndRepeatedPathsAreDropped)
{
    QStringList log;
    auto previous = kz::setLogSink([&log](const QString& line) { log.append(line); });
    auto nested = KZFileScanner::scannerWithPaths({"/a/b", "/a"}, 0);
    auto apart = KZFileScanner::scannerWithPaths({"/a", "/x"}, 0);
    auto twice = KZFileScanner::scannerWithPaths({"/a", "/a/", "/a/c"}, 0);
    kz::setLogSink(previous);
    EXPECT_EQ(nested->paths(), (std::vector<std::string>{"/a"}));
    EXPECT_TRUE(log.contains(QStringLiteral("[DEBUG] Ignoring path: /a/b because it's a child of /a")));
    EXPECT_EQ(apart->paths(), (std::vector<std::string>{"/a", "/x"}));
    EXPECT_EQ(twice->paths(), (std::vector<std::string>{"/a"}));

    // Only the first path is scanned.
    kztest::TempDir dir;
    kztest::makeFile(dir / "one/f", 1);
    kztest::makeFile(dir / "two/g", 2);
    auto scanner = KZFileScanner::scannerWithPaths({dir / "one", dir / "two"}, 0);
    auto r = attach(*scanner);
    scanner->start();
    ASSERT_TRUE(kztest::waitFor([&] { return r->endings() > 0; }));
    EXPECT_EQ(r->root->path(), dir / "one/");
    EXPECT_EQ(r->root->fileSize(), 1);
}

TEST(FileScanner, NoPathFailsAtOnceAndReportsNothingElse)
{
    auto scanner = KZFileScanner::scannerWithPaths({}, 0);
    auto r = attach(*scanner);
    scanner->start();
    EXPECT_EQ(r->failures, 1); // on the calling thread, before start returns
    EXPECT_TRUE(r->error.isEmpty());
    kztest::drainBackgroundWork();
    EXPECT_EQ(r->events, (std::vector<std::string>{"failed"}));
}

TEST(FileScanner, CancelDuringTheWalkEndsInTheCancelledBlockOnly)
{
    kztest::TempDir dir;
    for (int i = 0; i < 200; ++i)
        kztest::makeFile(dir / ("top/d" + std::to_string(i % 20) + "/f" + std::to_string(i)), 1);
    auto scanner = KZFileScanner::scannerWithPaths({dir / "top"}, 0);
    auto r = attach(*scanner);
    KZFileScanner* raw = scanner.get();
    std::atomic<int> seen{0};
    scanner->setReadabilityCheck([raw, &seen](const std::string&, bool) {
        if (++seen == 5) raw->cancel();
        return true;
    });
    scanner->start();
    ASSERT_TRUE(kztest::waitFor([&] { return r->endings() > 0; }));
    kztest::drainBackgroundWork();
    EXPECT_EQ(r->cancellations, 1);
    EXPECT_EQ(r->completions, 0);
    EXPECT_TRUE(scanner->wasCancelled());
    EXPECT_LT(seen.load(), 200);

    // A cancel after the completion changes nothing.
    auto done = scan(dir / "top");
    EXPECT_EQ(done->completions, 1);
}

TEST(FileScanner, ReportsAreCoalescedAndClearedBlocksStaySilent)
{
    kztest::TempDir dir;
    for (int i = 0; i < 4000; ++i)
        kztest::makeFile(dir / ("top/d" + std::to_string(i % 40) + "/f" + std::to_string(i)), 1);
    auto r = scan(dir / "top");
    ASSERT_EQ(r->completions, 1);
    EXPECT_LT(r->counts.size(), 400u); // at most about 30 a second, never one per item
    EXPECT_EQ(r->counts.back(), 4040);
    EXPECT_TRUE(std::is_sorted(r->counts.begin(), r->counts.end()));
    // The final count, total and path arrive together, just before the completion.
    const size_t n = r->events.size();
    ASSERT_GE(n, 4u);
    EXPECT_EQ(std::vector<std::string>(r->events.end() - 4, r->events.end()),
              (std::vector<std::string>{"count", "bytes", "path", "done"}));
    EXPECT_EQ(r->root->fileSize(), 4000);

    auto scanner = KZFileScanner::scannerWithPaths({dir / "top"}, 0);
    auto quiet = attach(*scanner);
    scanner->start();
    scanner->setProgressBlock(nullptr);
    scanner->setCurrentPathBlock(nullptr);
    ASSERT_TRUE(kztest::waitFor([&] { return quiet->endings() > 0; }));
    EXPECT_TRUE(quiet->counts.empty());
    EXPECT_TRUE(quiet->paths.empty());
    EXPECT_FALSE(quiet->totals.empty());
}

TEST(FileScanner, NothingReachesAnOwnerThatIsGone)
{
    kztest::TempDir dir;
    for (int i = 0; i < 2000; ++i)
        kztest::makeFile(dir / ("top/d" + std::to_string(i % 50) + "/f" + std::to_string(i)), 1);
    auto scanner = KZFileScanner::scannerWithPaths({dir / "top"}, 0);
    auto r = attach(*scanner);
    auto* owner = new QObject;
    scanner->setOwner(owner);
    scanner->start();
    delete owner;
    EXPECT_TRUE(scanner->wasCancelled());
    std::weak_ptr<KZFileScanner> weak = scanner;
    scanner.reset();
    kztest::drainBackgroundWork(); // the scan has ended and what it sent has been handled
    EXPECT_EQ(r->endings(), 0);
    EXPECT_TRUE(r->events.empty());
    EXPECT_TRUE(weak.expired()); // the scan let go of it
}

TEST(FileScanner, TheOwnerMayDropItsReferenceWhileTheScanRuns)
{
    kztest::TempDir dir;
    kztest::makeFile(dir / "top/f", 3);
    auto scanner = KZFileScanner::scannerWithPaths({dir / "top"}, 0);
    auto r = attach(*scanner);
    scanner->start();
    scanner.reset();
    ASSERT_TRUE(kztest::waitFor([&] { return r->endings() > 0; }));
    EXPECT_EQ(r->completions, 1);
    EXPECT_EQ(r->root->fileSize(), 3);
}

TEST(FileScanner, TheRootTotalIsLeftForTheMainThread)
{
    kztest::TempDir dir;
    kztest::makeFile(dir / "top/sub/f", 3);
    kztest::makeFile(dir / "top/g", 4);
    auto r = scan(dir / "top");
    ASSERT_TRUE(r->root);
    EXPECT_EQ(r->root->directoryFileSize(), 0);
    EXPECT_EQ(kz_asDirectory(child(r->root.get(), "sub"))->directoryFileSize(), 3);
    EXPECT_EQ(r->root->fileSize(), 7);
}

} // namespace
