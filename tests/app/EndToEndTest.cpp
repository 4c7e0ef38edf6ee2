// The whole program on the offscreen platform, driven as a user would: launch, drop a folder,
// scan, select a file in the treemap and delete it to the (temporary) Trash, queue another,
// finish through the delete sheet, and read the freed total on the finished screen. Then the
// disk: exactly the two chosen files are gone (one into the Trash, intact), everything else
// is as it was, byte for byte.

#include "app/KZFinishedViewController.h"
#include "app/TQAppDelegate.h"
#include "app/TQEmptyTrashWindowController.h"
#include "app/TQMainWindowController.h"
#include "app/TQTreemapViewController.h"
#include "kit/KZButton.h"
#include "kit/KZDropView.h"
#include "kit/KZSpaceLabel.h"
#include "model/TQDeleteQueue.h"
#include "platform/KZFreedesktopTrash.h"
#include "platform/widgets/KZPasteboard.h"
#include "tests/app/AppTestSupport.h"
#include "tests/app/WizardTestSupport.h"
#include "tests/support/TestSupport.h"
#include "treemap/KZNestedTreemapView.h"
#include "treemap/TQTheme.h"

#include "ui_KZFinishedViewController.h"

#include <QApplication>
#include <QDir>
#include <QMimeData>
#include <QTest>
#include <QToolButton>

#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <map>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

using namespace kztest;

namespace {

std::string readAll(const std::string& path)
{
    std::string data;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) return "<unreadable>";
    char buffer[65536];
    ssize_t n;
    while ((n = ::read(fd, buffer, sizeof buffer)) > 0) data.append(buffer, size_t(n));
    ::close(fd);
    return data;
}

void writeFile(const std::string& path, size_t size, unsigned seed)
{
    makeFile(path, 0);
    std::mt19937 random(seed);
    std::string data(size, '\0');
    for (char& c : data) c = char(random() & 0xff);
    const int fd = ::open(path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::write(fd, data.data(), data.size()), ssize_t(data.size()));
    ::close(fd);
}

// Every item under the folder: its kind and contents (a link: its target), by path.
std::map<std::string, std::string> snapshot(const std::string& folder)
{
    std::map<std::string, std::string> items;
    std::vector<std::string> stack{folder};
    while (!stack.empty()) {
        const std::string dir = stack.back();
        stack.pop_back();
        DIR* d = ::opendir(dir.c_str());
        if (!d) continue;
        while (dirent* entry = ::readdir(d)) {
            const std::string name = entry->d_name;
            if (name == "." || name == "..") continue;
            const std::string path = dir + "/" + name;
            struct stat st {};
            if (::lstat(path.c_str(), &st) != 0) continue;
            if (S_ISDIR(st.st_mode)) {
                items[path] = "dir";
                stack.push_back(path);
            } else if (S_ISLNK(st.st_mode)) {
                char target[4096];
                const ssize_t n = ::readlink(path.c_str(), target, sizeof target);
                items[path] = "link:" + std::string(target, n > 0 ? size_t(n) : 0);
            } else {
                items[path] = "file:" + readAll(path);
            }
        }
        ::closedir(d);
    }
    return items;
}

// Clicks the treemap at the middle of the rectangle drawn for the record at `path`.
bool clickRecord(KZNestedTreemapView* view, const std::string& path)
{
    for (const KZTreemapDrawItem& item : view->drawItems()) {
        if (!item.node || !item.node->file() || item.node->file()->path() != path) continue;
        QTest::mouseClick(view, Qt::LeftButton, Qt::NoModifier, item.rect.center().toPoint());
        return true;
    }
    return false;
}

} // namespace

TEST(EndToEnd, ScanDeleteToTrashQueueAndFinish)
{
    ScopedSettings settings;
    KZScopedAlertService alerts;
    KZManualAnimationClock clock;
    KZScopedNotifier notifier;
    KZScopedApplicationServices services;
    KZRecordingWorkspace workspace;
    KZWorkspace::setShared(&workspace);
    TQTheme::resetRegistry();
    settings.preferences().setMinFileSize(0);

    TempDir dir;
    const std::string root = dir / "scanned";
    writeFile(root + "/trash-me.bin", 200000, 1);
    writeFile(root + "/queue-me.bin", 400000, 2);
    writeFile(root + "/keep/photo.jpg", 300000, 3);
    writeFile(root + "/keep/notes.txt", 1200, 4);
    writeFile(root + "/keep/deep/er/file.dat", 90000, 5);
    writeFile(root + "/odd \xff name.dat", 150000, 6);
    makeSymlink("../outside/outside.txt", root + "/keep/link");
    writeFile(dir / "outside/outside.txt", 70000, 7);
    auto expected = snapshot(dir.path());
    const std::string trashed = expected.at(root + "/trash-me.bin");
    expected.erase(root + "/trash-me.bin");
    expected.erase(root + "/queue-me.bin");

    {
        TQAppDelegate delegate;
        delegate.setEndProgramHandler([] {});
        delegate.applicationDidFinishLaunching();
        TQMainWindowController* wc = delegate.mainWindowController();
        QWidget* window = wc->window();
        window->resize(1000, 700);
        auto* dropView = window->findChild<KZDropView*>(QStringLiteral("dropView"));
        auto* next = window->findChild<KZButton*>(QStringLiteral("nextButton"));

        // Drop the folder, Next, and the scan moves on to the treemap.
        std::unique_ptr<QMimeData> drag(KZPasteboard::mimeDataForPaths({root}));
        ASSERT_EQ(dropView->draggingEntered(drag.get()), KZDraggingDestination::Copy);
        dropView->performDragOperation(drag.get());
        QTest::mouseClick(next, Qt::LeftButton);
        ASSERT_TRUE(waitFor([&] { return wc->currentStep() == 2 && wc->treemapViewController(); }));
        TQTreemapViewController* results = wc->treemapViewController();
        KZNestedTreemapView* view = results->treemapView();
        ASSERT_NE(view, nullptr);
        drain();

        // Select a file and delete it: not through the queue ("No"), to the Trash ("Delete").
        ASSERT_TRUE(clickRecord(view, root + "/trash-me.bin"));
        ASSERT_EQ(view->selectedFiles().size(), 1u);
        alerts.service.answerNext(KZAlertSecondButtonReturn);
        alerts.service.answerNext(KZAlertFirstButtonReturn);
        results->toolbar()->button(TQTreemapToolbar::DeleteItem)->click();
        ASSERT_EQ(alerts.service.shown().size(), 2u);
        EXPECT_EQ(alerts.service.shown()[1].alert.messageText, "Are you sure you want to delete 'trash-me.bin'?");
        ASSERT_TRUE(waitFor([&] { return !results->removalFlow()->isDeleting(); }));
        drain();
        EXPECT_FALSE(exists(root + "/trash-me.bin"));
        EXPECT_EQ(results->totalFreed(), 200000);

        // Turn the delete queue on (the preferences' check box) and queue another file; it
        // stays on disk while queued.
        settings.preferences().setUseDeleteQueue(true);
        settings.preferences().setUseTrash(false);
        ASSERT_TRUE(clickRecord(view, root + "/queue-me.bin"));
        results->toolbar()->button(TQTreemapToolbar::DeleteItem)->click();
        ASSERT_EQ(TQDeleteQueue::sharedInstance().queue().size(), 1u);
        EXPECT_TRUE(exists(root + "/queue-me.bin"));
        drain();

        // Finish: the queue question, Delete, the sheet deletes, the finished screen follows.
        alerts.service.answerNext(KZAlertFirstButtonReturn);
        QTest::mouseClick(next, Qt::LeftButton);
        EXPECT_EQ(alerts.service.shown().back().alert.messageText, "Do you want to delete the files in the queue?");
        for (int i = 0; i < 100 && !wc->isFinishedScreenShown(); ++i) {
            waitFor([] { return !TQEmptyTrashWindowController::isAnySheetRunning(); });
            drain();
            clock.advance(0.1);
        }
        ASSERT_TRUE(wc->isFinishedScreenShown());
        EXPECT_TRUE(TQDeleteQueue::sharedInstance().queue().empty());

        // The freed total on the finished screen: both files.
        KZFinishedViewController* finished = wc->finishedViewController();
        EXPECT_EQ(finished->totalFreed(), 600000);
        EXPECT_EQ(finished->ui()->totalFreedLabel->unit(), "KB");
        EXPECT_EQ(finished->ui()->totalFreedLabel->size(), 600);
        EXPECT_EQ(wc->touchBarFinishedLabel()->text(), "Sizemere freed 600.0 KB from your computer!");
        clock.advance(1.0); // the status panel's transition to its congratulations
        QDir().mkpath(outputFolder() + "/app");
        window->grab().save(outputFolder() + "/app/end-to-end-finished.png");
    }
    drain();

    // The disk: exactly what was chosen is gone, the rest is untouched.
    EXPECT_EQ(snapshot(dir.path()), expected);
    const std::string trash = KZFreedesktopTrash::homeTrashPath();
    EXPECT_EQ("file:" + readAll(trash + "/files/trash-me.bin"), trashed);
    EXPECT_TRUE(exists(trash + "/info/trash-me.bin.trashinfo"));
    KZWorkspace::setShared(nullptr);
    TQTheme::resetRegistry();
}
