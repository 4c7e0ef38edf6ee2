#include "platform/KZAnimationClock.h"
#include "platform/KZDispatch.h"
#include "platform/KZNotificationCenter.h"
#include "tests/support/TestSupport.h"

#include <QThread>
#include <QThreadPool>

#include <atomic>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

TEST(Dispatch, MainThreadBlocksAreQueuedInOrderAndNeverInline)
{
    std::vector<int> order;
    KZRunOnMainThread([&] { order.push_back(1); });
    KZRunOnMainThread([&] { order.push_back(2); });
    EXPECT_TRUE(order.empty());
    ASSERT_TRUE(kztest::waitFor([&] { return order.size() == 2; }));
    EXPECT_EQ(order, (std::vector<int>{1, 2}));
}

TEST(Dispatch, BackgroundBlocksRunOffTheMainThreadAndReportBack)
{
    std::atomic<bool> offMain{false};
    bool back = false;
    KZRunInBackground([&] {
        offMain = !kz::isMainThread();
        KZRunOnMainThread([&] { back = kz::isMainThread(); });
    });
    ASSERT_TRUE(kztest::waitFor([&] { return back; }));
    EXPECT_TRUE(offMain);
}

TEST(Dispatch, DelaysAreHonouredAndZeroStillWaitsForALaterTurn)
{
    bool zero = false;
    KZRunOnMainThreadAfterDelay([&] { zero = true; }, 0);
    EXPECT_FALSE(zero);
    QElapsedTimer t;
    t.start();
    bool late = false;
    KZRunOnMainThreadAfterDelay([&] { late = true; }, 0.15);
    ASSERT_TRUE(kztest::waitFor([&] { return late; }));
    EXPECT_GE(t.elapsed(), 140);
    EXPECT_TRUE(zero);

    std::atomic<bool> bg{false};
    KZRunInBackgroundAfterDelay([&] { bg = !kz::isMainThread(); }, 0.05);
    ASSERT_TRUE(kztest::waitFor([&] { return bg.load(); }));
}

TEST(Dispatch, BlocksForADestroyedContextAreDropped)
{
    KZManualAnimationClock clock;
    bool ran = false;
    auto context = std::make_unique<QObject>();
    KZRunOnMainThread([&] { ran = true; }, context.get());
    KZRunOnMainThreadAfterDelay([&] { ran = true; }, 0.02, context.get());
    context.reset();
    // Main-thread blocks run in order: once this one has run, the one before it had its turn.
    bool drained = false;
    KZRunOnMainThread([&] { drained = true; });
    ASSERT_TRUE(kztest::waitFor([&] { return drained; }));
    clock.advance(1.0);
    EXPECT_FALSE(ran);
}

TEST(Dispatch, DrainingWaitsForWorkThatChains)
{
    // Background work that queues main-thread work that queues background work, and so on:
    // when the drain returns, every link has run and nothing is pending.
    std::atomic<int> links{0};
    std::function<void(int)> link = [&](int left) {
        ++links;
        if (left == 0) return;
        if (kz::isMainThread()) {
            KZRunInBackground([&link, left] { link(left - 1); });
        } else {
            QThread::msleep(2); // the main thread gets there first, and must wait
            KZRunOnMainThread([&link, left] { link(left - 1); });
        }
    };
    KZRunInBackground([&] { link(7); });
    kztest::drainBackgroundWork();
    EXPECT_EQ(links.load(), 8);
    EXPECT_EQ(kz::pendingMainThreadBlocks(), 0);
}

TEST(Dispatch, DelayedBlocksFollowTheProgramClock)
{
    KZManualAnimationClock clock;
    std::vector<int> order;
    auto context = std::make_unique<QObject>();
    KZRunOnMainThreadAfterDelay([&] { order.push_back(3); }, 0.5);
    KZRunOnMainThreadAfterDelay([&] { order.push_back(1); }, 0.3, context.get());
    KZRunOnMainThreadAfterDelay([&] { order.push_back(2); }, 0.4, context.get());
    clock.advance(0.29);
    EXPECT_TRUE(order.empty());
    clock.advance(0.02);
    EXPECT_EQ(order, (std::vector<int>{1}));
    context.reset(); // the second block of that context is dropped
    clock.advance(1.0);
    EXPECT_EQ(order, (std::vector<int>{1, 3}));

    // Asked for from another thread, the delay starts once the request reaches the main thread.
    bool fromWorker = false, queued = false;
    KZRunInBackground([&] {
        KZRunOnMainThreadAfterDelay([&] { fromWorker = true; }, 0.2);
        KZRunOnMainThread([&] { queued = true; });
    });
    ASSERT_TRUE(kztest::waitFor([&] { return queued; }));
    EXPECT_FALSE(fromWorker);
    clock.advance(0.2);
    EXPECT_TRUE(fromWorker);
}

TEST(NotificationCenter, DeliversByNameWithUserInfo)
{
    KZNotificationCenter center;
    QVariantMap seen;
    int other = 0;
    auto token = center.addObserver("a", [&](const KZNotification& n) { seen = n.userInfo; });
    center.addObserver("b", [&](const KZNotification&) { ++other; });
    center.post("a", {{"files", 3}});
    EXPECT_EQ(seen.value("files").toInt(), 3);
    EXPECT_EQ(other, 0);
    center.removeObserver(token);
    center.post("a", {{"files", 4}});
    EXPECT_EQ(seen.value("files").toInt(), 3);
}

TEST(NotificationCenter, RemovalDuringDeliveryIsSafe)
{
    KZNotificationCenter center;
    int second = 0;
    KZNotificationCenter::Token t2 = 0;
    center.addObserver("x", [&](const KZNotification&) { center.removeObserver(t2); });
    t2 = center.addObserver("x", [&](const KZNotification&) { ++second; });
    center.post("x");
    EXPECT_EQ(second, 0);
    EXPECT_EQ(center.observerCount("x"), 1);
}

TEST(NotificationCenter, ObserversTiedToADestroyedContextAreNotCalled)
{
    KZNotificationCenter center;
    int calls = 0;
    auto ctx = std::make_unique<QObject>();
    center.addObserver(
        "x", [&](const KZNotification&) { ++calls; }, ctx.get());
    center.post("x");
    ctx.reset();
    center.post("x");
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(center.observerCount("x"), 0);
    {
        KZObserverToken scoped(&center, center.addObserver("y", [&](const KZNotification&) { ++calls; }));
    }
    center.post("y");
    EXPECT_EQ(calls, 1);
}
