#include "platform/KZSelfChangeRegistry.h"

#include <gtest/gtest.h>

namespace {

TEST(SelfChangeRegistry, MarksAPathAndWhatIsBelowItForTheGracePeriod)
{
    KZSelfChangeRegistry registry(std::chrono::seconds(5));
    auto now = KZSelfChangeRegistry::Clock::now();
    registry.setClock([&] { return now; });

    EXPECT_FALSE(registry.isOwnChange("/a/b"));
    {
        KZSelfChange change("/a/b/", registry);
        EXPECT_TRUE(registry.isOwnChange("/a/b"));
        EXPECT_TRUE(registry.isOwnChange("/a/b/"));
        EXPECT_TRUE(registry.isOwnChange("/a/b/c/d"));
        EXPECT_FALSE(registry.isOwnChange("/a/bc"));
        EXPECT_FALSE(registry.isOwnChange("/a"));
        now += std::chrono::minutes(10); // still running: still marked
        EXPECT_TRUE(registry.isOwnChange("/a/b/c"));
    }
    now += std::chrono::seconds(4);
    EXPECT_TRUE(registry.isOwnChange("/a/b/c"));
    now += std::chrono::seconds(2);
    EXPECT_FALSE(registry.isOwnChange("/a/b/c"));
}

TEST(SelfChangeRegistry, OverlappingChangesOfOnePath)
{
    KZSelfChangeRegistry registry(std::chrono::milliseconds(0));
    const auto first = registry.beginChange("/x");
    const auto second = registry.beginChange("/x");
    registry.endChange(first);
    EXPECT_TRUE(registry.isOwnChange("/x/y"));
    registry.endChange(second);
    EXPECT_FALSE(registry.isOwnChange("/x/y"));
    registry.endChange(second); // ending twice does nothing
    EXPECT_FALSE(registry.isOwnChange(""));
}

TEST(SelfChangeRegistry, ExpiredEntriesArePruned)
{
    KZSelfChangeRegistry registry(std::chrono::milliseconds(0));
    for (int i = 0; i < 10000; ++i) registry.endChange(registry.beginChange("/p/" + std::to_string(i)));
    const auto t = registry.beginChange("/kept");
    EXPECT_TRUE(registry.isOwnChange("/kept"));
    EXPECT_FALSE(registry.isOwnChange("/p/5"));
    registry.endChange(t);
}

} // namespace
