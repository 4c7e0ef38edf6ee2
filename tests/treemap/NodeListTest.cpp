#include "TreemapFixtures.h"

#include "treemap/KZTreemapNodeLists.h"

#include <gtest/gtest.h>

using namespace treetest;

namespace {

struct NodeLists : ::testing::Test {
    KZTreemapNodeLists lists;
    double minimum = 0;
    std::set<std::string> ignoredNames;
    std::vector<std::string> asked;

    NodeLists()
    {
        lists.setMinimumFileSize([this] { return minimum; });
        lists.setFileIsIgnored([this](const KZFilePtr& f) {
            asked.push_back(f->nameBytes());
            return ignoredNames.count(f->nameBytes()) != 0;
        });
    }

    KZTreemapNodeList build(const KZDirectoryPtr& d)
    {
        auto list = lists.dataForDirectory(d.get());
        EXPECT_TRUE(list.has_value());
        return list ? *list : KZTreemapNodeList();
    }
};

std::vector<std::string> nodeNames(const KZTreemapNodeList& list)
{
    std::vector<std::string> out;
    for (const auto& n : list) {
        if (n->isInertArea()) {
            out.push_back("<" + KZTreemapNode::inertAreaTitle(n->inertKind()).toStdString() + ">");
        } else {
            out.push_back(n->isGroupedNode() ? "<group>" : n->file()->nameBytes());
        }
    }
    return out;
}

TEST_F(NodeLists, SortsBySizeAndGroupsBelowTheShareInSinglePrecision)
{
    // Shares of the top-level folder's million bytes: 500 is exactly 0.0005, which lies below
    // the single-precision constant, so it goes to the group; 501 does not.
    auto r = root("/r");
    file(r, "b501", 501);
    file(r, "big", 997999);
    file(r, "a500", 500);
    file(r, "c1000", 1000);
    lists.setDirectory(r);
    ASSERT_EQ(r->fileSize(), 1000000);

    auto list = build(r);
    EXPECT_EQ(nodeNames(list), (std::vector<std::string>{"big", "c1000", "b501", "a500"}));
    // A group of one is an ordinary node at the end.
    EXPECT_FALSE(list.back()->isGroupedNode());
    EXPECT_EQ(list.back()->value(), 500);
    EXPECT_EQ(list[0]->value(), 997999);
}

TEST_F(NodeLists, GroupOfTwoOrMoreIsOneGroupedNodeAtTheEnd)
{
    auto r = root("/r");
    file(r, "big", 997900);
    file(r, "a", 400);
    file(r, "b", 300);
    file(r, "c", 1400);
    lists.setDirectory(r);
    auto list = build(r);
    ASSERT_EQ(list.size(), 3u);
    const auto& group = list.back();
    EXPECT_TRUE(group->isGroupedNode());
    EXPECT_TRUE(group->isGroupedFilesNode());
    EXPECT_EQ(group->totalFiles(), 2);
    EXPECT_EQ(group->fileSize(), 700);
    EXPECT_EQ(group->value(), 700);
    EXPECT_EQ(group->parentDirectory(), r);
    EXPECT_EQ(names(group->files()), (std::vector<std::string>{"a", "b"})); // list order
    EXPECT_EQ(group->file(), nullptr);
    EXPECT_NE(group->description().find("totalFiles=2"), std::string::npos);
    EXPECT_NE(list[0]->description().find("file=/r/big"), std::string::npos);
}

TEST_F(NodeLists, MoreThanFiveHundredChildrenGroupTheLaterSeventyPercent)
{
    auto r500 = root("/r500");
    for (int i = 0; i < 500; ++i) file(r500, "f" + std::to_string(i), 1000);
    lists.setDirectory(r500);
    auto list = build(r500);
    EXPECT_EQ(list.size(), 500u);
    for (const auto& n : list) EXPECT_FALSE(n->isGroupedNode());

    // With 501, index 151 (151/501 > 0.3) and every later one go to the group, however large.
    auto r501 = root("/r501");
    for (int i = 0; i < 501; ++i) file(r501, "f" + std::to_string(i), 1000 + (501 - i));
    lists.setDirectory(r501);
    list = build(r501);
    ASSERT_EQ(list.size(), 152u);
    EXPECT_FALSE(list[150]->isGroupedNode());
    EXPECT_EQ(list[150]->file()->nameBytes(), "f150");
    EXPECT_TRUE(list.back()->isGroupedNode());
    EXPECT_EQ(list.back()->totalFiles(), 350);
    EXPECT_EQ(list.back()->files().front()->nameBytes(), "f151");
}

TEST_F(NodeLists, MinimumSizeHiddenAndSystemItemsAreLeftOutEntirely)
{
    auto r = root("/r");
    file(r, "keep", 900000);
    file(r, "atMinimum", 100);
    file(r, "aboveMinimum", 101);
    file(r, "zero", 0);
    file(r, ".hidden", 50000)->setIsHidden(true);
    file(r, ".smallHidden", 200)->setIsHidden(true);
    file(r, "system", 40000)->setIsSystemFile(true);
    file(r, "tiny1", 150);
    lists.setDirectory(r);
    minimum = 100;

    auto list = build(r);
    // tiny1 and aboveMinimum would group; the hidden small item takes no part in the group.
    // What is left out keeps its share as inert areas, placed by size.
    EXPECT_EQ(nodeNames(list),
              (std::vector<std::string>{"keep", "<Hidden items>", "<System items>", "<Small files>", "<group>"}));
    EXPECT_EQ(list[1]->value(), 50200);
    EXPECT_EQ(list[3]->value(), 100); // atMinimum (and zero)
    EXPECT_EQ(names(list.back()->files()), (std::vector<std::string>{"tiny1", "aboveMinimum"}));

    lists.setShowsHiddenFiles(true);
    lists.setShowsSystemFiles(true);
    list = build(r);
    EXPECT_EQ(nodeNames(list), (std::vector<std::string>{"keep", ".hidden", "system", "<Small files>", "<group>"}));
    EXPECT_EQ(names(list.back()->files()), (std::vector<std::string>{".smallHidden", "tiny1", "aboveMinimum"}));

    // A child of size 0 is left out with a minimum of 0 too.
    minimum = 0;
    list = build(r);
    for (const auto& n : list) {
        if (!n->isGroupedNode()) {
            EXPECT_NE(n->file()->nameBytes(), "zero");
        }
    }
    for (const auto& f : list.back()->files()) EXPECT_NE(f->nameBytes(), "zero");
}

TEST_F(NodeLists, IgnoredItemsAndEmptyPlainFoldersLoseTheirNodeButNotAGroupOfOne)
{
    auto r = root("/r");
    file(r, "big", 900000);
    file(r, "ignored", 50000);
    auto emptyFolder = dir(r, "empty");
    emptyFolder->setFileSize(40000); // a folder whose children were taken out keeps its size
    auto package = dir(r, "Thing.app");
    package->setIsPackage(true);
    package->setFileSize(9000);
    file(r, "loner", 100); // the only child below the share: an ordinary node, never questioned
    ignoredNames = {"ignored", "loner"};
    lists.setDirectory(r);

    auto list = build(r);
    // The ignored item's bytes and the emptied folder's kept size are inert areas.
    EXPECT_EQ(nodeNames(list),
              (std::vector<std::string>{"big", "<Ignored items>", "<Removed items>", "Thing.app", "loner"}));
    EXPECT_EQ(std::count(asked.begin(), asked.end(), "loner"), 0);
    EXPECT_EQ(std::count(asked.begin(), asked.end(), "ignored"), 1);
}

TEST_F(NodeLists, AFolderBeingRescannedKeepsItsNodeAndTheRegistryFollowsIt)
{
    auto r = root("/r");
    file(r, "big", 900000);
    auto rescanned = dir(r, "rescanned");
    rescanned->setFileSize(90000);
    lists.setDirectory(r);
    auto old = std::make_shared<KZTreemapNode>();
    old->setCurrentPath("/r/rescanned/x");
    lists.setReloadingNode("/r/rescanned/", old);

    auto list = build(r);
    ASSERT_EQ(list.size(), 2u);
    EXPECT_TRUE(list[1]->isReloading());
    EXPECT_EQ(list[1]->file(), KZFilePtr(rescanned));
    EXPECT_EQ(lists.reloadingNode("/r/rescanned/"), list[1]);
    EXPECT_EQ(list[1]->currentPath(), "/r/rescanned/x");
    EXPECT_TRUE(asked.empty() || std::count(asked.begin(), asked.end(), "rescanned") == 0);

    lists.removeReloadingNode("/r/rescanned/");
    EXPECT_EQ(nodeNames(build(r)), (std::vector<std::string>{"big", "<Removed items>"}));
}

TEST_F(NodeLists, ShareBaseIsTheFolderShownAtTopLevel)
{
    auto r = root("/r");
    auto sub = dir(r, "sub");
    file(sub, "x", 1000);
    file(sub, "y", 1000);
    file(r, "huge", 100000000);
    lists.setDirectory(r);
    auto list = build(sub);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_TRUE(list[0]->isGroupedNode());
    lists.setDirectory(sub); // zooming in ungroups them
    EXPECT_EQ(build(sub).size(), 2u);
}

TEST_F(NodeLists, NoChildrenIsNothingAndAllFilteredIsAListOfInertAreasThatIsCached)
{
    auto r = root("/r");
    auto none = dir(r, "none");
    auto filtered = dir(r, "filtered");
    file(filtered, ".a", 10)->setIsHidden(true);
    lists.setDirectory(r);
    EXPECT_FALSE(lists.dataForDirectory(none.get()).has_value());
    auto list = lists.dataForDirectory(filtered.get());
    ASSERT_TRUE(list.has_value());
    EXPECT_EQ(nodeNames(*list), (std::vector<std::string>{"<Hidden items>"}));
    EXPECT_FALSE(KZTreemapNodeLists::hasShownNode(*list));

    EXPECT_EQ(lists.cachedList(filtered.get()), nullptr);
    const auto& cached = lists.listForDirectory(filtered.get());
    EXPECT_FALSE(KZTreemapNodeLists::hasShownNode(cached));
    EXPECT_EQ(lists.cachedList(filtered.get()), &cached);
    // Hidden items appearing later don't show until the lists are invalidated.
    lists.setShowsHiddenFiles(true);
    EXPECT_FALSE(KZTreemapNodeLists::hasShownNode(lists.listForDirectory(filtered.get())));
    lists.removeList(filtered.get());
    EXPECT_EQ(lists.listForDirectory(filtered.get()).size(), 1u);
    lists.removeAllLists();
    EXPECT_EQ(lists.cachedListCount(), 0u);
}

TEST_F(NodeLists, AFolderOfManyEmptyFoldersIsSortedOnceAndCachedEmpty)
{
    auto r = root("/r");
    auto big = dir(r, "big");
    for (int i = 0; i < 20000; ++i) dir(big, "d" + std::to_string(i));
    lists.setDirectory(r);
    const auto& list = lists.listForDirectory(big.get());
    EXPECT_TRUE(list.empty());
    EXPECT_EQ(&lists.listForDirectory(big.get()), &list);
}

TEST_F(NodeLists, NamesThatAreNotUtf8StillGetNodes)
{
    auto r = root("/r");
    file(r, std::string("bad\xff\xfe", 5), 600);
    file(r, "good", 400);
    lists.setDirectory(r);
    auto list = build(r);
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0]->file()->nameBytes(), std::string("bad\xff\xfe", 5));
    EXPECT_FALSE(list[0]->file()->fileName().isEmpty());
}

} // namespace
