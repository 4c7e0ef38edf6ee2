#include "model/KZFile.h"
#include "model/KZPath.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

namespace {

KZFilePtr fileOfSize(KZDirectory* parent, const char* name, double size)
{
    KZFilePtr f = KZFile::childWithName(parent, name);
    f->setFileSize(size);
    parent->addChild(f.get());
    return f;
}

TEST(FileRecord, SetsOfRecordsGoByIdentity)
{
    KZDirectoryPtr dir = KZDirectory::fileWithPath("/a/", false);
    KZFilePtr x = KZFile::fileWithPath("/a/x", false), y = KZFile::fileWithPath("/a/x", false);
    const KZFileSet set({x, nullptr, x});
    EXPECT_TRUE(set.contains(x.get()));
    EXPECT_FALSE(set.contains(y.get())) << "another record of the same path";
    EXPECT_FALSE(set.contains(dir.get()));
    EXPECT_EQ(kz_firstOccurrences({x, y, nullptr, x, dir, y}),
              (std::vector<bool>{true, true, false, false, true, false}));
}

TEST(FileRecord, PathsOfFoldersEndWithSlash)
{
    EXPECT_EQ(KZDirectory::fileWithPath("/a/b")->path(), "/a/b/");
    EXPECT_EQ(KZDirectory::fileWithPath("/a/b/")->path(), "/a/b/");
    EXPECT_EQ(KZDirectory::fileWithPath("/")->path(), "/");
    EXPECT_EQ(KZFile::fileWithPath("/a/b/")->path(), "/a/b/");
    EXPECT_EQ(KZFile::fileWithPath("/a/b")->path(), "/a/b");
}

TEST(FileRecord, ChildPathsComeFromTheParentChain)
{
    KZDirectoryPtr root = KZDirectory::fileWithPath("/r");
    KZDirectoryPtr sub = KZDirectory::childWithName(root.get(), "s");
    root->addChild(sub.get());
    KZFilePtr f = fileOfSize(sub.get(), "f.txt", 3);
    EXPECT_EQ(f->path(), "/r/s/f.txt");
    EXPECT_EQ(sub->path(), "/r/s/");
    EXPECT_EQ(f->fileName(), QStringLiteral("f.txt"));
    EXPECT_EQ(root->fileName(), QStringLiteral("r"));
    EXPECT_EQ(KZDirectory::fileWithPath("/")->nameBytes(), "/");
}

TEST(FileRecord, NamesOfEveryLengthKeepTheirBytesAndTheRecordsAroundThem)
{
    // Short names live inside the record, longer ones run past it: every length up to a
    // long one, each between neighbours whose names must stay as they were.
    KZDirectoryPtr root = KZDirectory::fileWithPath("/r");
    std::vector<KZFilePtr> files;
    std::vector<KZDirectoryPtr> folders;
    for (size_t length = 0; length <= 300; ++length) {
        std::string name;
        for (size_t i = 0; i < length; ++i) name.push_back(char('a' + (i + length) % 26));
        files.push_back(KZFile::childWithName(root.get(), name));
        folders.push_back(KZDirectory::childWithName(root.get(), name + "d"));
        files.back()->setFileSize(double(length));
        files.back()->setIdentity({KZFile::recordedDevice(length), 1000 + length, kz::IdentityStamp::None, 0});
    }
    for (size_t length = 0; length <= 300; ++length) {
        std::string name;
        for (size_t i = 0; i < length; ++i) name.push_back(char('a' + (i + length) % 26));
        EXPECT_EQ(files[length]->nameBytes(), name);
        EXPECT_EQ(files[length]->path(), "/r/" + name);
        EXPECT_EQ(files[length]->fileSize(), double(length)) << "the name ran into the record's fields";
        EXPECT_EQ(files[length]->inode(), 1000 + length);
        EXPECT_EQ(files[length]->device(), KZFile::recordedDevice(length));
        EXPECT_EQ(folders[length]->path(), "/r/" + name + "d/");
    }
    const std::string longPath = "/" + std::string(5000, 'p') + "/" + std::string(255, 'n');
    EXPECT_EQ(KZFile::fileWithPath(longPath)->path(), longPath);
    EXPECT_EQ(KZFile::fileWithPath(longPath)->nameBytes(), std::string(255, 'n'));
}

TEST(FileRecord, PathSurvivesDetachingAndParentDeath)
{
    KZFilePtr keep;
    KZDirectoryPtr keepDir;
    {
        KZDirectoryPtr root = KZDirectory::fileWithPath("/r");
        KZDirectoryPtr sub = KZDirectory::childWithName(root.get(), "s");
        root->addChild(sub.get());
        keep = fileOfSize(sub.get(), "f", 1);
        keepDir = KZDirectory::childWithName(sub.get(), "d");
        sub->addChild(keepDir.get());
        KZFilePtr g = fileOfSize(keepDir.get(), "g", 1);
        sub->removeChild(keepDir.get());
        EXPECT_EQ(keepDir->parent(), nullptr);
        EXPECT_EQ(keepDir->path(), "/r/s/d/");
        EXPECT_EQ(g->path(), "/r/s/d/g");
    }
    // The tree is gone; records still held keep their paths, and their parent reads null.
    EXPECT_EQ(keep->parent(), nullptr);
    EXPECT_EQ(keep->path(), "/r/s/f");
    EXPECT_EQ(keepDir->path(), "/r/s/d/");
    ASSERT_EQ(keepDir->childCount(), 1u);
    EXPECT_EQ(keepDir->children()[0]->path(), "/r/s/d/g");
}

TEST(FileRecord, TypeCategories)
{
    EXPECT_EQ(KZDirectory::fileWithPath("/x/Tools.app")->fileType(), KZFileTypeApplication);
    EXPECT_EQ(KZDirectory::fileWithPath("/x/Tools.APP")->fileType(), KZFileTypeOther);
    KZFilePtr pdf = KZFile::fileWithPath("/x/x.pdf");
    EXPECT_EQ(pdf->fileType(), KZFileTypeText);
    EXPECT_TRUE(pdf->UTI().empty());
    EXPECT_EQ(KZFile::fileWithPath("/x/x.PDF")->fileType(), KZFileTypeOther);
    EXPECT_EQ(KZFile::fileWithPath("/x/a.JPG")->fileType(), KZFileTypeImage);
    EXPECT_EQ(KZFile::fileWithPath("/x/a.mp4")->fileType(), KZFileTypeVideo);
    EXPECT_EQ(KZFile::fileWithPath("/x/a.flac")->fileType(), KZFileTypeAudio);
    EXPECT_EQ(KZFile::fileWithPath("/x/a.tar")->fileType(), KZFileTypeArchive);
    EXPECT_EQ(KZFile::fileWithPath("/x/noext")->fileType(), KZFileTypeOther);
    EXPECT_EQ(KZFile::fileWithPath("/x/.hidden")->fileType(), KZFileTypeOther);
}

TEST(FileRecord, PackageTest)
{
    KZDirectoryPtr root = KZDirectory::fileWithPath("/p");
    KZDirectoryPtr kit = KZDirectory::childWithName(root.get(), "Kit.Framework");
    root->addChild(kit.get());
    EXPECT_TRUE(kit->isPackage());
    EXPECT_TRUE(kit->isPackage());
    KZDirectoryPtr inner = KZDirectory::childWithName(kit.get(), "Inner");
    kit->addChild(inner.get());
    EXPECT_TRUE(inner->isPackage());
    EXPECT_TRUE(inner->inPackage());
    KZFilePtr f = fileOfSize(inner.get(), "a", 1);
    EXPECT_TRUE(f->inPackage());

    KZDirectoryPtr plain = KZDirectory::childWithName(root.get(), "plain");
    root->addChild(plain.get());
    EXPECT_FALSE(plain->isPackage());
    EXPECT_TRUE(plain->checkedIsPackage());
}

TEST(FileRecord, FolderTotalsAreCachedOnce)
{
    KZDirectoryPtr empty = KZDirectory::fileWithPath("/e");
    EXPECT_EQ(empty->fileSize(), 0);
    empty->setIgnoredSize(10);
    EXPECT_EQ(empty->fileSize(), 10);

    KZDirectoryPtr a = KZDirectory::fileWithPath("/a");
    KZFilePtr big = fileOfSize(a.get(), "big", 200);
    KZFilePtr small = fileOfSize(a.get(), "small", 100);
    EXPECT_EQ(a->fileSize(), 300);
    a->deleteChild(small.get());
    EXPECT_EQ(a->fileSize(), 300);

    KZDirectoryPtr b = KZDirectory::fileWithPath("/b");
    fileOfSize(b.get(), "big", 200);
    KZFilePtr s2 = fileOfSize(b.get(), "small", 100);
    b->deleteChild(s2.get());
    EXPECT_EQ(b->fileSize(), 200);

    KZDirectoryPtr c = KZDirectory::fileWithPath("/c");
    fileOfSize(c.get(), "big", 200);
    KZFilePtr s3 = fileOfSize(c.get(), "small", 100);
    c->removeChild(s3.get());
    EXPECT_EQ(c->fileSize(), 300);
    EXPECT_EQ(s3->parent(), nullptr);

    c->removeAllChildren();
    EXPECT_EQ(c->childCount(), 0u);
    EXPECT_EQ(c->fileSize(), 300);
}

TEST(FileRecord, AFolderScannedAgainTakesItsPlaceAndTheTotalsAboveFollow)
{
    // /r holds /r/m (a folder of 100) and /r/z (50); /r/m/old went earlier (kept by /r/m).
    KZDirectoryPtr root = KZDirectory::fileWithPath("/r");
    KZDirectoryPtr music = KZDirectory::childWithName(root.get(), "m");
    root->addChild(music.get());
    fileOfSize(music.get(), "a", 100);
    KZFilePtr old = fileOfSize(music.get(), "old", 30);
    KZFilePtr z = fileOfSize(root.get(), "z", 50);
    music->removeChild(old.get());
    EXPECT_EQ(root->fileSize(), 180);
    EXPECT_EQ(music->fileSize(), 130);

    // Scanned again: what is on disk now, 100 and a new 157.
    KZDirectoryPtr fresh = KZDirectory::childWithName(root.get(), "m");
    fileOfSize(fresh.get(), "a", 100);
    fileOfSize(fresh.get(), "new", 157);
    root->replaceChild(music.get(), fresh.get());
    EXPECT_EQ(root->children()[0], fresh.get()) << "the fresh record keeps the old one's place";
    EXPECT_EQ(root->children()[1], z.get());
    EXPECT_EQ(root->childCount(), 2u);
    EXPECT_EQ(fresh->parent(), root.get());
    EXPECT_EQ(music->parent(), nullptr);
    EXPECT_EQ(root->removedFileSizes(), 0) << "the old record's size is not kept";
    EXPECT_EQ(root->fileSize(), 307);

    // Deep: every computed total on the way up moves; one not computed yet sums the fresh one.
    KZDirectoryPtr top = KZDirectory::fileWithPath("/t");
    KZDirectoryPtr mid = KZDirectory::childWithName(top.get(), "u");
    top->addChild(mid.get());
    KZDirectoryPtr low = KZDirectory::childWithName(mid.get(), "v");
    mid->addChild(low.get());
    fileOfSize(low.get(), "f", 10);
    fileOfSize(top.get(), "g", 5);
    EXPECT_EQ(top->fileSize(), 15);
    KZDirectoryPtr lowAgain = KZDirectory::childWithName(mid.get(), "v");
    fileOfSize(lowAgain.get(), "f", 4);
    mid->replaceChild(low.get(), lowAgain.get());
    EXPECT_EQ(mid->fileSize(), 4);
    EXPECT_EQ(top->fileSize(), 9);

    KZDirectoryPtr lazy = KZDirectory::fileWithPath("/l");
    KZDirectoryPtr inner = KZDirectory::childWithName(lazy.get(), "i");
    lazy->addChild(inner.get());
    fileOfSize(inner.get(), "f", 10);
    KZDirectoryPtr innerAgain = KZDirectory::childWithName(lazy.get(), "i");
    fileOfSize(innerAgain.get(), "f", 25);
    lazy->replaceChild(inner.get(), innerAgain.get());
    EXPECT_EQ(lazy->fileSize(), 25);

    // A record that is not a child changes nothing.
    KZDirectoryPtr stranger = KZDirectory::fileWithPath("/elsewhere");
    root->replaceChild(stranger.get(), KZDirectory::fileWithPath("/elsewhere").get());
    EXPECT_EQ(root->childCount(), 2u);
    EXPECT_EQ(root->fileSize(), 307);
}

TEST(FileRecord, AnIgnoredChildLeavesItsBytesCountedAsIgnored)
{
    KZDirectoryPtr d = KZDirectory::fileWithPath("/d");
    KZFilePtr film = fileOfSize(d.get(), "film", 125);
    KZFilePtr clip = fileOfSize(d.get(), "clip", 40);
    KZDirectoryPtr sub = KZDirectory::childWithName(d.get(), "sub");
    d->addChild(sub.get());
    fileOfSize(sub.get(), "inside", 7);
    EXPECT_EQ(d->fileSize(), 172);

    d->ignoreChild(film.get());
    d->removeChild(clip.get());
    d->ignoreChild(sub.get());
    EXPECT_EQ(d->childCount(), 0u);
    EXPECT_EQ(film->parent(), nullptr);
    EXPECT_EQ(d->fileSize(), 172);
    EXPECT_EQ(d->removedFileSizes(), 172);
    EXPECT_EQ(d->ignoredItemsSize(), 132);
    // A stranger changes nothing; the ignored part never exceeds what the folder keeps.
    d->ignoreChild(KZFile::fileWithPath("/elsewhere").get());
    EXPECT_EQ(d->ignoredItemsSize(), 132);
    d->setRemovedFileSizes(100);
    EXPECT_EQ(d->ignoredItemsSize(), 100);
    d->setRemovedFileSizes(0);
    EXPECT_EQ(d->ignoredItemsSize(), 0);
}

TEST(FileRecord, AddingTwiceListsTwiceAndRemovingAStrangerDoesNothing)
{
    KZDirectoryPtr d = KZDirectory::fileWithPath("/d");
    KZFilePtr f = fileOfSize(d.get(), "f", 5);
    d->addChild(f.get());
    EXPECT_EQ(d->childCount(), 2u);
    KZFilePtr stranger = KZFile::fileWithPath("/elsewhere");
    d->removeChild(stranger.get());
    EXPECT_EQ(d->childCount(), 2u);
    EXPECT_EQ(d->removedFileSizes(), 0);
}

TEST(FileRecord, NetworkFlagPropagates)
{
    KZDirectoryPtr root = KZDirectory::fileWithPath("/n");
    KZDirectoryPtr sub = KZDirectory::childWithName(root.get(), "s");
    root->addChild(sub.get());
    KZFilePtr f = fileOfSize(sub.get(), "f", 1);
    root->setIsNetworkVolume(true);
    EXPECT_TRUE(sub->isNetworkItem());
    EXPECT_TRUE(sub->isNetworkVolume());
    EXPECT_TRUE(f->isNetworkItem());
    KZFilePtr late = fileOfSize(sub.get(), "late", 1);
    EXPECT_TRUE(late->isNetworkItem());
}

TEST(FileRecord, SelectionNeedsTheItemOnDisk)
{
    kztest::TempDir dir;
    kztest::makeFile(dir / "x", 3);
    KZFilePtr f = KZFile::fileWithPath(dir / "x", true);
    EXPECT_EQ(f->fileSize(), 3);
    f->setIsSelected(true);
    EXPECT_TRUE(f->isSelected());
    ::unlink((dir / "x").c_str());
    EXPECT_FALSE(f->isSelected());
}

TEST(FileRecord, DeepTreesNeitherRecurseNorOverflow)
{
    KZDirectoryPtr root = KZDirectory::fileWithPath("/deep");
    KZDirectory* cur = root.get();
    KZFilePtr leaf;
    for (int i = 0; i < 200000; ++i) {
        KZDirectoryPtr next = KZDirectory::childWithName(cur, "d");
        cur->addChild(next.get());
        cur = next.get();
    }
    leaf = fileOfSize(cur, "leaf", 7);
    EXPECT_EQ(root->fileSize(), 7);
    EXPECT_FALSE(cur->isPackage());
    root->setIsNetworkVolume(true);
    EXPECT_TRUE(leaf->isNetworkItem());
    root = nullptr; // frees 200,000 nested folders without recursion; the leaf survives
    EXPECT_EQ(leaf->parent(), nullptr);
    EXPECT_EQ(leaf->path().size(), std::string("/deep/").size() + 200000 * 2 + 4);
}

TEST(FileRecord, Description)
{
    KZFilePtr f = KZFile::fileWithPath("/a/b.txt");
    f->setFileSize(12);
    const std::string d = f->description();
    EXPECT_NE(d.find("path=/a/b.txt"), std::string::npos);
    EXPECT_NE(d.find("fileSize=12.000000"), std::string::npos);
    EXPECT_NE(d.find("fileType=2"), std::string::npos);
}

} // namespace

TEST(FileRecord, TheIdentityStampSharesTheCreationTimesPlace)
{
    KZFilePtr f = KZFile::fileWithPath("/x/file");
    EXPECT_FALSE(f->hasIdentity());
    EXPECT_EQ(f->identity(), kz::FileIdentity{});

    // A birth time is the creation date, kept to the nanosecond (whole seconds round down).
    f->setIdentity({0x0000000800000003ull, 42, kz::IdentityStamp::BirthTime, 1700000000999999999LL});
    EXPECT_TRUE(f->hasIdentity());
    EXPECT_EQ(f->device(), 0x0000000800000003ull);
    EXPECT_EQ(f->identity(),
              (kz::FileIdentity{0x0000000800000003ull, 42, kz::IdentityStamp::BirthTime, 1700000000999999999LL}));
    EXPECT_EQ(f->creationTime(), std::optional<qint64>(1700000000));
    f->setIdentity({1, 2, kz::IdentityStamp::BirthTime, -1500000000LL}); // 1969-12-31 23:59:58.5
    EXPECT_EQ(f->creationTime(), std::optional<qint64>(-2));

    // Another stamp takes the place: the creation date is unknown then.
    f->setIdentity({1, 2, kz::IdentityStamp::Handle, 12345});
    EXPECT_EQ(f->creationTime(), std::nullopt);
    EXPECT_FALSE(f->creationDate().isValid());
    EXPECT_EQ(f->identity().stamp, 12345);
    // Setting a creation date gives that stamp up: only a birth time of that value would match.
    f->setCreationTime(1000);
    EXPECT_EQ(f->creationTime(), std::optional<qint64>(1000));
    EXPECT_EQ(f->identity().kind, kz::IdentityStamp::BirthTime);
    EXPECT_EQ(f->identity().stamp, 1000'000'000'000LL);

    // Folders keep it the same way; flags stay apart from it.
    KZDirectoryPtr d = KZDirectory::fileWithPath("/x/folder");
    d->setIsHidden(true);
    d->setIdentity({5, 6, kz::IdentityStamp::ChangeTime, 77});
    EXPECT_TRUE(d->isHidden());
    EXPECT_TRUE(d->isDirectory());
    EXPECT_EQ(d->identity(), (kz::FileIdentity{5, 6, kz::IdentityStamp::ChangeTime, 77}));
}
