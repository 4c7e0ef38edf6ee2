#include "TreemapFixtures.h"

#include "treemap/KZTreemapPainter.h"

#include <QDir>
#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

using namespace treetest;

namespace {

// A known tree of about ten million bytes.
struct KnownTree {
    KZDirectoryPtr r = root("/home/user/Stuff");
    KZDirectoryPtr documents, pictures, music;
    KnownTree()
    {
        documents = dir(r, "Documents");
        file(documents, "report.pdf", 3000000);
        file(documents, "notes.txt", 2000000);
        pictures = dir(documents, "Pictures");
        file(pictures, "a.jpg", 600000);
        file(pictures, std::string("caf\xe9-latin1.jpg", 15), 400000); // not UTF-8
        file(r, "photo.jpg", 3000000);
        music = dir(r, "Music");
        file(music, "song.mp3", 995000);
        // Small files, each below the share that earns a rectangle: one grouped node.
        for (int i = 0; i < 100; ++i) file(r, "small" + std::to_string(i), 4000);
    }
};

struct Paint : ::testing::Test {
    TestPreferences prefs;
    RecordingDelegate delegate;
    KnownTree tree;
    std::unique_ptr<KZNestedTreemapView> view;

    void SetUp() override
    {
        TQTheme::resetRegistry();
        TQTheme::registerAvailableThemes();
        view = std::make_unique<KZNestedTreemapView>(tree.r);
        view->setPreferences(&prefs.preferences);
        view->setDelegate(&delegate);
        view->resize(800, 500);
        view->reloadData();
    }
    void TearDown() override { TQTheme::resetRegistry(); }

    QImage render(const QString& name)
    {
        QImage image(view->size(), QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::black); // the results screen's background
        QPainter painter(&image);
        view->paintTreemap(painter);
        painter.end();
        const QString folder = kztest::outputFolder();
        QDir().mkpath(folder);
        EXPECT_TRUE(image.save(folder + "/" + name + ".png"));
        return image;
    }

    const KZTreemapDrawItem* item(const std::string& name)
    {
        for (const auto& i : view->drawItems())
            if (i.node->file() && i.node->file()->nameBytes() == name) return &i;
        return nullptr;
    }
    const KZTreemapDrawItem* group()
    {
        for (const auto& i : view->drawItems())
            if (i.node->isGroupedNode()) return &i;
        return nullptr;
    }
};

void expectColor(const QImage& image, int x, int y, const QColor& expected, int tolerance = 1)
{
    const QColor got = image.pixelColor(x, y);
    EXPECT_NEAR(got.red(), expected.red(), tolerance) << "at " << x << "," << y;
    EXPECT_NEAR(got.green(), expected.green(), tolerance) << "at " << x << "," << y;
    EXPECT_NEAR(got.blue(), expected.blue(), tolerance) << "at " << x << "," << y;
}

TEST_F(Paint, FillsOutlinesGapsAndSelection)
{
    const TQThemeBlueSkies theme;
    const auto* photo = item("photo.jpg");
    const auto* documents = item("Documents");
    const auto* pictures = item("Pictures");
    const auto* music = item("Music");
    ASSERT_TRUE(photo && documents && pictures && music && group());
    EXPECT_EQ(documents->depth, 0);
    EXPECT_EQ(pictures->depth, 1);

    QImage image = render("treemap-blue-skies-800x500");
    auto check = [&](const KZTreemapDrawItem* i, const QColor& fill) {
        const QRect r = i->rect.toRect();
        // Inside, clear of corners and texts.
        expectColor(image, r.left() + 3, r.bottom() - 3, fill);
        // The outline: the colour darkened 0.3 towards black, on the outer ring of pixels.
        const QColor stroke = KZTreemapPainter::strokeColorForFill(fill);
        expectColor(image, r.left(), r.center().y(), stroke, 2);
        expectColor(image, r.right(), r.center().y(), stroke, 2);
        expectColor(image, r.center().x(), r.bottom(), stroke, 2);
    };
    check(photo, theme.fileColor());
    check(documents, theme.depth1Color());
    check(pictures, theme.depth2Color());
    check(music, theme.depth1Color());
    check(group(), theme.depth1Color());
    check(item("song.mp3"), theme.fileColor());

    // The one-pixel gaps between siblings show what lies under the view.
    const QRect d = documents->rect.toRect();
    expectColor(image, d.right() + 1, d.center().y(), Qt::black, 0);
    // Between a folder's edge and its children the folder's own fill shows.
    const QRect p = pictures->rect.toRect();
    expectColor(image, p.left() - 2, p.center().y(), theme.depth1Color());

    // Selection.
    KZTreemapNodePtr photoNode = photo->node;
    view->setClickedNode(photoNode);
    image = render("treemap-blue-skies-800x500-selected");
    expectColor(image, photo->rect.toRect().left() + 3, photo->rect.toRect().bottom() - 3, theme.selectionColor());
    expectColor(image, d.left() + 3, d.bottom() - 3, theme.depth1Color());
}

TEST_F(Paint, ShareColouringAndEveryThemeAtSeveralSizes)
{
    delegate.useDepth = false;
    for (const auto& theme : *TQTheme::availableThemes()) {
        delegate.theme = theme;
        for (QSize size : {QSize(800, 500), QSize(300, 200), QSize(1600, 1000)}) {
            view->resize(size);
            view->reloadDataShouldClear(false);
            const QString name = QStringLiteral("treemap-%1-%2x%3-by-share")
                                     .arg(theme->name().toLower().replace(' ', '-'))
                                     .arg(size.width())
                                     .arg(size.height());
            QImage image = render(name);
            const auto* documents = item("Documents");
            ASSERT_NE(documents, nullptr);
            // Documents takes 60 % of the bounds: the second band.
            const QRect r = documents->rect.toRect();
            expectColor(image, r.left() + 3, r.bottom() - 3, theme->depth2Color());
        }
    }
}

TEST_F(Paint, NoColourMeansNoFillAndNoOutline)
{
    view->setDelegate(nullptr);
    QImage image = render("treemap-no-delegate");
    const QRect r = item("photo.jpg")->rect.toRect();
    expectColor(image, r.left() + 3, r.bottom() - 3, Qt::black, 0);
    expectColor(image, r.left(), r.center().y(), Qt::black, 0);
}

TEST_F(Paint, SquareCornersBelowFifteen)
{
    EXPECT_EQ(KZTreemapPainter::cornerRadiusForRect(QRectF(0, 0, 14.9, 100)), 0);
    EXPECT_EQ(KZTreemapPainter::cornerRadiusForRect(QRectF(0, 0, 100, 14.9)), 0);
    EXPECT_EQ(KZTreemapPainter::cornerRadiusForRect(QRectF(0, 0, 15, 15)), 2);
}

TEST_F(Paint, ARescannedFolderIsGreyWithThePathItReads)
{
    auto node = item("Music")->node;
    view->setClickedNode(node);
    // A rescan as the view sees it, without a scanner: the node is marked and registered.
    node->setIsReloading(true);
    node->setCurrentPath("/home/user/Stuff/Music/some/deeper/folder/track.flac");
    view->nodeLists().setReloadingNode(tree.music->path(), node);
    view->reloadDataShouldClear(false);
    QImage image = render("treemap-rescanning");
    const QRect r = item("Music")->rect.toRect();
    expectColor(image, r.left() + 3, r.bottom() - 3, TQThemeBlueSkies().reloadingColor());
    // Nothing of the folder's children is drawn inside it.
    EXPECT_EQ(item("song.mp3"), nullptr);
    view->nodeLists().removeReloadingNode(tree.music->path());
}

} // namespace

namespace {

// A background with every pixel different, so that blending shows.
QImage patterned(int w, int h)
{
    QImage image(w, h, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) image.setPixelColor(x, y, QColor((x * 37) % 256, (y * 53) % 256, (x * y) % 256));
    return image;
}

TEST(PaintRectangles, PixelAlignedPaintingMatchesTheAntialiasedPath)
{
    KZTreemapPainter painter;
    const std::vector<QColor> colors{TQThemeBlueSkies().depth1Color(), TQThemeMelon().selectionColor(), Qt::white};
    const std::vector<QRect> rects{{3, 4, 3, 3},   {2, 2, 15, 15},  {5, 1, 16, 16},
                                   {0, 0, 17, 40}, {7, 3, 100, 37}, {1, 9, 60, 2}};
    for (const QColor& color : colors) {
        for (const QRect& r : rects) {
            QImage fast = patterned(120, 60), reference = fast;
            {
                QPainter p(&fast);
                painter.drawRectangle(p, QRectF(r), color);
            }
            {
                QPainter p(&reference);
                const QRectF drawn = QRectF(r).adjusted(0.5, 0.5, -0.5, -0.5);
                KZTreemapPainter::drawRectangleAsPath(p, drawn, KZTreemapPainter::cornerRadiusForRect(drawn), color);
            }
            int worst = 0;
            for (int y = 0; y < fast.height(); ++y)
                for (int x = 0; x < fast.width(); ++x) {
                    const QColor a = fast.pixelColor(x, y), b = reference.pixelColor(x, y);
                    worst = std::max({worst, std::abs(a.red() - b.red()), std::abs(a.green() - b.green()),
                                      std::abs(a.blue() - b.blue())});
                }
            EXPECT_LE(worst, 2) << r.x() << "," << r.y() << " " << r.width() << "x" << r.height() << " "
                                << color.name().toStdString();
        }
    }
}

} // namespace
