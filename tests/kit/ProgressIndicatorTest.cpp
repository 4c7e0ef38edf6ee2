#include "kit/KZProgressIndicator.h"
#include "platform/KZAnimationClock.h"

#include <gtest/gtest.h>

TEST(ProgressIndicator, FillWidths)
{
    EXPECT_EQ(KZProgressIndicator::progressWidth(0.5, 300), 150);
    EXPECT_EQ(KZProgressIndicator::progressWidth(0.01, 300), 8);
    EXPECT_EQ(KZProgressIndicator::progressWidth(1.2, 300), 300);
    EXPECT_EQ(KZProgressIndicator::progressWidth(0.333, 300), 100);
    EXPECT_EQ(KZProgressIndicator::progressWidth(0, 300), 8);
    EXPECT_EQ(KZProgressIndicator::progressWidth(std::nan(""), 300), 8);
}

TEST(ProgressIndicator, MiddleSliceNeverNegative)
{
    EXPECT_EQ(KZProgressIndicator::middleWidth(150, 6, 6), 139);
    EXPECT_EQ(KZProgressIndicator::middleWidth(8, 6, 6), 0);
    EXPECT_EQ(KZProgressIndicator::middleWidth(12, 6, 6), 1);
}

TEST(ProgressIndicator, FirstValueIsNotAnimatedLaterOnesAre)
{
    KZManualAnimationClock clock;
    KZProgressIndicator bar;
    bar.resize(300, 12);
    EXPECT_EQ(bar.progress(), -1);
    bar.setProgress(0.5);
    EXPECT_FALSE(bar.isAnimating());
    EXPECT_EQ(bar.displayedFillWidth(), 150);
    bar.setProgress(1.0);
    EXPECT_TRUE(bar.isAnimating());
    clock.advance(0.1);
    EXPECT_GT(bar.displayedFillWidth(), 150);
    EXPECT_LT(bar.displayedFillWidth(), 300);
    clock.advance(0.2);
    EXPECT_FALSE(bar.isAnimating());
    EXPECT_EQ(bar.displayedFillWidth(), 300);
    EXPECT_EQ(bar.displayedMiddleWidth(), 300 - 12 + 1);
}

TEST(ProgressIndicator, ZeroShrinksThenHidesAndTheNextValueShowsAgain)
{
    KZManualAnimationClock clock;
    KZProgressIndicator bar;
    bar.resize(300, 12);
    bar.setProgress(0.5);
    bar.setProgress(0);
    EXPECT_EQ(bar.fillAlpha(), 1);
    clock.advance(0.3);
    EXPECT_EQ(bar.displayedFillWidth(), 8);
    EXPECT_EQ(bar.fillAlpha(), 0);
    bar.setProgress(0.2);
    EXPECT_EQ(bar.fillAlpha(), 1);
    clock.advance(0.3);
    EXPECT_EQ(bar.displayedFillWidth(), 60);
}

TEST(ProgressIndicator, EqualValueChangesNothing)
{
    KZManualAnimationClock clock;
    KZProgressIndicator bar;
    bar.resize(300, 12);
    bar.setProgress(0.5);
    bar.setProgress(0.5);
    EXPECT_FALSE(bar.isAnimating());
}
