#include "kit/KZController.h"
#include "kit/KZResponderView.h"
#include "tests/kit/SampleControllers.h"

#include <gtest/gtest.h>

namespace {
struct Responder : KZResponder {};
} // namespace

TEST(ResponderView, ControllerIsInsertedBetweenTheViewAndItsSuccessor)
{
    KZResponderView view;
    Responder after;
    view.setNextResponder(&after);
    auto c = controller<KZPlainViewController>();
    view.setViewController(c.get());
    EXPECT_EQ(view.nextResponder(), c.get());
    EXPECT_EQ(c->nextResponder(), &after);
}

TEST(ResponderView, SettingTheSameControllerTwiceKeepsItOnce)
{
    KZResponderView view;
    Responder after;
    view.setNextResponder(&after);
    auto c = controller<KZPlainViewController>();
    view.setViewController(c.get());
    view.setViewController(c.get());
    EXPECT_EQ(view.nextResponder(), c.get());
    EXPECT_EQ(c->nextResponder(), &after) << "the controller does not point at itself";
}

TEST(ResponderView, NilControllerGivesTheViewTheOldSuccessor)
{
    KZResponderView view;
    Responder after;
    view.setNextResponder(&after);
    auto c = controller<KZPlainViewController>();
    view.setViewController(c.get());
    view.setViewController(nullptr);
    EXPECT_EQ(view.nextResponder(), &after);
    EXPECT_EQ(c->nextResponder(), nullptr);
    EXPECT_EQ(view.viewController(), nullptr);
}

TEST(ResponderView, OldControllerPointingBackAtTheViewLeavesTheChain)
{
    KZResponderView view;
    auto c = controller<KZPlainViewController>();
    view.setViewController(c.get());
    c->setNextResponder(&view);
    view.setViewController(nullptr);
    // The chain is left as it was: the view still follows to the old controller.
    EXPECT_EQ(view.nextResponder(), c.get());
    EXPECT_EQ(c->nextResponder(), &view);
}

TEST(ResponderView, SetNextResponderKeepsTheControllerDirectlyBehind)
{
    KZResponderView view;
    auto c = controller<KZPlainViewController>();
    view.setViewController(c.get());
    Responder r;
    view.setNextResponder(&r);
    EXPECT_EQ(view.nextResponder(), c.get());
    EXPECT_EQ(c->nextResponder(), &r);
    view.setNextResponder(c.get()); // its own controller: nothing changes
    EXPECT_EQ(view.nextResponder(), c.get());
    EXPECT_EQ(c->nextResponder(), &r);
}

TEST(ResponderView, ReparentingKeepsTheController)
{
    KZResponderView outer;
    auto c = controller<KZPlainViewController>();
    auto* view = new KZResponderView;
    view->setViewController(c.get());
    view->setParent(&outer);
    EXPECT_EQ(view->nextResponder(), c.get());
    EXPECT_EQ(c->nextResponder(), &outer);
}

TEST(ResponderView, ADestroyedSuccessorReadsAsNone)
{
    KZResponderView view;
    auto after = std::make_unique<Responder>();
    view.setNextResponder(after.get());
    after.reset();
    EXPECT_EQ(view.nextResponder(), nullptr);
}
