#include "kit/KZSpaceLabel.h"
#include "platform/KZAnimationClock.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {
// Advances one tick of the count and returns the text shown.
QString tick(KZManualAnimationClock& clock, KZSpaceLabel& label)
{
    clock.advance(double(0.01f));
    return label.stringValue();
}
} // namespace

TEST(SpaceLabel, TitleHasOneDecimalAndTheUnitWithoutBlank)
{
    EXPECT_EQ(KZSpaceLabel::titleText(12.34, "GB"), QStringLiteral("12.3GB"));
    KZSpaceLabel label;
    label.setSize(1234567);
    EXPECT_EQ(label.stringValue(), QStringLiteral("1.2MB"));
    EXPECT_EQ(label.unitText(), QStringLiteral("MB"));
}

TEST(SpaceLabel, SettingTheHeldSizeChangesNothing)
{
    KZSpaceLabel label;
    label.setSize(2000);
    label.setSize(5, QStringLiteral("GB"), false);
    const QString shown = label.stringValue();
    label.setSize(5);
    EXPECT_EQ(label.stringValue(), shown);
}

TEST(SpaceLabel, FirstAnimatedRequestOfACodeMadeLabelShowsAtOnce)
{
    KZManualAnimationClock clock;
    KZSpaceLabel label;
    label.setSize(42, QStringLiteral("GB"));
    EXPECT_FALSE(label.isAnimating());
    EXPECT_EQ(label.stringValue(), QStringLiteral("42.0GB"));
}

TEST(SpaceLabel, LabelFromAnInterfaceFileCountsFromZero)
{
    KZManualAnimationClock clock;
    KZSpaceLabel label;
    label.awakeFromNib();
    label.setSize(8, QStringLiteral("GB"));
    EXPECT_TRUE(label.isAnimating());
    EXPECT_EQ(tick(clock, label), QStringLiteral("1.0GB"));
}

TEST(SpaceLabel, CountsDownInEighthsAndEndsOnTheTarget)
{
    KZManualAnimationClock clock;
    KZSpaceLabel label;
    label.setSize(100, QStringLiteral("GB"), false);
    label.setSize(50, QStringLiteral("GB"));
    ASSERT_TRUE(label.isAnimating());
    EXPECT_DOUBLE_EQ(label.stepValue(), 6.25);
    QStringList seen;
    for (int i = 0; i < 20 && label.isAnimating(); ++i) seen << tick(clock, label);
    EXPECT_EQ(seen.first(), QStringLiteral("93.8GB"));
    EXPECT_EQ(seen.last(), QStringLiteral("50.0GB"));
    EXPECT_EQ(seen.size(), 9);
    EXPECT_FALSE(label.isAnimating());
    EXPECT_EQ(clock.activeTimerCount(), 0);
}

TEST(SpaceLabel, CountsUp)
{
    KZManualAnimationClock clock;
    KZSpaceLabel label;
    label.setSize(50, QStringLiteral("MB"), false);
    label.setSize(100, QStringLiteral("MB"));
    EXPECT_EQ(tick(clock, label), QStringLiteral("56.2MB"));
    while (label.isAnimating()) tick(clock, label);
    EXPECT_EQ(label.stringValue(), QStringLiteral("100.0MB"));
}

TEST(SpaceLabel, RequestsDuringACountRunInArrivalOrder)
{
    KZManualAnimationClock clock;
    KZSpaceLabel label;
    label.setSize(0, QStringLiteral("GB"), false);
    label.setSize(8, QStringLiteral("GB"));
    label.setSize(16, QStringLiteral("MB"), false); // queued, and still counted
    label.setSize(24, QStringLiteral("KB"));
    EXPECT_EQ(label.queuedRequestCount(), 2);
    QStringList ends;
    QString last;
    for (int i = 0; i < 100; ++i) {
        const QString shown = tick(clock, label);
        if (!label.isAnimating() || shown.endsWith("GB") != last.endsWith("GB")) {
        }
        last = shown;
        if (shown == "8.0GB" || shown == "16.0MB" || shown == "24.0KB")
            if (ends.isEmpty() || ends.last() != shown) ends << shown;
        if (!label.isAnimating() && label.queuedRequestCount() == 0) break;
    }
    EXPECT_EQ(ends, (QStringList{"8.0GB", "16.0MB", "24.0KB"}));
    EXPECT_FALSE(label.isAnimating());
}

TEST(SpaceLabel, QueueDoesNotStallOnAValueEqualToTheCurrentOne)
{
    KZManualAnimationClock clock;
    KZSpaceLabel label;
    label.setSize(0, QStringLiteral("GB"), false);
    label.setSize(8, QStringLiteral("GB"));
    label.setSize(8, QStringLiteral("GB")); // equal to the target of the running count
    label.setSize(16, QStringLiteral("GB"));
    for (int i = 0; i < 40 && (label.isAnimating() || label.queuedRequestCount()); ++i) tick(clock, label);
    EXPECT_EQ(label.queuedRequestCount(), 0);
    EXPECT_EQ(label.stringValue(), QStringLiteral("16.0GB"));
}

TEST(SpaceLabel, NonFiniteValuesShowAtOnce)
{
    KZManualAnimationClock clock;
    KZSpaceLabel label;
    label.setSize(10, QStringLiteral("GB"), false);
    label.setSize(std::numeric_limits<double>::infinity(), QStringLiteral("GB"));
    EXPECT_FALSE(label.isAnimating());
    EXPECT_EQ(label.stringValue(), QStringLiteral("infGB"));
    label.setSize(std::nan(""), QStringLiteral("GB"));
    EXPECT_FALSE(label.isAnimating());
    label.setSize(3, QStringLiteral("GB"));
    EXPECT_FALSE(label.isAnimating()) << "nothing to count from";
    EXPECT_EQ(label.stringValue(), QStringLiteral("3.0GB"));
}

TEST(SpaceLabel, IntegerValueRefitsTheFontOnlyWhenTheLengthChanges)
{
    KZSpaceLabel::resetLastFittedLength();
    KZSpaceLabel a, b;
    a.resize(200, 40);
    b.resize(100, 20);
    a.setIntegerValue(123);
    const int fittedA = a.font().pixelSize();
    EXPECT_GT(fittedA, 0);
    EXPECT_EQ(KZSpaceLabel::lastFittedLength(), 3);
    const QFont before = b.font();
    b.setIntegerValue(456); // same length: no refit
    EXPECT_EQ(b.font(), before);
    b.setIntegerValue(4567);
    EXPECT_NE(b.font().pixelSize(), before.pixelSize());
    EXPECT_EQ(b.stringValue(), QStringLiteral("4567"));
}

TEST(SpaceLabel, AnEmptyBoxKeepsItsFont)
{
    KZSpaceLabel::resetLastFittedLength();
    KZSpaceLabel label;
    label.resize(0, 0);
    const QFont before = label.font();
    label.setIntegerValue(98765);
    EXPECT_EQ(label.font(), before);
}
