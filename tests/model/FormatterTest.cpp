#include "model/KZMemoryFormatter.h"
#include "model/KZTimer.h"
#include "platform/KZAnimationClock.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

TEST(MemoryFormatter, Strings)
{
    KZMemoryFormatter f;
    EXPECT_EQ(f.stringFromBytes(0), QStringLiteral("0.0 bytes"));
    EXPECT_EQ(f.stringFromBytes(999), QStringLiteral("999.0 bytes"));
    EXPECT_EQ(f.stringFromBytes(1000), QStringLiteral("1.0 KB"));
    EXPECT_EQ(f.stringFromBytes(123456789), QStringLiteral("123.5 MB"));
    EXPECT_EQ(f.stringFromBytes(2.5e21), QStringLiteral("2500.0 EB"));
    f.setMinimumUnit(1);
    EXPECT_EQ(f.stringFromBytes(1), QStringLiteral("0.0 KB"));
    EXPECT_EQ(f.arrayFromBytes(500).first, 0.5);
}

TEST(MemoryFormatter, NonFiniteValuesStayInTheirUnit)
{
    KZMemoryFormatter f;
    EXPECT_EQ(f.arrayFromBytes(std::nan("")).second, QStringLiteral("bytes"));
    EXPECT_EQ(f.arrayFromBytes(INFINITY).second, QStringLiteral("EB"));
}

TEST(MemoryFormatter, Conversions)
{
    KZMemoryFormatter f;
    EXPECT_EQ(f.convertValue(2.5, 2, 0), 2500000);
    EXPECT_EQ(f.convertValue(7, 0, 0), 7);
    EXPECT_EQ(f.convertValue(50, 1, 0), 50000);
    EXPECT_EQ(f.convertValue(50000, 0, 1), 50);
    EXPECT_EQ(f.convertValue(3, 1, 2), 3);
    EXPECT_EQ(f.convertBytes(5, -1), 5);
}

TEST(Timer, RepeatsRestartsAndInvalidates)
{
    KZManualAnimationClock clock;
    int fired = 0;
    auto timer = KZTimer::timerWithInterval(0.5, true, {}, [&](KZTimer&) { ++fired; });
    EXPECT_TRUE(timer->isRunning());
    clock.advance(1.6);
    EXPECT_EQ(fired, 3);
    // run() restarts the count from zero.
    clock.advance(0.3);
    timer->run();
    clock.advance(0.3);
    EXPECT_EQ(fired, 3);
    clock.advance(0.2);
    EXPECT_EQ(fired, 4);
    timer->invalidate();
    EXPECT_FALSE(timer->isRunning());
    timer->run(); // the block is gone: runs without effect
    clock.advance(2.0);
    EXPECT_EQ(fired, 4);
    EXPECT_NE(timer->description().find("repeats=YES"), std::string::npos);
}

TEST(Timer, StoppedTimerKeepsItsBlockForALaterRun)
{
    KZManualAnimationClock clock;
    int fired = 0;
    auto timer = KZTimer::timerWithInterval(3.0, false, {}, [&](KZTimer&) { ++fired; });
    clock.advance(2.9);
    timer->invalidateTimerOnly();
    clock.advance(5.0);
    EXPECT_EQ(fired, 0);
    timer->run();
    clock.advance(3.0);
    EXPECT_EQ(fired, 1);
    EXPECT_FALSE(timer->isRunning());
}

TEST(Timer, OneShotFiresOnceAndMayDestroyItself)
{
    {
        KZManualAnimationClock clock;
        int fired = 0;
        std::unique_ptr<KZTimer> timer = KZTimer::timerWithInterval(0.01, false, {}, [&](KZTimer&) {
            ++fired;
            timer.reset();
        });
        clock.advance(0.01);
        EXPECT_EQ(fired, 1);
        EXPECT_EQ(timer, nullptr);
        clock.advance(10);
        EXPECT_EQ(fired, 1);
        EXPECT_EQ(clock.activeTimerCount(), 0);
    }
    // The same on the system clock, whose timer object is let go from inside its own call.
    int fired = 0;
    std::unique_ptr<KZTimer> timer = KZTimer::timerWithInterval(0.01, false, {}, [&](KZTimer&) {
        ++fired;
        timer.reset();
    });
    ASSERT_TRUE(kztest::waitFor([&] { return fired == 1; }));
    kztest::drainBackgroundWork(); // the system timer is deleted here: it can't fire again
    EXPECT_EQ(fired, 1);
    EXPECT_EQ(timer, nullptr);
}
