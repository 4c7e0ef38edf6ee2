// The results screen driven from the keyboard: the Delete key over the treemap is the toolbar's
// Delete, with the same confirmation (or the same queue), and deletes nothing without it.
#include "model/TQDeleteQueue.h"
#include "tests/app/TreemapScreenFixture.h"

using screentest::child;
using screentest::TreemapScreen;
using Screen = TQTreemapViewController;

namespace {

struct TreemapScreenKeys : TreemapScreen {
    void SetUp() override
    {
        makeTree();
        open();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
        view()->setFocus(Qt::TabFocusReason);
        ASSERT_TRUE(kztest::waitFor([&] { return view()->hasFocus(); }));
    }
    void pressDelete() { QTest::keyClick(view(), Qt::Key_Delete); }
};

TEST_F(TreemapScreenKeys, TheDeleteKeyAsksAsTheToolbarsDeleteAndDeletesOnlyWhenConfirmed)
{
    // Selected with the keys; the key asks with the toolbar's own question.
    QTest::keyClick(view(), Qt::Key_Tab);
    ASSERT_EQ(view()->selectedFiles().size(), 1u);
    ASSERT_TRUE(child(root, "big.bin"));
    select({"big.bin"});
    env.alerts.service.answerNext(KZAlertSecondButtonReturn); // Cancel
    pressDelete();
    ASSERT_EQ(alerts().size(), 1u);
    EXPECT_EQ(alerts().back().alert.messageText, QStringLiteral("Are you sure you want to delete 'big.bin'?"));
    EXPECT_EQ(alerts().back().alert.buttons, (QStringList{"Delete", "Cancel"}));
    EXPECT_FALSE(screen->removalFlow()->isDeleting());
    EXPECT_TRUE(kztest::exists(tmp / "big.bin"));
    EXPECT_TRUE(child(root, "big.bin"));

    // Confirmed: it goes, as through the toolbar.
    env.alerts.service.answerNext(KZAlertFirstButtonReturn);
    pressDelete();
    ASSERT_TRUE(waitForRemoval());
    EXPECT_EQ(alerts().size(), 2u);
    EXPECT_FALSE(kztest::exists(tmp / "big.bin"));
    EXPECT_FALSE(child(root, "big.bin"));
    EXPECT_EQ(screen->totalFreed(), 400000);
}

TEST_F(TreemapScreenKeys, TheDeleteKeyDoesNothingButBeepWhileTheToolbarsDeleteIsOff)
{
    // Nothing selected, or an item that may not be deleted: no question, nothing goes.
    view()->setClickedNode(nullptr);
    pressDelete();
    select({"big.bin"});
    kz::setDeletableCheckForTesting([](const std::string&) { return false; });
    screen->updateToolbarStates();
    ASSERT_FALSE(enabled(TQTreemapToolbar::DeleteItem));
    pressDelete();
    EXPECT_TRUE(alerts().empty());
    EXPECT_FALSE(screen->removalFlow()->isDeleting());
    EXPECT_TRUE(kztest::exists(tmp / "big.bin"));
    EXPECT_EQ(env.application.services.beeps, 2);
}

TEST_F(TreemapScreenKeys, WithTheDeleteQueueTheKeyQueuesAsTheToolbarDoes)
{
    prefs().setUseDeleteQueue(true);
    select({"docs"});
    pressDelete();
    EXPECT_TRUE(alerts().empty());
    const auto& queued = TQDeleteQueue::sharedInstance().queue();
    ASSERT_EQ(queued.size(), 1u);
    EXPECT_EQ(queued.front()->nameBytes(), "docs");
    EXPECT_TRUE(kztest::exists(tmp / "docs/a.txt"));
    TQDeleteQueue::sharedInstance().clearQueue();
}

TEST_F(TreemapScreenKeys, EscapeAndSpaceStillBelongToTheScreen)
{
    select({"big.bin"});
    QTest::keyClick(view(), Qt::Key_Escape);
    EXPECT_TRUE(view()->selectedFiles().empty());
    QTest::keyClick(view(), Qt::Key_Right);
    ASSERT_EQ(view()->selectedFiles().size(), 1u);
    QTest::keyClick(view(), Qt::Key_Space);
    ASSERT_TRUE(screen->previewPanel() && screen->previewPanel()->isVisible());
    EXPECT_EQ(screen->previewPanel()->numberOfItems(), 1);
}

} // namespace
