// Pictures of the results screen on a real folder laid out like a user's home (sparse files,
// so it takes no room), for a person to look at: build/test-output/results-screen/. Nothing
// is ever deleted: records are only queued.
#include "kit/TQTooltipPanel.h"
#include "model/TQDeleteQueue.h"
#include "platform/widgets/KZAppearance.h"
#include "tests/app/TreemapScreenFixture.h"

#include <QDir>
#include <QPainter>
#include <QToolButton>

using Screen = TQTreemapViewController;

struct TreemapScreenPictures : screentest::TreemapScreen {
    void save(const QString& name)
    {
        // The offscreen platform never tells a button that the pointer left it.
        for (QToolButton* button : window->findChildren<QToolButton*>()) button->setAttribute(Qt::WA_UnderMouse, false);
        QImage image = window->grab().toImage();
        if (TQTooltipPanel* tip = screen->tooltip()->panel(); tip && tip->isVisible())
            QPainter(&image).drawPixmap(window->mapFromGlobal(tip->geometry().topLeft()), tip->grab());
        const QString folder = kztest::outputFolder() + QStringLiteral("/results-screen");
        QDir().mkpath(folder);
        EXPECT_TRUE(image.save(folder + "/" + name + ".png"));
    }
    // The largest file drawn, or the largest folder at top level.
    KZTreemapNodePtr largest(bool folders) const
    {
        const KZTreemapDrawItem* best = nullptr;
        for (const KZTreemapDrawItem& item : view()->drawItems()) {
            const KZFilePtr& f = item.node->file();
            if (f && f->isDirectory() == folders && (!folders || item.depth == 0) &&
                (!best || item.node->value() > best->node->value()))
                best = &item;
        }
        return best ? best->node : nullptr;
    }
};

TEST_F(TreemapScreenPictures, ThemesHoverSelectionZoomPopoverPreviewAndEmpty)
{
    KZAppearance::install();
    kztest::TempDir home;
    const long long MB = 1000 * 1000;
    const std::pair<const char*, long long> items[] = {
        {"Movies/Holiday 2024.mov", 2400 * MB},
        {"Movies/Wedding/ceremony.mp4", 1800 * MB},
        {"Movies/Wedding/party.mp4", 900 * MB},
        {"Movies/trailer.m4v", 120 * MB},
        {"Music/Albums/Blue Train.flac", 310 * MB},
        {"Music/Albums/Kind of Blue.flac", 280 * MB},
        {"Music/Podcasts/episode 12.mp3", 60 * MB},
        {"Music/Podcasts/episode 13.mp3", 58 * MB},
        {"Pictures/2023/beach.jpg", 8 * MB},
        {"Pictures/2023/hills.jpg", 7 * MB},
        {"Pictures/2024/snow.raw", 42 * MB},
        {"Pictures/2024/city.raw", 39 * MB},
        {"Documents/taxes 2023.pdf", 3 * MB},
        {"Documents/thesis/draft.odt", 12 * MB},
        {"Documents/thesis/figures.zip", 150 * MB},
        {"Downloads/debian-12.iso", 650 * MB},
        {"Downloads/old-backup.tar.gz", 1100 * MB},
        {"Downloads/setup.bin", 90 * MB},
        {"Projects/site/assets/video.webm", 210 * MB},
        {"Projects/site/index.html", MB / 50},
        {"notes.txt", MB / 10},
    };
    for (const auto& [path, size] : items) kztest::makeFile(home / path, size);
    root = screentest::scan(home.path());
    ASSERT_TRUE(root && root->childCount() > 3);
    openWith({KZFilePtr(root)});
    window->resize(1100, 720);
    settleLayout();
    ASSERT_TRUE(kztest::waitFor([&] { return !view()->isInLiveResize(); })); // the full depth is drawn
    view()->reloadData();
    for (const auto& theme : *TQTheme::availableThemes()) {
        prefs().setSelectedThemeName(theme->name());
        save("theme-" + theme->name().replace(' ', '-'));
    }
    prefs().setSelectedThemeName(QStringLiteral("Blue Skies"));

    const KZTreemapNodePtr file = largest(false);
    const KZTreemapNodePtr folder = largest(true);
    ASSERT_TRUE(file && folder);
    for (const KZTreemapDrawItem& item : view()->drawItems())
        if (item.node == file) QTest::mouseMove(view(), item.rect.center().toPoint());
    ASSERT_TRUE(kztest::waitFor([&] { return screen->tooltip()->panel()->isVisible(); }));
    save("hover");
    screen->treemapViewMouseExitedWithEvent(view(), nullptr);

    // A file and a top-level folder that doesn't hold it.
    view()->setClickedNode(file);
    for (const KZTreemapDrawItem& item : view()->drawItems())
        if (item.depth == 0 && item.node->isPlainFolder() && !file->file()->isChildOfPath(item.node->file()->path())) {
            view()->addClickedNode(item.node);
            break;
        }
    EXPECT_EQ(view()->selectedFiles().size(), 2u);
    save("selection");
    view()->zoomToDirectory(kz_asDirectory(folder->file()));
    save("zoomed");

    prefs().setUseDeleteQueue(true);
    TQDeleteQueue::sharedInstance().addFilesToQueue({file->file(), folder->file()});
    screen->toolbarItem(TQTreemapToolbar::DeleteQueueItem)->trigger();
    save("popover");
    screen->removalFlow()->popover()->closePopover();

    view()->setClickedNode(largest(false));
    screen->quickLook();
    ASSERT_TRUE(kztest::waitFor([&] { return screen->previewPanel()->currentKind() != KZPreviewPanel::Kind::None; }));
    EXPECT_TRUE(screen->previewPanel()->grab().save(kztest::outputFolder() + "/results-screen/preview.png"));
    close();

    openWith({});
    save("empty");
}
