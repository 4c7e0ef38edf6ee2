// The delete sheet on real queues of temporary files: what leaves the disk and the queue, the
// error page, closing by itself or by the user, and what can't happen while the run goes.

#include "app/TQCellTableView.h"
#include "app/TQEmptyTrashWindowController.h"
#include "app/TQFileTableModel.h"
#include "app/TQTableCellView.h"
#include "platform/KZDispatch.h"
#include "platform/KZFileFaults.h"
#include "tests/app/AppTestSupport.h"
#include "tests/support/TestSupport.h"

#include <QLabel>
#include <QMainWindow>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QThreadPool>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <limits>
#include <thread>

using kztest::exists;
using kztest::makeDir;
using kztest::makeFile;
using kztest::makeSymlink;

namespace {

struct SheetTest : ::testing::Test {
    kztest::ScreenTestEnvironment env;
    TQDeleteQueue& queue = TQDeleteQueue::sharedInstance();
    QMainWindow window;
    kztest::TempDir dir;
    std::unique_ptr<TQEmptyTrashWindowController> sheet = std::make_unique<TQEmptyTrashWindowController>();
    std::vector<TQDeletionResult> completions;

    SheetTest()
    {
        env.settings.preferences().setUseTrash(false);
        window.resize(700, 500);
        window.show();
        sheet->setCompletionBlock([this](const TQDeletionResult& r) { completions.push_back(r); });
    }
    // Icon lookups still under way end before the test does.
    ~SheetTest() { kztest::drainBackgroundWork(); }
    KZFilePtr file(const std::string& name, long long size)
    {
        makeFile(dir / name, size);
        return KZFile::fileWithPath(dir / name, true);
    }
    void waitForTheEnd()
    {
        ASSERT_TRUE(kztest::waitFor([&] { return sheet->isFinished(); }));
    }
};

} // namespace

TEST_F(SheetTest, OneFailureStaysQueuedAndListedTheRestLeavesTheQueue)
{
    KZFilePtr plain = file("plain.txt", 1200);
    KZFilePtr stuck = file("stuck.bin", 3000);
    makeDir(dir / "target");
    makeFile(dir / "target/keep.txt", 500);
    makeSymlink(dir / "target", dir / "link");
    KZFilePtr link = KZFile::fileWithPath(dir / "link", true);
    KZFilePtr gone = file("gone.txt", 7000);
    makeDir(dir / "folder");
    makeFile(dir / "folder/inner.txt", 400);
    KZDirectoryPtr folder = KZDirectory::fileWithPath(dir / "folder", true);
    KZFilePtr inner = KZFile::fileWithPath(dir / "folder/inner.txt", true);
    const KZFileList all{plain, stuck, link, gone, folder, inner};
    queue.addFilesToQueue(all);
    ::unlink((dir / "gone.txt").c_str()); // vanished before the run

    const std::string stuckPath = dir / "stuck.bin";
    kztest::ScopedFaultHook fault([&](kz::FileOperation op, const std::string& path) {
        return op == kz::FileOperation::Unlink && path == stuckPath ? EACCES : 0;
    });
    ASSERT_TRUE(sheet->beginSheetForWindow(&window));
    EXPECT_EQ(sheet->currentView(), sheet->progressView());
    EXPECT_EQ(sheet->progressIndicator()->maximum(), 1000);
    const QPalette bar = sheet->progressIndicator()->palette();
    EXPECT_EQ(bar.color(QPalette::Inactive, QPalette::Highlight), bar.color(QPalette::Active, QPalette::Highlight));
    waitForTheEnd();

    // On disk: the link went, its target did not; the failure is still there.
    EXPECT_FALSE(exists(dir / "plain.txt"));
    EXPECT_FALSE(exists(dir / "link"));
    EXPECT_TRUE(exists(dir / "target/keep.txt"));
    EXPECT_FALSE(exists(dir / "folder"));
    EXPECT_TRUE(exists(stuckPath));

    // The queue keeps exactly the failure.
    EXPECT_EQ(queue.queue(), (KZFileList{stuck}));

    // The error page: one row, the path and why.
    EXPECT_EQ(sheet->progressLabel()->text(), QStringLiteral("Finished!"));
    EXPECT_EQ(sheet->progressIndicator()->value(), 1000);
    EXPECT_EQ(sheet->currentView(), sheet->errorView());
    EXPECT_FALSE(sheet->progressView()->isVisibleTo(sheet->window()));
    TQFileTableModel* errors = sheet->tableView()->fileModel();
    ASSERT_EQ(errors->rowCount(), 1);
    EXPECT_EQ(errors->row(0).path, stuckPath);
    TQTableCellView* cell = sheet->tableView()->cellForRow(0);
    ASSERT_NE(cell, nullptr);
    EXPECT_EQ(cell->title(), QString::fromStdString(stuckPath));
    EXPECT_TRUE(cell->subtitle().contains(QStringLiteral("ermission"))) << cell->subtitle().toStdString();

    // The page stays until the user closes it; the completion comes once, with the result.
    env.clock.advance(5);
    EXPECT_TRUE(completions.empty());
    QTest::mouseClick(sheet->closeButton(), Qt::LeftButton);
    sheet->close();
    ASSERT_EQ(completions.size(), 1u);
    const TQDeletionResult& r = completions[0];
    EXPECT_EQ(r.deletedFiles, (KZFileList{plain, link, folder}));
    EXPECT_EQ(r.nestedFiles, (KZFileList{inner}));
    EXPECT_EQ(r.vanishedFiles, (KZFileList{gone}));
    ASSERT_TRUE(r.errors.has_value());
    EXPECT_EQ(r.errors->size(), 1u);
    // The bytes that left the disk: the file, the link itself and what the folder held;
    // what vanished before the run freed nothing.
    EXPECT_DOUBLE_EQ(r.freedBytes, plain->fileSize() + link->fileSize() + 400);
    EXPECT_FALSE(sheet->window()->isVisible());
}

TEST_F(SheetTest, WithoutFailuresItShowsFinishedAndClosesAFewTenthsLater)
{
    KZFileList files;
    for (int i = 0; i < 120; ++i) files.push_back(file("f" + std::to_string(i), 100));
    queue.addFilesToQueue(files);
    ASSERT_TRUE(sheet->beginSheetForWindow(&window));
    EXPECT_TRUE(sheet->window()->isVisible());
    EXPECT_TRUE(sheet->isSheet());
    waitForTheEnd();
    EXPECT_EQ(sheet->progressLabel()->text(), QStringLiteral("Finished!"));
    EXPECT_TRUE(queue.queue().empty());
    EXPECT_EQ(sheet->currentView(), sheet->progressView());
    env.clock.advance(0.29);
    EXPECT_TRUE(completions.empty());
    EXPECT_TRUE(sheet->window()->isVisible());
    env.clock.advance(0.01);
    ASSERT_EQ(completions.size(), 1u);
    EXPECT_EQ(completions[0].deletedFiles.size(), 120u);
    EXPECT_DOUBLE_EQ(completions[0].freedBytes, 12000);
    EXPECT_FALSE(sheet->window()->isVisible());
    sheet->close();
    env.clock.advance(1);
    EXPECT_EQ(completions.size(), 1u);
}

TEST_F(SheetTest, WhileTheRunGoesNothingClosesItAndNoSecondSheetStarts)
{
    queue.addFilesToQueue({file("a", 10), file("b", 20)});
    ASSERT_TRUE(sheet->beginSheetForWindow(&window));
    ASSERT_TRUE(sheet->isRunning());
    EXPECT_TRUE(TQEmptyTrashWindowController::isAnySheetRunning());

    // The close button, Escape and the Close action are refused.
    EXPECT_FALSE(sheet->performClose());
    QTest::keyClick(sheet->window(), Qt::Key_Escape);
    sheet->close();
    EXPECT_TRUE(sheet->window()->isVisible());

    // A second emptying is refused, and never completes.
    TQEmptyTrashWindowController second;
    int secondCompletions = 0;
    second.setCompletionBlock([&](const TQDeletionResult&) { ++secondCompletions; });
    EXPECT_FALSE(second.beginSheetForWindow(&window));
    EXPECT_FALSE(second.isRunning());

    waitForTheEnd();
    EXPECT_FALSE(TQEmptyTrashWindowController::isAnySheetRunning());
    EXPECT_TRUE(completions.empty());
    // The same sheet is not begun twice.
    EXPECT_FALSE(sheet->beginSheetForWindow(&window));
    env.clock.advance(0.3);
    EXPECT_EQ(completions.size(), 1u);
    EXPECT_EQ(secondCompletions, 0);
}

TEST_F(SheetTest, TheErrorPageClosesByItsWindowToo)
{
    KZFilePtr stuck = file("stuck", 10);
    queue.addFilesToQueue({stuck});
    const std::string stuckPath = dir / "stuck";
    kztest::ScopedFaultHook fault([&](kz::FileOperation op, const std::string& path) {
        return op == kz::FileOperation::Unlink && path == stuckPath ? EBUSY : 0;
    });
    ASSERT_TRUE(sheet->beginSheetForWindow(&window));
    waitForTheEnd();
    EXPECT_EQ(sheet->currentView(), sheet->errorView());
    // Double-clicking the row reveals the item; below it, nothing.
    TQCellTableView* table = sheet->tableView();
    QTest::mouseDClick(table->viewport(), Qt::LeftButton, {}, QPoint(40, TQCellTableView::cellHeight / 2));
    QTest::mouseDClick(table->viewport(), Qt::LeftButton, {}, QPoint(40, TQCellTableView::cellHeight * 3));
    ASSERT_EQ(env.workspace.revealed.size(), 1u);
    EXPECT_EQ(env.workspace.revealed[0], (std::vector<std::string>{stuckPath}));

    QTest::keyClick(sheet->window(), Qt::Key_Escape);
    ASSERT_EQ(completions.size(), 1u);
    EXPECT_TRUE(completions[0].deletedFiles.empty());
    EXPECT_DOUBLE_EQ(completions[0].freedBytes, 0);
    sheet->close();
    EXPECT_EQ(completions.size(), 1u);
    EXPECT_EQ(queue.queue(), (KZFileList{stuck}));
}

TEST_F(SheetTest, AnEmptyQueueEndsAtOnceAndASheetThatGoesEarlyReportsNothing)
{
    ASSERT_TRUE(sheet->beginSheetForWindow(&window));
    waitForTheEnd();
    EXPECT_EQ(sheet->progressLabel()->text(), QStringLiteral("Finished!"));
    env.clock.advance(0.3);
    ASSERT_EQ(completions.size(), 1u);
    EXPECT_TRUE(completions[0].deletedFiles.empty());

    // Destroyed while it runs: nothing reaches it, and the program may empty again.
    queue.addFilesToQueue({file("late", 10)});
    auto early = std::make_unique<TQEmptyTrashWindowController>();
    bool called = false;
    early->setCompletionBlock([&](const TQDeletionResult&) { called = true; });
    ASSERT_TRUE(early->beginSheetForWindow(&window));
    early.reset();
    EXPECT_FALSE(TQEmptyTrashWindowController::isAnySheetRunning());
    kz::backgroundPool().waitForDone();
    QCoreApplication::processEvents();
    env.clock.advance(1);
    EXPECT_FALSE(called);
}

TEST_F(SheetTest, TheBarMovesWhileOneLargeFolderIsEmptied)
{
    // One queued folder of many files: the bar and the label follow the files removed inside
    // it, rising from start to end, instead of waiting at 0% for the whole run.
    makeDir(dir / "big");
    KZDirectoryPtr big = KZDirectory::fileWithPath(dir / "big", true);
    for (int i = 0; i < 1500; ++i) {
        const std::string name = "f" + std::to_string(i);
        makeFile(dir / ("big/" + name), 50);
        KZFilePtr f = KZFile::childWithName(big.get(), name);
        f->setFileSize(50);
        big->addChild(f.get());
    }
    queue.addFilesToQueue({big});
    queue.setProgressInterval(0);
    // Each unlink takes a little while, so that the main thread takes every report in turn
    // however busy the machine is (a report is dropped while the last one is still pending).
    const std::string inside = dir / "big";
    kztest::ScopedFaultHook slow([inside](kz::FileOperation op, const std::string& path) {
        if (op == kz::FileOperation::Unlink && path.rfind(inside, 0) == 0)
            std::this_thread::sleep_for(std::chrono::microseconds(300));
        return 0;
    });
    struct Reset {
        TQDeleteQueue& q;
        ~Reset() { q.setProgressInterval(-1); }
    } reset{queue};

    std::vector<int> values;
    QStringList labels;
    bool pictured = false;
    QObject::connect(sheet->progressIndicator(), &QProgressBar::valueChanged, sheet.get(), [&](int v) {
        values.push_back(v);
        labels << sheet->progressLabel()->text();
        if (!pictured && v > 300 && v < 700) {
            pictured = true;
            // Once the label has followed the bar.
            QTimer::singleShot(0, sheet.get(), [&] {
                sheet->window()->grab().save(kztest::outputFolder() + "/delete-sheet-progress.png");
            });
        }
    });
    ASSERT_TRUE(sheet->beginSheetForWindow(&window));
    waitForTheEnd();
    EXPECT_FALSE(exists(dir / "big"));
    ASSERT_FALSE(values.empty());
    EXPECT_EQ(values.back(), 1000);
    EXPECT_TRUE(std::is_sorted(values.begin(), values.end()));
    EXPECT_GE(std::count_if(values.begin(), values.end(), [](int v) { return v > 0 && v < 1000; }), 3);
    EXPECT_TRUE(pictured);
    bool middle = false;
    for (const QString& l : labels) {
        EXPECT_FALSE(l.contains(QStringLiteral("nan")));
        const int percent = l.section(QLatin1Char(' '), 1).chopped(1).toInt();
        if (l.startsWith(QStringLiteral("Progress: ")) && percent > 0 && percent < 100) middle = true;
    }
    EXPECT_TRUE(middle) << labels.join(QStringLiteral(", ")).toStdString();
}

TEST(SheetText, ProgressReadsAWholePercentageAndNeverNaN)
{
    EXPECT_EQ(TQEmptyTrashWindowController::progressText(0.42), QStringLiteral("Progress: 42%"));
    EXPECT_EQ(TQEmptyTrashWindowController::progressText(0.5), QStringLiteral("Progress: 50%"));
    EXPECT_EQ(TQEmptyTrashWindowController::progressText(0), QStringLiteral("Progress: 0%"));
    EXPECT_EQ(TQEmptyTrashWindowController::progressText(1), QStringLiteral("Progress: 100%"));
    EXPECT_EQ(TQEmptyTrashWindowController::progressText(std::nan("")), QStringLiteral("Progress: 0%"));
    EXPECT_EQ(TQEmptyTrashWindowController::progressText(std::numeric_limits<double>::infinity()),
              QStringLiteral("Progress: 0%"));
}
