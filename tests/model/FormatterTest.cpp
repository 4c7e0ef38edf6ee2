#include "model/KZMemoryFormatter.h"
#include "model/KZTimer.h"
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
    int fired = 0;
    auto timer = KZTimer::timerWithInterval(0.02, true, {}, [&](KZTimer&) { ++fired; });
    ASSERT_TRUE(kztest::waitFor([&] { return fired >= 3; }));
    timer->invalidate();
    const int after = fired;
    timer->run();
    kztest::spin(std::chrono::milliseconds(80));
    EXPECT_EQ(fired, after);
    EXPECT_NE(timer->description().find("repeats=YES"), std::string::npos);
}

TEST(Timer, OneShotFiresOnceAndMayDestroyItself)
{
    int fired = 0;
    std::unique_ptr<KZTimer> timer;
    timer = KZTimer::timerWithInterval(0.01, false, {}, [&](KZTimer&) {
        ++fired;
        timer.reset();
    });
    ASSERT_TRUE(kztest::waitFor([&] { return fired == 1; }));
    kztest::spin(std::chrono::milliseconds(50));
    EXPECT_EQ(fired, 1);
    EXPECT_EQ(timer, nullptr);
}
