#include "kit/KZDropDestinationButton.h"
#include "kit/KZDropView.h"
#include "kit/KZFileDropView.h"
#include "kit/KZTouchBarController.h"
#include "platform/KZAnimationClock.h"
#include "platform/KZPathString.h"
#include "platform/KZUserDefaults.h"
#include "platform/widgets/KZFolderPanel.h"
#include "platform/widgets/KZPasteboard.h"
#include "tests/kit/FakeTouchBar.h"
#include "tests/kit/KitEvents.h"
#include "tests/support/TestSupport.h"

#include <QFile>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QTreeView>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

using namespace kittest;

namespace {

// Accepts folders only, as the main window does; records every call.
class FolderDelegate : public KZDropViewDelegate {
public:
    QStringList calls;
    void dropViewFileWasDropped(KZDropView*) override { calls << "dropped"; }
    void dropViewDidEnter(KZDropView*) override { calls << "enter"; }
    void dropViewDidExit(KZDropView*) override { calls << "exit"; }
    bool dropViewShouldAcceptFile(KZDropView*, const std::string& path) override
    {
        struct stat st {};
        return ::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
    }
};

struct DropFixture : ::testing::Test {
    kztest::TempDir dir;
    std::string folderA = dir / "a";
    std::string folderB = dir / "b";
    std::string file = dir / "file.txt";
    FolderDelegate delegate;
    KZDropView view;
    void SetUp() override
    {
        kztest::makeDir(folderA);
        kztest::makeDir(folderB);
        kztest::makeFile(file, 10);
        view.setDelegate(&delegate);
    }
    std::unique_ptr<QMimeData> drag(const std::vector<std::string>& paths)
    {
        return std::unique_ptr<QMimeData>(KZPasteboard::mimeDataForPaths(paths));
    }
};

} // namespace

TEST_F(DropFixture, OneFolderIsAcceptedAndDropped)
{
    auto data = drag({folderA});
    EXPECT_TRUE(dragEnter(&view, data.get()));
    EXPECT_TRUE(drop(&view, data.get()));
    EXPECT_EQ(view.filePaths(), std::vector<std::string>{folderA});
    EXPECT_EQ(delegate.calls, (QStringList{"enter", "dropped", "exit"}));
}

TEST_F(DropFixture, TwoFoldersAreRefusedWithNoDelegateCall)
{
    auto data = drag({folderA, folderB});
    EXPECT_FALSE(dragEnter(&view, data.get()));
    EXPECT_TRUE(delegate.calls.isEmpty());
    EXPECT_TRUE(view.filePaths().empty());
}

TEST_F(DropFixture, AFileIsRefusedWhenTheDelegateTakesFoldersOnly)
{
    auto data = drag({file});
    EXPECT_FALSE(dragEnter(&view, data.get()));
    EXPECT_FALSE(delegate.calls.contains("enter"));
}

TEST_F(DropFixture, NotAcceptingRefusesEverything)
{
    view.setAcceptingDrops(false);
    auto data = drag({folderA});
    EXPECT_FALSE(dragEnter(&view, data.get()));
    EXPECT_FALSE(view.shouldAcceptFileWithPath(folderA));
}

TEST_F(DropFixture, OddNamesSurviveTheDrag)
{
    const std::string odd = dir / std::string("new\nline \xff\xfe name");
    kztest::makeDir(odd);
    auto data = drag({odd});
    EXPECT_TRUE(dragEnter(&view, data.get()));
    drop(&view, data.get());
    EXPECT_EQ(view.filePaths(), std::vector<std::string>{odd});
}

TEST_F(DropFixture, LeavingTellsTheDelegate)
{
    auto data = drag({folderA});
    dragEnter(&view, data.get());
    dragLeave(&view);
    EXPECT_EQ(delegate.calls, (QStringList{"enter", "exit"}));
}

TEST_F(DropFixture, NothingAcceptableKeepsTheEarlierChoice)
{
    EXPECT_TRUE(view.addFilePaths({folderA}));
    EXPECT_FALSE(view.addFilePaths({file}));
    EXPECT_EQ(view.filePaths(), std::vector<std::string>{folderA});
    EXPECT_TRUE(view.addFilePaths({folderB}));
    EXPECT_EQ(view.filePaths(), std::vector<std::string>{folderB}) << "a new choice replaces the old";
    view.setAllowsMultipleSelection(true);
    view.addFilePaths({folderA});
    EXPECT_EQ(view.filePaths(), (std::vector<std::string>{folderB, folderA}));
    view.clear();
    EXPECT_TRUE(view.filePaths().empty());
}

TEST_F(DropFixture, OpenPanelChoosesAFolderAndShowsTheTouchBarAgainLater)
{
    KZManualAnimationClock clock;
    FakeTouchBar bar;
    auto& touchBar = KZTouchBarController::sharedController();
    KZTouchBarController::setSystemHasTouchBar(true);
    touchBar.setTouchBar(&bar);
    QWidget topLevel;
    view.setParent(&topLevel);

    view.addFilePaths({folderB});
    view.open();
    QFileDialog* panel = view.openPanel();
    ASSERT_NE(panel, nullptr);
    EXPECT_TRUE(touchBar.hidden());
    EXPECT_EQ(panel->windowModality(), Qt::WindowModal);
    EXPECT_EQ(panel->fileMode(), QFileDialog::Directory);
    EXPECT_EQ(panel->labelText(QFileDialog::Accept), QStringLiteral("Choose"));
    panel->selectFile(QString::fromStdString(folderA));
    QMetaObject::invokeMethod(panel, "accept");
    EXPECT_EQ(view.filePaths(), std::vector<std::string>{folderA});
    EXPECT_EQ(delegate.calls.count("dropped"), 1);
    clock.advance(0.19);
    EXPECT_TRUE(touchBar.hidden());
    clock.advance(0.02);
    EXPECT_FALSE(touchBar.hidden());

    touchBar.setTouchBar(nullptr);
    KZTouchBarController::setSystemHasTouchBar(false);
    view.setParent(nullptr);
}

TEST_F(DropFixture, CancelledPanelLeavesThePaths)
{
    KZManualAnimationClock clock;
    QWidget topLevel;
    view.setParent(&topLevel);
    view.addFilePaths({folderB});
    view.open();
    ASSERT_NE(view.openPanel(), nullptr);
    view.openPanel()->reject();
    EXPECT_EQ(view.filePaths(), std::vector<std::string>{folderB});
    EXPECT_FALSE(delegate.calls.contains("dropped"));
    clock.advance(0.25);
    EXPECT_FALSE(KZTouchBarController::sharedController().hidden());
    view.setParent(nullptr);
}

TEST_F(DropFixture, OpenPanelOpensAtHomeFirstThenWhereTheLastChoiceWasAlsoInALaterRun)
{
    KZManualAnimationClock clock;
    const std::string home = dir / "home";
    kztest::makeDir(home);
    kztest::ScopedHome scopedHome(home);
    KZUserDefaults& settings = KZUserDefaults::standardUserDefaults();
    settings.removeObject(kz::LastChosenFolderKey);
    QWidget topLevel;
    view.setParent(&topLevel);
    const auto openedIn = [&] {
        // The panel of the last round goes first (it deletes itself once closed).
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        view.open();
        QFileDialog* panel = view.openPanel();
        EXPECT_NE(panel, nullptr);
        const std::string folder = panel ? QFile::encodeName(panel->directory().absolutePath()).toStdString() : "";
        return folder;
    };

    // The first time: the home folder, not the process's working folder.
    EXPECT_EQ(openedIn(), home);
    view.openPanel()->selectFile(QString::fromStdString(folderA));
    QMetaObject::invokeMethod(view.openPanel(), "accept");
    ASSERT_EQ(view.filePaths(), std::vector<std::string>{folderA});
    EXPECT_EQ(kz::pathFromQString(settings.stringForKey(kz::LastChosenFolderKey)), folderA);

    // A later run reads the choice from the settings file.
    settings.reload();
    EXPECT_EQ(openedIn(), folderA);
    view.openPanel()->reject();
    // A cancelled panel remembers nothing new.
    EXPECT_EQ(openedIn(), folderA);
    view.openPanel()->reject();

    // The folder went: home again.
    ASSERT_EQ(::rmdir(folderA.c_str()), 0);
    EXPECT_EQ(openedIn(), home);
    view.openPanel()->reject();
    settings.removeObject(kz::LastChosenFolderKey);
    view.setParent(nullptr);
}

TEST_F(DropFixture, OpenPanelColumnsAreAsWideAsWhatTheyShow)
{
    KZManualAnimationClock clock;
    const std::string listing = dir / "listing";
    kztest::makeFile(listing + "/a-very-large-disk-image.iso", 123456789012LL);
    kztest::makeFile(listing + "/notes.txt", 2048);
    kztest::makeFile(listing + "/report.pdf", 987654);
    kztest::makeFile(listing + "/archive.tar.gz", 55555555);
    kztest::makeDir(listing + "/photos");
    kz::rememberChosenFolder(listing);
    QWidget topLevel;
    view.setParent(&topLevel);
    view.open();
    QFileDialog* panel = view.openPanel();
    ASSERT_NE(panel, nullptr);
    auto* files = panel->findChild<QFileSystemModel*>();
    auto* list = panel->findChild<QTreeView*>(QStringLiteral("treeView"));
    ASSERT_TRUE(files && list);
    bool listed = false;
    QObject::connect(files, &QFileSystemModel::directoryLoaded, panel,
                     [&](const QString& path) { listed = listed || QFile::encodeName(path).toStdString() == listing; });
    panel->show();
    ASSERT_TRUE(kztest::waitFor([&] { return listed; }));
    ASSERT_EQ(files->rowCount(files->index(QFile::decodeName(QByteArray::fromStdString(listing)))), 5);

    // Size, Type and Date Modified: each at least as wide as its widest entry.
    for (int column = 1; column < list->header()->count(); ++column)
        EXPECT_GE(list->header()->sectionSize(column), static_cast<QAbstractItemView*>(list)->sizeHintForColumn(column))
            << files->headerData(column, Qt::Horizontal).toString().toStdString();
    EXPECT_GE(panel->width(), 820);
    panel->reject();
    KZUserDefaults::standardUserDefaults().removeObject(kz::LastChosenFolderKey);
    view.setParent(nullptr);
}

TEST(DropView, GoingWhileThePanelRunsShowsTheTouchBarAgain)
{
    KZManualAnimationClock clock;
    QWidget topLevel;
    auto* view = new KZDropView(&topLevel);
    view->open();
    EXPECT_TRUE(KZTouchBarController::sharedController().hidden());
    delete view;
    EXPECT_FALSE(KZTouchBarController::sharedController().hidden());
}

TEST_F(DropFixture, DestinationButtonHandsTheDragToTheView)
{
    KZDropDestinationButton button;
    button.setDelegate(&view);
    auto one = drag({folderA});
    EXPECT_TRUE(dragEnter(&button, one.get()));
    EXPECT_TRUE(drop(&button, one.get()));
    EXPECT_EQ(view.filePaths(), std::vector<std::string>{folderA});
    auto two = drag({folderA, folderB});
    EXPECT_FALSE(dragEnter(&button, two.get()));
    EXPECT_EQ(delegate.calls, (QStringList{"enter", "dropped", "exit"}));
}

TEST(FileDropView, AntsMarchOneStepPerTickAndFreezeWhenStopped)
{
    KZManualAnimationClock clock;
    KZFileDropView zone;
    zone.startAnimation();
    std::vector<double> phases;
    for (int i = 0; i < 11; ++i) {
        clock.advance(0.05);
        phases.push_back(zone.phase());
    }
    EXPECT_EQ(phases, (std::vector<double>{1, 2, 3, 4, 5, 6, 7, 8, 9, 0, 1}));
    zone.stopAnimation();
    clock.advance(1);
    EXPECT_EQ(zone.phase(), 1);
    zone.startAnimation();
    clock.advance(0.05);
    EXPECT_EQ(zone.phase(), 2);
}

TEST(FileDropView, BorderFollowsTheCurrentSize)
{
    EXPECT_EQ(KZFileDropView::dropPath(QSizeF(100, 50)).boundingRect(), QRectF(1.5, 1.5, 97, 47));
    EXPECT_EQ(KZFileDropView::dropPath(QSizeF(300, 200)).boundingRect(), QRectF(1.5, 1.5, 297, 197));
}
