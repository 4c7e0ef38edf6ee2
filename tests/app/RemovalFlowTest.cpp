// The results screen's removal and queue flow on its own, on a real scanned folder: the
// confirmed delete with its totals and failures, queue mode and put-back, emptying, the
// compressions it hands over, and what it leaves behind when it goes.
#include "app/TQDeleteQueueViewController.h"
#include "app/TQNotifications.h"
#include "app/TQRemovalFlow.h"
#include "app/TQRunLedger.h"
#include "model/TQDeleteQueue.h"
#include "platform/KZFileFaults.h"
#include "platform/widgets/KZSound.h"
#include "tests/app/TreemapScreenFixture.h"

#include <QPushButton>
#include <QSignalSpy>

#include <cerrno>

namespace {

using screentest::child;
using screentest::childFolder;

struct RemovalFlow : ::testing::Test {
    kztest::ScreenTestEnvironment env;
    kztest::TempDir tmp;
    QMainWindow window;
    QPushButton* queueButton = new QPushButton(QStringLiteral("Queue"), &window);
    QObject screen; // stands for the results screen that owns the flow
    TQRunLedger ledger;
    KZIgnoreList ignoreList = KZIgnoreList::ignoreList();
    KZDirectoryPtr root;
    std::unique_ptr<TQRemovalFlow> flow;
    int nextEnabled = 0;

    void SetUp() override
    {
        Preferences& prefs = Preferences::sharedPreferences();
        prefs.setMinFileSize(1000);
        prefs.setHasAskedToUseDeleteQueue(true);
        prefs.setUseTrash(false);
        kz::setDeletableCheckForTesting([](const std::string&) { return true; });
        kztest::makeFile(tmp / "big.bin", 400000);
        kztest::makeFile(tmp / "docs/a.txt", 120000);
        kztest::makeFile(tmp / "docs/b.txt", 60000);
        root = screentest::scan(tmp.path());
        ASSERT_TRUE(root);
        ledger.setRootDirectory(root);
        window.resize(600, 400);
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        make(true);
        KZNotificationCenter::defaultCenter().addObserver(
            TQNotification_EnableNextButton, [this](const KZNotification&) { ++nextEnabled; }, &window);
    }
    void TearDown() override
    {
        flow.reset();
        TQDeleteQueue::sharedInstance().clearQueue();
        kz::setDeletableCheckForTesting({});
    }
    void make(bool ledgerOutlivesScreen)
    {
        flow =
            std::make_unique<TQRemovalFlow>(TQRemovalFlow::Setup{root, &ledger, ledgerOutlivesScreen, &ignoreList,
                                                                 &window, [this]() -> QWidget* { return queueButton; }},
                                            &screen);
    }
    const std::vector<KZScriptedAlertService::Shown>& alerts() const { return env.alerts.service.shown(); }
    KZFilePtr record(const std::string& relative) const
    {
        const size_t slash = relative.find('/');
        return slash == std::string::npos
                   ? child(root, relative)
                   : child(childFolder(root, relative.substr(0, slash)), relative.substr(slash + 1));
    }
};

TEST_F(RemovalFlow, AConfirmedDeleteCountsWhatWentOnceAndListsWhatStayed)
{
    const std::string stuck = tmp / "docs/b.txt";
    kztest::ScopedFaultHook faults([stuck](kz::FileOperation op, const std::string& path) {
        return op == kz::FileOperation::Unlink && kz_isEqualToPath(path, stuck) ? EACCES : 0;
    });
    QSignalSpy finished(flow.get(), &TQRemovalFlow::removalFinished);
    env.alerts.service.answerNext(KZAlertSecondButtonReturn); // Cancel
    EXPECT_FALSE(flow->removeFiles({record("big.bin")}));
    EXPECT_FALSE(flow->isDeleting());

    const KZDirectoryPtr home = KZDirectory::fileWithPath("/Users/sizemere-nobody");
    env.alerts.service.answerNext(KZAlertFirstButtonReturn);
    EXPECT_TRUE(flow->removeFiles({record("big.bin"), record("docs/b.txt"), KZFilePtr(home)}));
    EXPECT_TRUE(flow->isDeleting());
    ASSERT_TRUE(kztest::waitFor([&] { return !flow->isDeleting(); }));
    EXPECT_EQ(alerts()[1].alert.messageText, TQRemovalFlow::DeleteManyMessage.arg(3));
    EXPECT_FALSE(kztest::exists(tmp / "big.bin") || record("big.bin"));
    EXPECT_TRUE(record("docs/b.txt"));
    EXPECT_EQ(flow->totalFreed(), 400000);
    EXPECT_EQ(ledger.totalFreed(), 400000);
    EXPECT_EQ(nextEnabled, 1);
    EXPECT_EQ(finished.count(), 1);
    ASSERT_EQ(alerts().size(), 3u);
    EXPECT_EQ(alerts()[2].alert.messageText, TQRemovalFlow::DeleteFailedMessage);
    EXPECT_TRUE(alerts()[2].alert.informativeText.contains(QString::fromStdString(stuck)));
    EXPECT_TRUE(alerts()[2].alert.informativeText.contains(QStringLiteral("/Users/sizemere-nobody: ") +
                                                           TQRemovalFlow::UnremovableReason));

    // Freed by hand: both totals, nothing for nothing; an amount below 0 (an archive larger
    // than what went) takes away.
    flow->addTotalSaved(0);
    flow->addTotalSaved(-5);
    flow->addTotalSaved(100);
    EXPECT_EQ(flow->totalFreed(), 400095);
    EXPECT_EQ(ledger.totalFreed(), 400095);
    EXPECT_EQ(nextEnabled, 3);
}

TEST_F(RemovalFlow, ManyFailuresAreListedUpToALimitAndCounted)
{
    for (int i = 0; i < 30; ++i) kztest::makeFile(tmp / ("stuck/f" + std::to_string(i)), 2000);
    root = screentest::scan(tmp.path());
    ledger.setRootDirectory(root);
    make(true);
    kztest::ScopedFaultHook faults([](kz::FileOperation op, const std::string& path) {
        return op == kz::FileOperation::Unlink && path.find("/stuck/") != std::string::npos ? EACCES : 0;
    });
    KZFileList files;
    for (KZFile* f : childFolder(root, "stuck")->children()) files.push_back(KZFilePtr(f));
    env.alerts.service.answerNext(KZAlertFirstButtonReturn);
    ASSERT_TRUE(flow->removeFiles(files));
    ASSERT_TRUE(kztest::waitFor([&] { return !flow->isDeleting(); }));
    ASSERT_EQ(alerts().size(), 2u);
    const QStringList lines = alerts()[1].alert.informativeText.split('\n');
    ASSERT_EQ(lines.size(), TQRemovalFlow::kMaxListedFailures + 1);
    EXPECT_EQ(lines.last(), QStringLiteral("... and 10 more"));
    EXPECT_EQ(flow->totalFreed(), 0);
    EXPECT_EQ(nextEnabled, 0);
}

TEST_F(RemovalFlow, TheQuestionIsAskedOnceThenQueueModeTakesOutAndPutsBack)
{
    Preferences::sharedPreferences().setHasAskedToUseDeleteQueue(false);
    env.alerts.service.answerNext(KZAlertFirstButtonReturn); // Yes, use the queue
    const KZFilePtr a = record("docs/a.txt");
    const KZDirectoryPtr docs = childFolder(root, "docs");
    const double docsTotal = docs->fileSize();
    EXPECT_FALSE(flow->removeFilesFromView({a})) << "the view takes nothing out itself";
    ASSERT_EQ(alerts().size(), 1u);
    EXPECT_EQ(alerts()[0].alert.messageText, TQRemovalFlow::UseQueueMessage);
    EXPECT_TRUE(Preferences::sharedPreferences().useDeleteQueue());
    EXPECT_FALSE(record("docs/a.txt"));
    EXPECT_EQ(docs->fileSize(), docsTotal);
    EXPECT_EQ(flow->queuedFolderOf(a.get()), docs);
    EXPECT_EQ(TQDeleteQueue::sharedInstance().queue(), KZFileList{a});
    ASSERT_TRUE(flow->popover() && flow->popover()->popoverIsVisible()) << "hung from the queue button";
    EXPECT_EQ(flow->deleteQueueController()->popover(), flow->popover());

    // Turning the queue off closes the popover; the record comes back when it leaves the queue.
    Preferences::sharedPreferences().setUseDeleteQueue(false);
    EXPECT_FALSE(flow->popover());
    TQDeleteQueue::sharedInstance().clearQueue();
    EXPECT_EQ(record("docs/a.txt"), a);
    EXPECT_FALSE(flow->queuedFolderOf(a.get()));
    EXPECT_EQ(alerts().size(), 1u) << "not asked again";
}

TEST_F(RemovalFlow, EmptyingRunsTheSheetAndSaysWhenItStartsAndEnds)
{
    flow->queueFiles({record("big.bin")});
    QSignalSpy emptying(flow.get(), &TQRemovalFlow::emptyingChanged);
    KZNotificationCenter::defaultCenter().post(TQNotification_EmptyTrash);
    ASSERT_TRUE(flow->emptyWindowController());
    EXPECT_TRUE(flow->isEmptying());
    ASSERT_TRUE(kztest::waitFor([&] { return flow->emptyWindowController()->isFinished(); }));
    env.clock.advance(TQEmptyTrashWindowController::closeDelay);
    ASSERT_TRUE(kztest::waitFor([&] { return !ledger.isEmptying(); }));
    EXPECT_FALSE(flow->isEmptying());
    ASSERT_EQ(emptying.count(), 2);
    EXPECT_EQ(emptying[0][0].toBool(), true);
    EXPECT_EQ(emptying[1][0].toBool(), false);
    EXPECT_FALSE(kztest::exists(tmp / "big.bin"));
    EXPECT_EQ(flow->totalFreed(), 400000);
    EXPECT_EQ(nextEnabled, 1);
}

TEST_F(RemovalFlow, ItsNotificationsGoWithTheScreensAndQueuedRecordsLetTheirFolderGo)
{
    const KZFilePtr a = record("docs/a.txt");
    flow->queueFiles({a});
    // The main window releases the screen: what was observed under it is heard no more.
    KZNotificationCenter::defaultCenter().removeObservers(&screen);
    KZNotificationCenter::defaultCenter().post(TQNotification_EmptyTrash);
    EXPECT_FALSE(flow->emptyWindowController());
    TQDeleteQueue::sharedInstance().removeFileFromQueue(a);
    EXPECT_FALSE(record("docs/a.txt")) << "no put-back for a released screen";

    flow->queueFiles({record("docs/b.txt")});
    const KZFilePtr b = TQDeleteQueue::sharedInstance().queue().back();
    ASSERT_TRUE(b->parent());
    flow.reset();
    EXPECT_EQ(b->parent(), nullptr);
    EXPECT_TRUE(kz_isEqualToPath(b->path(), tmp / "docs/b.txt")) << "the path survives the lost link";
}

TEST_F(RemovalFlow, RunningCompressionsGoToALedgerThatStaysOrRunOnUnheard)
{
    kz::setTriTonePlayerForTesting([] {});
    for (const bool ledgerStays : {true, false}) {
        make(ledgerStays);
        flow->compressFiles({record("big.bin")});
        ASSERT_EQ(flow->compressingWindowControllers().size(), 1u);
        QPointer<TQCompressingWindowController> c = flow->compressingWindowControllers().front();
        EXPECT_EQ(c->delegate(), flow.get());
        EXPECT_TRUE(flow->filePathWasCompressFileChange(c->compressedFilePath()));
        flow.reset();
        ASSERT_TRUE(c);
        if (ledgerStays) {
            EXPECT_EQ(c->delegate(), &ledger);
        } else {
            EXPECT_EQ(c->delegate(), nullptr);
        }
        c->cancel();
        ASSERT_TRUE(kztest::waitFor([&] {
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            return c.isNull();
        }));
    }
    EXPECT_EQ(ledger.totalCompressed(), 0);
    kz::setTriTonePlayerForTesting({});
}

} // namespace
