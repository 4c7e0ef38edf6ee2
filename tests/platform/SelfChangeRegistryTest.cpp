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
        KZSelfChange change("/a/b/", KZChange::Any, registry);
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

TEST(SelfChangeRegistry, OnlyTheKindsOfChangeMarked)
{
    KZSelfChangeRegistry registry(std::chrono::seconds(5));
    auto now = KZSelfChangeRegistry::Clock::now();
    registry.setClock([&] { return now; });
    registry.endChange(registry.beginChange("/d/removed", KZChange::Removed));
    const auto moving = registry.beginChange("/d/moved", KZChange::RenamedFrom);
    now += std::chrono::seconds(1);
    EXPECT_TRUE(registry.isOwnChange("/d/removed", KZChange::Removed));
    EXPECT_TRUE(registry.isOwnChange("/d/removed/inner", KZChange::Removed));
    EXPECT_FALSE(registry.isOwnChange("/d/removed", KZChange::Created)); // made anew by someone else
    EXPECT_FALSE(registry.isOwnChange("/d/removed", KZChange::RenamedTo));
    EXPECT_TRUE(registry.isOwnChange("/d/moved", KZChange::RenamedFrom | KZChange::Removed));
    EXPECT_FALSE(registry.isOwnChange("/d/moved", KZChange::Modified));
    // A change that did not happen leaves no mark behind.
    registry.discardChange(moving);
    EXPECT_FALSE(registry.isOwnChange("/d/moved"));
    registry.endChange(moving);
    EXPECT_FALSE(registry.isOwnChange("/d/moved"));
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
