#include "kit/KZTouchBarController.h"
#include "tests/kit/FakeTouchBar.h"

#include <QWidget>

#include <gtest/gtest.h>

namespace {

using kittest::FakeTouchBar;

// Each test runs with the system's Touch Bar switched on or off and restores it.
class TouchBar : public ::testing::Test {
protected:
    void TearDown() override { KZTouchBarController::setSystemHasTouchBar(false); }
    KZTouchBarController controller;
    FakeTouchBar bar;
};

} // namespace

TEST_F(TouchBar, LinuxHasNoneAndEveryOperationDoesNothing)
{
    EXPECT_FALSE(KZTouchBarController::systemHasTouchBar());
    EXPECT_FALSE(controller.touchBarIsAvailable());
    controller.setTouchBar(&bar);
    EXPECT_FALSE(controller.touchBarIsAvailable()) << "no system bar, even with a bar given";
    QWidget view;
    controller.pushTouchBarView(&view);
    controller.setTouchBarViews({&view});
    EXPECT_TRUE(controller.stack().empty());
    EXPECT_EQ(bar.templateCalls, 0);
    EXPECT_FALSE(view.isVisible());
}

TEST_F(TouchBar, GivingTheBarSetsItsIdentifiers)
{
    KZTouchBarController::setSystemHasTouchBar(true);
    controller.setTouchBar(&bar);
    EXPECT_TRUE(controller.touchBarIsAvailable());
    EXPECT_EQ(bar.defaults,
              (QStringList{"com.zandrel.touchbar.progressview", "NSTouchBarItemIdentifierOtherItemsProxy"}));
    EXPECT_EQ(bar.allowed, QStringList{"com.zandrel.touchbar.progressview"});
}

TEST_F(TouchBar, ItemsCarryTheIdentifierAndLabel)
{
    QWidget view;
    const auto item = controller.touchBarItemWithView(&view);
    EXPECT_EQ(item->identifier, QStringLiteral("com.zandrel.touchbar.progressview"));
    EXPECT_EQ(item->customizationLabel, QStringLiteral("Tidewell"));
    EXPECT_EQ(item->view, &view);
    EXPECT_EQ(controller.touchBarItemWithView(nullptr)->view, nullptr);
}

TEST_F(TouchBar, ReplacingAndPushingTheStack)
{
    KZTouchBarController::setSystemHasTouchBar(true);
    controller.setTouchBar(&bar);
    QWidget a, b, c;
    controller.setTouchBarViews({&a});
    ASSERT_EQ(controller.stack().size(), 1u);
    EXPECT_EQ(bar.shownView(), &a);
    controller.pushTouchBarView(&b);
    controller.pushTouchBarView(&c);
    EXPECT_EQ(controller.stack().size(), 3u);
    EXPECT_EQ(bar.shownView(), &c);
    controller.setTouchBarViews({&a, &b});
    EXPECT_EQ(controller.stack().size(), 2u);
    EXPECT_EQ(bar.shownView(), &b);
}

TEST_F(TouchBar, EmptyReplacementShowsAnEmptyItemAndLeavesNothingToShowAgain)
{
    KZTouchBarController::setSystemHasTouchBar(true);
    controller.setTouchBar(&bar);
    controller.setTouchBarViews({});
    EXPECT_TRUE(controller.stack().empty());
    ASSERT_EQ(bar.shown.size(), 1u);
    EXPECT_EQ(bar.shownView(), nullptr);
    const int calls = bar.templateCalls;
    controller.setHidden(false);
    EXPECT_EQ(bar.templateCalls, calls) << "showing again with an empty stack changes nothing";
}

TEST_F(TouchBar, HidingBlanksThePushShowsAnywayAndShowingRestoresTheTop)
{
    KZTouchBarController::setSystemHasTouchBar(true);
    controller.setTouchBar(&bar);
    QWidget a, b;
    controller.setTouchBarViews({&a});
    controller.setHidden(true);
    EXPECT_TRUE(controller.hidden());
    EXPECT_EQ(bar.shownView(), nullptr);
    EXPECT_EQ(controller.stack().size(), 1u) << "hiding never changes the stack";
    controller.pushTouchBarView(&b);
    EXPECT_EQ(bar.shownView(), &b) << "a push while hidden shows at once";
    EXPECT_TRUE(controller.hidden());
    controller.setHidden(false);
    EXPECT_EQ(bar.shownView(), &b);
}

TEST_F(TouchBar, SharedControllerIsOne)
{
    EXPECT_EQ(&KZTouchBarController::sharedController(), &KZTouchBarController::sharedController());
}
