#include "kit/ITPathbar.h"
#include "tests/kit/KitEvents.h"
#include "tests/support/TestSupport.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

using Paths = std::vector<std::string>;

TEST(Pathbar, ComponentsFromTheBaseDown)
{
    EXPECT_EQ(ITPathbar::componentPaths("/a/b", "/a/b"), Paths{"/a/b"});
    EXPECT_EQ(ITPathbar::componentPaths("/a/b", "/a/b/c/d.txt"), (Paths{"/a/b", "/a/b/c", "/a/b/c/d.txt"}));
    EXPECT_EQ(ITPathbar::componentPaths("/a/b/", "/a/b/c/"), (Paths{"/a/b", "/a/b/c"}));
    EXPECT_EQ(ITPathbar::componentPaths("/", "/x"), (Paths{"/", "/x"}));
    EXPECT_EQ(ITPathbar::componentPaths("/", "/"), Paths{"/"});
}

TEST(Pathbar, NeighbourWithACommonPrefixIsOutside)
{
    EXPECT_TRUE(ITPathbar::componentPaths("/a/b", "/a/bc").empty());
    EXPECT_TRUE(ITPathbar::componentPaths("/a/b", "/a/bc/d").empty());
    EXPECT_TRUE(ITPathbar::componentPaths("/a/b", "/z").empty());
    EXPECT_TRUE(ITPathbar::componentPaths("/a/b", "/a").empty());
}

TEST(Pathbar, FirstURLFixesTheBase)
{
    kztest::TempDir dir;
    kztest::makeFile(dir / "sub/file.txt", 5);
    ITPathbar bar;
    bar.resize(600, 22);
    bar.setURL(dir.path());
    EXPECT_EQ(bar.baseURL(), dir.path());
    ASSERT_EQ(bar.pathComponentCells().size(), 1u);
    bar.setURL(dir / "sub/file.txt");
    EXPECT_EQ(bar.baseURL(), dir.path());
    ASSERT_EQ(bar.pathComponentCells().size(), 3u);
    EXPECT_EQ(bar.pathComponentCells()[1].title, QStringLiteral("sub"));
    EXPECT_EQ(bar.pathComponentCells()[2].url, dir / "sub/file.txt");
    EXPECT_FALSE(bar.pathComponentCells()[1].image.isNull()) << "folders get an icon";
    bar.setURL("/elsewhere");
    EXPECT_TRUE(bar.pathComponentCells().empty());
}

TEST(Pathbar, SeparatorsBetweenComponentsOnlyAndIconsAsTallAsText)
{
    ITPathbar bar;
    bar.setIconProvider([](const std::string&, qreal) { return KZImage::named(QStringLiteral("icon-folder")); });
    bar.setURL("/a");
    bar.setURL("/a/b/c");
    const auto layouts = bar.layoutComponents(QSizeF(600, 22));
    ASSERT_EQ(layouts.size(), 3);
    EXPECT_FALSE(layouts[0].separatorRect.isEmpty());
    EXPECT_FALSE(layouts[1].separatorRect.isEmpty());
    EXPECT_TRUE(layouts[2].separatorRect.isEmpty());
    EXPECT_EQ(layouts[1].frame.x(), layouts[0].frame.right() - ITPathbar::overlapAmount);
    EXPECT_EQ(layouts[0].iconRect.height(), std::round(layouts[0].titleRect.height()));
    EXPECT_EQ(layouts[0].iconRect.x(), 6);
    EXPECT_EQ(layouts[0].separatorRect.height(), 22);
}

TEST(Pathbar, LongNamesShrinkToFit)
{
    ITPathbar bar;
    bar.setIconProvider([](const std::string&, qreal) { return KZImage(); });
    const std::string longName(200, 'x');
    bar.setURL("/base");
    bar.setURL("/base/" + longName + "/short");
    const auto layouts = bar.layoutComponents(QSizeF(300, 22));
    ASSERT_EQ(layouts.size(), 3);
    EXPECT_LE(layouts.last().frame.right(), 300.5);
    EXPECT_LT(layouts[1].titleRect.width(), 200) << "the long name is cut";
    EXPECT_GT(layouts[2].titleRect.width(), 20) << "short names keep their room";
}

TEST(Pathbar, DoubleClickOnAComponentGivesItsURL)
{
    ITPathbar bar;
    bar.resize(600, 22);
    bar.setIconProvider([](const std::string&, qreal) { return KZImage(); });
    bar.setURL("/a");
    bar.setURL("/a/b/c");
    QSignalSpy spy(&bar, &ITPathbar::doubleClicked);
    const auto layouts = bar.layoutComponents(QSizeF(bar.size()));
    kittest::doubleClick(&bar, layouts[1].frame.center().toPoint());
    ASSERT_EQ(spy.count(), 1);
    EXPECT_EQ(spy.first().first().toByteArray(), QByteArray("/a/b"));
    EXPECT_EQ(bar.clickedPathComponent(), std::string("/a/b"));
    kittest::doubleClick(&bar, QPoint(590, 10));
    EXPECT_EQ(spy.count(), 1) << "empty space is no component";
}

TEST(Pathbar, PointingHandOverTheBar)
{
    ITPathbar bar;
    EXPECT_EQ(bar.cursor().shape(), Qt::PointingHandCursor);
}
