#include "model/KZDuplicateFiles.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <unistd.h>

namespace {

TEST(DuplicateFiles, TotalsAndTheFirstRecordsFacts)
{
    kztest::TempDir dir;
    KZFileList records;
    for (const char* name : {"a.txt", "b.txt", "c.txt"}) {
        kztest::makeFile(dir / name, 10);
        records.push_back(KZFile::fileWithPath(dir / name, true));
    }
    records[0]->setIsPackage(true); // a plain file never makes a package group
    const auto group = KZDuplicateFiles::duplicateFilesWithHash("abc", records);
    EXPECT_EQ(group->totalSize(), 30);
    EXPECT_EQ(group->count(), 3u);
    EXPECT_EQ(group->fileSize(), 10);
    EXPECT_EQ(group->fileName(), QStringLiteral("a.txt"));
    EXPECT_EQ(group->fileType(), records[0]->fileType());
    EXPECT_EQ(group->UTI(), std::string(records[0]->UTI()));
    EXPECT_FALSE(group->isDirectory());
    EXPECT_FALSE(group->isPackage());
    EXPECT_EQ(group->fileHash(), "abc");

    KZDirectoryPtr folder = KZDirectory::fileWithPath(dir / "bundle.app");
    folder->setIsPackage(true);
    const auto folders = KZDuplicateFiles::duplicateFilesWithHash("f", {folder});
    EXPECT_TRUE(folders->isDirectory());
    EXPECT_TRUE(folders->isPackage());
}

TEST(DuplicateFiles, SelectionFollowsTheMarksAndTheDisk)
{
    kztest::TempDir dir;
    KZFileList records;
    for (const char* name : {"a", "b", "c"}) {
        kztest::makeFile(dir / name, 10);
        records.push_back(KZFile::fileWithPath(dir / name, true));
    }
    records[1]->setIsSelected(true);
    const auto group = KZDuplicateFiles::duplicateFilesWithHash("h", records);
    EXPECT_EQ(group->selectedFiles(), (KZFileList{records[1]}));
    EXPECT_EQ(group->unselectedFiles(), (KZFileList{records[0], records[2]}));
    EXPECT_EQ(group->selectedFileSize(), 10);

    ::unlink((dir / "b").c_str()); // a record whose item is gone is never selected
    EXPECT_TRUE(group->selectedFiles().empty());
    EXPECT_EQ(group->unselectedFiles().size(), 3u);
    EXPECT_EQ(group->selectedFileSize(), 0);
}

} // namespace
