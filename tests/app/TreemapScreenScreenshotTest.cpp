// Pictures of the results screen on a real folder, for a person to look at
// (build/test-output/results-screen/).
#include "kit/ITPathbar.h"
#include "kit/TQTooltipPanel.h"
#include "model/TQDeleteQueue.h"
#include "platform/widgets/KZAppearance.h"
#include "tests/app/TreemapScreenFixture.h"

#include <QDir>
#include <QPainter>
#include <QToolButton>

using screentest::childFolder;
using screentest::TreemapScreen;
using Screen = TQTreemapViewController;

namespace {

QString outputPath(const QString& name)
{
    const QString folder = kztest::outputFolder() + QStringLiteral("/results-screen");
    QDir().mkpath(folder);
    return folder + QLatin1Char('/') + name + QStringLiteral(".png");
}

// The window with any tooltip panel drawn where it shows on the screen.
QImage shot(QWidget* window, TQTooltipPanel* tooltip = nullptr)
{
    // The offscreen platform never tells a button that the pointer left it (its first place
    // is the window's corner); nothing is under the pointer in these pictures.
    for (QToolButton* button : window->findChildren<QToolButton*>()) {
        button->setAttribute(Qt::WA_UnderMouse, false);
        button->update();
    }
    QImage image = window->grab().toImage();
    if (tooltip && tooltip->isVisible()) {
        QPainter p(&image);
        p.drawPixmap(window->mapFromGlobal(tooltip->geometry().topLeft()), tooltip->grab());
    }
    return image;
}

// A real folder with many kinds and sizes of files, outside the system folders (whose items
// are hidden as system files): the source tree this test program was built from, with its
// build folders. Else a made-up one.
std::string realFolder()
{
    QDir dir(QCoreApplication::applicationDirPath());
    for (int up = 0; up < 4; ++up) {
        if (dir.exists(QStringLiteral("CMakeLists.txt")) && dir.exists(QStringLiteral("app"))) return QFile::encodeName(dir.absolutePath()).toStdString();
        if (!dir.cdUp()) break;
    }
    return {};
}

} // namespace

struct TreemapScreenPictures : TreemapScreen {
    void openReal()
    {
        KZAppearance::install();
        const std::string folder = realFolder();
        if (folder.empty()) {
            makeTree();
            open();
            return;
        }
        root = screentest::scan(folder);
        ASSERT_TRUE(root);
        openWith({KZFilePtr(root)});
        window->resize(1100, 720);
        settleLayout();
        view()->reloadData();
    }
    KZTreemapNodePtr largest(bool folders) const
    {
        KZTreemapNodePtr best;
        for (const KZTreemapDrawItem& item : view()->drawItems()) {
            const KZFilePtr& f = item.node->file();
            if (!f || f->isDirectory() != folders || (folders && item.depth != 0)) continue;
            if (!best || item.node->value() > best->value()) best = item.node;
        }
        return best;
    }
    QRectF rectOf(const KZTreemapNodePtr& node) const
    {
        for (const KZTreemapDrawItem& item : view()->drawItems())
            if (item.node == node) return item.rect;
        return {};
    }
};

TEST_F(TreemapScreenPictures, EachThemeHoverSelectionZoomAndEmpty)
{
    openReal();
    for (const auto& theme : *TQTheme::availableThemes()) {
        prefs().setSelectedThemeName(theme->name());
        ASSERT_TRUE(shot(window.get()).save(outputPath(QStringLiteral("theme-") + theme->name().replace(' ', '-'))));
    }
    prefs().setSelectedThemeName(QStringLiteral("Blue Skies"));

    // Hover: the tooltip below and right of the pointer.
    const KZTreemapNodePtr file = largest(false);
    ASSERT_TRUE(file);
    const QPoint over = rectOf(file).center().toPoint();
    QTest::mouseMove(view(), over);
    ASSERT_TRUE(kztest::waitFor([&] { return screen->tooltipWindow()->isVisible(); }));
    ASSERT_TRUE(shot(window.get(), screen->tooltipWindow()).save(outputPath(QStringLiteral("hover"))));
    screen->treemapViewMouseExitedWithEvent(view(), nullptr);

    // Selection: a folder and a file.
    const KZTreemapNodePtr folder = largest(true);
    ASSERT_TRUE(folder);
    view()->setClickedNode(folder);
    view()->addClickedNode(file);
    EXPECT_TRUE(screen->toolbarItem(Screen::DeleteItem)->isEnabled());
    ASSERT_TRUE(shot(window.get()).save(outputPath(QStringLiteral("selection"))));

    // Zoomed into the largest folder, the path bar and the title following.
    view()->zoomToDirectory(kz_asDirectory(folder->file()));
    ASSERT_TRUE(shot(window.get()).save(outputPath(QStringLiteral("zoomed"))));

    // The delete-queue popover open, with two records listed (nothing is ever deleted here:
    // the records are only queued).
    prefs().setUseDeleteQueue(true);
    TQDeleteQueue::sharedInstance().addFilesToQueue({file->file(), folder->file()});
    screen->toolbarItem(Screen::DeleteQueueItem)->trigger();
    settleLayout();
    ASSERT_TRUE(shot(window.get()).save(outputPath(QStringLiteral("popover"))));
    if (screen->popover()) screen->popover()->closePopover();

    // The preview window.
    view()->setClickedNode(largest(false));
    screen->quickLook();
    ASSERT_TRUE(screen->previewPanel());
    ASSERT_TRUE(kztest::waitFor([&] { return screen->previewPanel()->currentKind() != KZPreviewPanel::Kind::None; }));
    ASSERT_TRUE(screen->previewPanel()->grab().save(outputPath(QStringLiteral("preview"))));
    close();

    // Nothing to show.
    openWith({});
    ASSERT_TRUE(shot(window.get()).save(outputPath(QStringLiteral("empty"))));
}
