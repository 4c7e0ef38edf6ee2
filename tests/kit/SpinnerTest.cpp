#include "kit/TWTouchBarProgressIndicator.h"
#include "kit/YRKSpinningProgressIndicator.h"
#include "platform/KZAnimationClock.h"

#include <QApplication>

#include <gtest/gtest.h>

#include <cmath>

TEST(Spinner, FinAlphas)
{
    EXPECT_DOUBLE_EQ(YRKSpinningProgressIndicator::alphaValueForPosition(0, 0, false, 0), 1.0);
    EXPECT_DOUBLE_EQ(YRKSpinningProgressIndicator::alphaValueForPosition(1, 0, false, 0), 0.85);
    EXPECT_NEAR(YRKSpinningProgressIndicator::alphaValueForPosition(11, 0, false, 0), std::pow(0.85, 11), 1e-12);
    EXPECT_DOUBLE_EQ(YRKSpinningProgressIndicator::alphaValueForPosition(11, 1, false, 0), 1.0);
    EXPECT_NEAR(YRKSpinningProgressIndicator::alphaValueForPosition(0, 0, true, 0.2), 0.5, 1e-12);
}

TEST(Spinner, PieAngles)
{
    const auto quarter = YRKSpinningProgressIndicator::pieAngles(25, 100);
    EXPECT_DOUBLE_EQ(quarter.start, 90);
    EXPECT_DOUBLE_EQ(quarter.end, 0) << "twelve to three o'clock";
    EXPECT_DOUBLE_EQ(YRKSpinningProgressIndicator::pieAngles(150, 100).end, -270);
    EXPECT_DOUBLE_EQ(YRKSpinningProgressIndicator::pieAngles(-5, 100).end, 90);
    EXPECT_DOUBLE_EQ(YRKSpinningProgressIndicator::pieAngles(5, 0).end, 90) << "a maximum of 0 draws no pie";
    EXPECT_DOUBLE_EQ(YRKSpinningProgressIndicator::pieAngles(std::nan(""), 100).end, 90);
}

TEST(Spinner, DeterminateSpinnerDoesNotStart)
{
    QWidget host;
    auto* spinner = new YRKSpinningProgressIndicator(&host);
    spinner->setCurrentValue(10);
    spinner->startAnimation();
    EXPECT_FALSE(spinner->isAnimating());
}

TEST(Spinner, FramesAdvanceOnTheTimerAndTheFadeEndsIt)
{
    KZManualAnimationClock clock;
    QWidget host;
    auto* spinner = new YRKSpinningProgressIndicator(&host);
    spinner->startAnimation();
    EXPECT_TRUE(spinner->isAnimating());
    clock.advance(0.05);
    EXPECT_EQ(spinner->currentPosition(), 1);
    EXPECT_NEAR(spinner->finColors()[0].alphaF(), 1.0, 1e-3);
    clock.advance(0.05 * 12);
    EXPECT_EQ(spinner->currentPosition(), 1);
    spinner->stopAnimation();
    EXPECT_TRUE(spinner->isFadingOut());
    clock.advance(0.3);
    EXPECT_TRUE(spinner->isAnimating());
    EXPECT_EQ(spinner->currentPosition(), 1) << "the fins stand still while they fade";
    clock.advance(0.5);
    EXPECT_FALSE(spinner->isAnimating());
    EXPECT_EQ(clock.activeTimerCount(), 0);
}

TEST(Spinner, StartDuringTheFadeRestartsFromFrameZero)
{
    KZManualAnimationClock clock;
    QWidget host;
    auto* spinner = new YRKSpinningProgressIndicator(&host);
    spinner->startAnimation();
    clock.advance(0.2);
    spinner->stopAnimation();
    clock.advance(0.1);
    spinner->startAnimation();
    EXPECT_FALSE(spinner->isFadingOut());
    EXPECT_EQ(spinner->currentPosition(), 0);
    clock.advance(0.05);
    EXPECT_NEAR(spinner->finColors()[0].alphaF(), 1.0, 1e-3);
}

TEST(Spinner, HiddenWhenStoppedIfNotDisplayed)
{
    KZManualAnimationClock clock;
    QWidget host;
    auto* spinner = new YRKSpinningProgressIndicator(&host);
    host.show();
    spinner->setDisplayedWhenStopped(false);
    EXPECT_TRUE(spinner->isHidden());
    spinner->startAnimation();
    EXPECT_FALSE(spinner->isHidden());
    spinner->stopAnimation();
    clock.advance(1);
    EXPECT_TRUE(spinner->isHidden());
    host.hide();
}

TEST(Spinner, ParentlessSpinnerNeverOpensAWindow)
{
    KZManualAnimationClock clock;
    YRKSpinningProgressIndicator spinner;
    spinner.setDisplayedWhenStopped(false);
    spinner.startAnimation();
    EXPECT_FALSE(spinner.isVisible());
    EXPECT_FALSE(spinner.isViewHidden());
    EXPECT_EQ(clock.activeTimerCount(), 0) << "no window: it starts once placed";
    QWidget host;
    spinner.setParent(&host);
    EXPECT_EQ(clock.activeTimerCount(), 1);
    spinner.setParent(nullptr);
}

TEST(Spinner, LeavingTheWindowStopsAtOnce)
{
    KZManualAnimationClock clock;
    QWidget host;
    YRKSpinningProgressIndicator spinner(&host);
    spinner.startAnimation();
    spinner.setParent(nullptr);
    EXPECT_FALSE(spinner.isAnimating());
    EXPECT_EQ(clock.activeTimerCount(), 0);
}

TEST(Spinner, TouchBarSpinnerIsBlueAndOnTheMainTimer)
{
    TWTouchBarProgressIndicator spinner;
    EXPECT_EQ(spinner.color(), TWTouchBarProgressIndicator::touchBarColor());
    EXPECT_TRUE(spinner.isIndeterminate());
    EXPECT_FALSE(spinner.usesThreadedAnimation());
}
