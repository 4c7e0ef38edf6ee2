#include "TreemapFixtures.h"

#include "treemap/KZTreemapColorRule.h"

#include <gtest/gtest.h>

using namespace treetest;

namespace {

struct ColorRule : ::testing::Test {
    TQThemeBlueSkies theme;
    KZDirectoryPtr r = root("/r");
    KZDirectoryPtr folder = dir(r, "folder");
    KZFilePtr plainFile = file(r, "file", 10);
    KZDirectoryPtr package = dir(r, "Thing.app");
    KZTreemapNodePtr folderNode = KZTreemapNode::nodeWithFile(folder);

    ColorRule() { package->setIsPackage(true); }

    QColor color(const KZTreemapNodePtr& node, double p, bool selected = false, bool reloading = false,
                 int64_t depth = 0, bool useDepth = false)
    {
        return KZTreemapColorRule::colorForNode(*node, p, selected, reloading, depth, theme, useDepth);
    }
};

TEST_F(ColorRule, StateComesFirst)
{
    EXPECT_FALSE(color(folderNode, 0).isValid());
    EXPECT_FALSE(color(folderNode, -1, true, true).isValid());
    EXPECT_EQ(color(folderNode, 0.5, true, true), theme.reloadingColor());
    EXPECT_EQ(color(folderNode, 0.5, true, false), theme.selectionColor());
}

TEST_F(ColorRule, FilesAndPackagesTakeTheFileColourGroupsAPaletteColour)
{
    EXPECT_EQ(color(KZTreemapNode::nodeWithFile(plainFile), 0.9), theme.fileColor());
    EXPECT_EQ(color(KZTreemapNode::nodeWithFile(package), 0.9), theme.fileColor());
    auto group = KZTreemapNode::nodeWithGroupedFileArray({plainFile, plainFile}, r);
    EXPECT_EQ(color(group, 0.9), theme.depth1Color());
    EXPECT_EQ(color(group, 0.9, false, false, 3, true), theme.depth4Color());
}

TEST_F(ColorRule, ByDepth)
{
    EXPECT_EQ(color(folderNode, 0.1, false, false, 0, true), theme.depth1Color());
    EXPECT_EQ(color(folderNode, 0.1, false, false, 4, true), theme.depth5Color());
    for (int64_t d : {5, 6, 7}) EXPECT_EQ(color(folderNode, 0.1, false, false, d, true), theme.depth6Color());
}

TEST_F(ColorRule, ByShareBandsWithSinglePrecisionBounds)
{
    EXPECT_EQ(color(folderNode, 0.7), theme.depth1Color());
    EXPECT_EQ(color(folderNode, 0.69), theme.depth2Color());
    EXPECT_EQ(color(folderNode, 0.2), theme.depth4Color());
    EXPECT_EQ(color(folderNode, 0.1), theme.depth5Color());
    // Just below 0.7 but not below the single-precision 0.7f (0.699999988...): still band 1.
    EXPECT_EQ(KZTreemapColorRule::paletteIndex(0.69999999, 0, false), 0);
    EXPECT_EQ(KZTreemapColorRule::paletteIndex(0.6999999, 0, false), 1);
    EXPECT_EQ(KZTreemapColorRule::paletteIndex(0.4499999, 0, false), 2); // 0.45f is a hair below 0.45
    EXPECT_EQ(KZTreemapColorRule::paletteIndex(double(0.45f), 0, false), 1);
    EXPECT_EQ(KZTreemapColorRule::paletteIndex(0.3, 0, false), 3); // 0.3f lies above 0.3
    EXPECT_EQ(KZTreemapColorRule::paletteIndex(double(0.3f), 0, false), 2);
    EXPECT_EQ(KZTreemapColorRule::paletteIndex(0.15, 0, false), 4); // 0.15f lies above 0.15
    EXPECT_EQ(KZTreemapColorRule::paletteIndex(double(0.15f), 0, false), 3);
    EXPECT_EQ(KZTreemapColorRule::paletteIndex(0.0, 0, false), 4);
    EXPECT_EQ(KZTreemapColorRule::paletteIndex(1.0, 0, false), 5);
    EXPECT_EQ(KZTreemapColorRule::paletteIndex(1.5, 0, false), 5);
}

} // namespace
