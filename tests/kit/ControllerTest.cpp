#include "kit/ITPathbar.h"
#include "kit/KZButton.h"
#include "kit/KZController.h"
#include "kit/KZResponderView.h"
#include "platform/widgets/KZAppearance.h"
#include "tests/kit/SampleControllers.h"
#include "ui_KZSampleViewController.h"
#include "ui_KZSampleWindowController.h"

#include <QApplication>
#include <QDialog>
#include <QKeyEvent>
#include <QMainWindow>
#include <QTest>

#include <gtest/gtest.h>

namespace {

bool anyTopLevelVisible()
{
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->isVisible()) return true;
    return false;
}

} // namespace

TEST(Controller, ViewControllerLoadsItsInterfaceFileOnFirstUse)
{
    auto c = controller<KZSampleViewController>();
    EXPECT_FALSE(c->isViewLoaded());
    QWidget* view = c->view();
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view, c->view()) << "loaded once";
    EXPECT_TRUE(qobject_cast<KZResponderView*>(view));
    ASSERT_NE(c->ui(), nullptr);
    ASSERT_NE(c->ui()->addButton, nullptr);
    EXPECT_EQ(c->ui()->addButton->imageName(), QStringLiteral("icon-add"));
    // Kit widgets wake before the controller: the button already knows its hover image.
    EXPECT_TRUE(c->addButtonHadHoverAtAwake);
    EXPECT_EQ(c->calls, (QStringList{"awakeFromNib", "viewDidLoad"}));
    // The root view has the controller right behind it in its responder chain.
    auto* rv = static_cast<KZResponderView*>(view);
    EXPECT_EQ(rv->viewController(), c.get());
    EXPECT_EQ(rv->nextResponder(), c.get());
    EXPECT_FALSE(anyTopLevelVisible()) << "a loaded view is never shown on its own";
}

TEST(Controller, SubclassWithoutInterfaceFileIsMadePlainly)
{
    auto c = controller<KZPlainViewController>();
    QWidget* view = c->view();
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->metaObject(), &QWidget::staticMetaObject);
    EXPECT_EQ(c->loads, 1);
    EXPECT_FALSE(view->isVisible());
}

TEST(Controller, ViewDiesWithItsControllerEvenWhenPlaced)
{
    QWidget host;
    QPointer<QWidget> view;
    {
        auto c = controller<KZSampleViewController>();
        view = c->view();
        view->setParent(&host);
    }
    EXPECT_TRUE(view.isNull());
    // And a view whose parent went first does not crash its controller.
    auto c = controller<KZPlainViewController>();
    {
        QWidget parent;
        c->view()->setParent(&parent);
    }
    EXPECT_FALSE(c->isViewLoaded());
}

TEST(Controller, KeysTheViewDoesNotTakeReachTheController)
{
    auto c = controller<KZSampleViewController>();
    QWidget* view = c->view();
    QKeyEvent space(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier, QStringLiteral(" "));
    QApplication::sendEvent(view, &space);
    EXPECT_TRUE(c->calls.contains("space"));
    EXPECT_TRUE(space.isAccepted());
    QKeyEvent other(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, QStringLiteral("a"));
    QApplication::sendEvent(view, &other);
    EXPECT_FALSE(other.isAccepted()) << "an unhandled key goes on to the parent widget";
}

TEST(Controller, WindowControllerLoadsLazilyOnceWithTheLightLook)
{
    auto c = controller<KZSampleWindowController>();
    EXPECT_FALSE(c->isWindowLoaded());
    QWidget* window = c->window();
    ASSERT_TRUE(qobject_cast<QMainWindow*>(window));
    EXPECT_EQ(window, c->window());
    EXPECT_EQ(c->windowDidLoadCount, 1);
    EXPECT_TRUE(c->awoke);
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Sample"));
    ASSERT_NE(c->ui()->pathBar, nullptr);
    EXPECT_EQ(window->palette().color(QPalette::Window), KZAppearance::aquaPalette().color(QPalette::Window));
    EXPECT_FALSE(window->isVisible());
}

TEST(Controller, PlainWindowControllerGetsAMainWindow)
{
    auto c = controller<KZWindowController>();
    EXPECT_TRUE(qobject_cast<QMainWindow*>(c->window()));
    EXPECT_EQ(c->window()->palette().color(QPalette::Base), KZAppearance::aquaPalette().color(QPalette::Base));
}

TEST(Controller, HooksAreEmptyInTheBaseAndOverriddenInSubclasses)
{
    auto c = controller<KZSampleViewController>();
    KZViewController* base = c.get();
    base->kz_viewWillDisappear();
    base->kz_viewWillAppear();
    base->kz_viewDidAppear();
    base->kz_viewDidDisappear();
    EXPECT_EQ(c->calls, (QStringList{"willDisappear", "willAppear", "didAppear", "didDisappear"}));
    auto plain = controller<KZPlainViewController>();
    plain->kz_viewWillAppear(); // does nothing
    EXPECT_FALSE(plain->isViewLoaded());
}

namespace {
// A dialog window whose close the test can refuse, counting the close hooks.
class ClosingWindowController : public KZWindowController {
public:
    bool allowClose = true;
    int asked = 0, willClose = 0;

protected:
    QWidget* loadInterface() override { return new QDialog; }
    bool windowShouldClose() override
    {
        ++asked;
        return allowClose;
    }
    void windowWillClose() override { ++willClose; }
};
} // namespace

TEST(Controller, UserClosesAreAskedAndEveryCloseIsReportedOnce)
{
    ClosingWindowController c;
    int signalled = 0;
    QObject::connect(&c, &KZWindowController::willClose, [&] { ++signalled; });
    c.showWindow();

    c.allowClose = false;
    QTest::keyClick(c.window(), Qt::Key_Escape);
    EXPECT_FALSE(c.performClose());
    EXPECT_EQ(c.asked, 2);
    EXPECT_TRUE(c.window()->isVisible());
    EXPECT_EQ(c.willClose, 0);

    c.allowClose = true;
    QTest::keyClick(c.window(), Qt::Key_Escape);
    EXPECT_FALSE(c.window()->isVisible());
    EXPECT_EQ(c.willClose, 1);
    EXPECT_EQ(signalled, 1);

    // The program's own close is never refused, and a dialog ending by code counts as a close.
    c.showWindow();
    c.allowClose = false;
    c.window()->close();
    EXPECT_FALSE(c.window()->isVisible());
    c.showWindow();
    static_cast<QDialog*>(c.window())->accept();
    EXPECT_EQ(c.willClose, 3);
    EXPECT_EQ(signalled, 3);
}

TEST(Controller, SheetIsWindowModalOverItsWindowAndEndsWithoutCloseHooks)
{
    QMainWindow parent;
    parent.resize(600, 400);
    parent.show();
    ClosingWindowController c;
    c.beginSheet(&parent);
    EXPECT_TRUE(c.isSheet());
    EXPECT_EQ(c.window()->windowModality(), Qt::WindowModal);
    EXPECT_EQ(c.window()->parentWidget(), &parent);
    EXPECT_TRUE(c.window()->isVisible());
    c.endSheet();
    EXPECT_FALSE(c.window()->isVisible());
    EXPECT_FALSE(c.isSheet());
    EXPECT_EQ(c.willClose, 0);
}
