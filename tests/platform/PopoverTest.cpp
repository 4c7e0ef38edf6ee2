// The popover on a real window with a toolbar button: every way it closes, what it reports,
// what becomes of its content, and a second popover after the first. Input goes through the
// window (QTest on the QWindow), so hit-testing, modality and focus are the real ones.

#include "platform/widgets/INPopoverController.h"

#include <QApplication>
#include <QDialog>
#include <QListWidget>
#include <QMainWindow>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <gtest/gtest.h>

#include <memory>

namespace {

// The results screen's side of the popover: the toolbar button's action toggles it, and the
// close report releases it.
class Owner : public QObject, public INPopoverControllerDelegate {
public:
    explicit Owner(QWidget* content) : content(content) {}

    void toggle(QWidget* button)
    {
        ++toggles;
        if (popover && popover->popoverIsVisible()) {
            popover->closePopover();
            return;
        }
        auto* p = new INPopoverController(content, this);
        p->setColor(Qt::white);
        p->setCornerRadius(4);
        p->setDelegate(this);
        p->presentPopoverFromRect(button->geometry(), button->parentWidget(), INPopoverArrowDirectionUp, false);
        popover = p;
        ++presented;
    }
    bool popoverShouldClose(INPopoverController*) override
    {
        ++asked;
        return allowClose;
    }
    void popoverWillShow(INPopoverController*) override { ++willShow; }
    void popoverDidShow(INPopoverController*) override { ++didShow; }
    void popoverWillClose(INPopoverController*) override { ++willClose; }
    void popoverDidClose(INPopoverController* p) override
    {
        ++didClose;
        if (popover == p) popover = nullptr;
        p->deleteLater();
    }

    QPointer<QWidget> content;
    QPointer<INPopoverController> popover;
    bool allowClose = true;
    int toggles = 0, presented = 0, asked = 0, willShow = 0, didShow = 0, willClose = 0, didClose = 0;
};

// A window with a toolbar button on the right and a button in its content.
struct Window {
    Window()
    {
        window = std::make_unique<QMainWindow>();
        window->resize(640, 420);
        auto* bar = new QToolBar(window.get());
        bar->setMovable(false);
        auto* spacer = new QWidget;
        spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
        bar->addWidget(spacer);
        button = new QToolButton;
        button->setText(QStringLiteral("Queue"));
        bar->addWidget(button);
        window->addToolBar(bar);
        auto* central = new QWidget;
        auto* layout = new QVBoxLayout(central);
        other = new QPushButton(QStringLiteral("Elsewhere"));
        layout->addWidget(other, 0, Qt::AlignLeft | Qt::AlignBottom);
        window->setCentralWidget(central);

        content = new QListWidget; // parentless, like a controller's view
        content->resize(260, 200);
        for (int i = 0; i < 5; ++i) content->addItem(QStringLiteral("row %1").arg(i));
        owner = std::make_unique<Owner>(content);
        QObject::connect(button, &QToolButton::clicked, owner.get(), [this] { owner->toggle(button); });

        window->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    }
    ~Window()
    {
        owner.reset();
        window.reset();
        delete content.data();
    }

    QWindow* handle() const { return window->windowHandle(); }
    QPoint inWindow(QWidget* w, QPoint p) const { return w->mapTo(window.get(), p); }
    void clickAt(QPoint windowPos) { QTest::mouseClick(handle(), Qt::LeftButton, {}, windowPos); }
    void clickButton() { clickAt(inWindow(button, button->rect().center())); }
    void drain()
    {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::processEvents();
    }

    std::unique_ptr<QMainWindow> window;
    QToolButton* button = nullptr;
    QPushButton* other = nullptr;
    QPointer<QListWidget> content;
    std::unique_ptr<Owner> owner;
};

} // namespace

TEST(Popover, HangsFromItsButtonInsideTheWindowWithTheContent)
{
    Window w;
    w.clickButton();
    ASSERT_TRUE(w.owner->popover);
    INPopoverController* p = w.owner->popover;
    EXPECT_TRUE(p->popoverIsVisible());
    EXPECT_EQ(w.owner->willShow, 1);
    EXPECT_EQ(w.owner->didShow, 1);

    QWidget* panel = p->popoverView();
    ASSERT_NE(panel, nullptr);
    // An overlay inside the window, never a window (let alone a popup) of its own.
    EXPECT_FALSE(panel->isWindow());
    EXPECT_EQ(panel->window(), w.window.get());
    EXPECT_TRUE(panel->isVisible());
    EXPECT_EQ(w.content->parentWidget(), panel);
    EXPECT_TRUE(w.content->isVisible());
    EXPECT_EQ(w.content->size(), QSize(260, 200));

    // The arrow points at the middle of the button, from just below it; the whole panel
    // stays inside the window although the button sits at its right edge.
    const QPoint buttonCentre = w.button->mapToGlobal(w.button->rect().center());
    const QPoint arrowTip = panel->mapToGlobal(QPoint(p->arrowX(), p->bodyRect().top() - p->arrowHeight));
    EXPECT_NEAR(arrowTip.x(), buttonCentre.x(), 1);
    const int buttonBottom = w.button->mapToGlobal(QPoint(0, w.button->height())).y();
    EXPECT_GE(arrowTip.y(), buttonBottom);
    EXPECT_LE(arrowTip.y(), buttonBottom + 4);
    const QRect body = QRect(panel->mapTo(w.window.get(), p->bodyRect().topLeft()), p->bodyRect().size());
    EXPECT_TRUE(w.window->rect().contains(body)) << body.x() << "," << body.y() << " " << body.width();
    // The content has the keyboard.
    EXPECT_TRUE(w.content->hasFocus() || w.content->isAncestorOf(QApplication::focusWidget()));
}

TEST(Popover, EveryWayOfClosingReportsOnceAndHandsTheContentBack)
{
    struct Case {
        const char* name;
        std::function<void(Window&)> close;
    };
    const std::vector<Case> cases = {
        {"closePopover", [](Window& w) { w.owner->popover->closePopover(); }},
        {"click outside", [](Window& w) { w.clickAt(w.inWindow(w.other, w.other->rect().center())); }},
        {"click on the window's empty area", [](Window& w) { w.clickAt(QPoint(300, 300)); }},
        {"click on the shadow beside the body",
         [](Window& w) {
             QWidget* panel = w.owner->popover->popoverView();
             const QRect body = w.owner->popover->bodyRect();
             w.clickAt(panel->mapTo(w.window.get(), QPoint(body.left() - 4, body.center().y())));
         }},
        {"Escape", [](Window& w) { QTest::keyClick(w.handle(), Qt::Key_Escape); }},
        {"the toolbar button", [](Window& w) { w.clickButton(); }},
        {"the window hidden", [](Window& w) { w.window->hide(); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Window w;
        w.clickButton();
        ASSERT_TRUE(w.owner->popover);
        QPointer<QWidget> panel = w.owner->popover->popoverView();
        c.close(w);
        EXPECT_EQ(w.owner->didClose, 1);
        EXPECT_EQ(w.owner->willClose, 1);
        EXPECT_FALSE(w.owner->popover);
        // The click that closed it presented nothing new, not even on the button.
        EXPECT_EQ(w.owner->presented, 1);
        w.drain();
        EXPECT_TRUE(panel.isNull());
        // The content survives, parentless and hidden, ready for the next popover.
        ASSERT_TRUE(w.content);
        EXPECT_EQ(w.content->parentWidget(), nullptr);
        EXPECT_TRUE(w.content->isHidden());
        EXPECT_EQ(w.content->count(), 5);
    }
}

TEST(Popover, TheClosingClickOnTheButtonIsTakenButOtherClicksGoThrough)
{
    Window w;
    int otherClicks = 0;
    QObject::connect(w.other, &QPushButton::clicked, [&] { ++otherClicks; });
    w.clickButton();
    w.clickButton(); // closes; the button's action never runs for this click
    EXPECT_EQ(w.owner->toggles, 1);
    EXPECT_EQ(w.owner->didClose, 1);
    EXPECT_FALSE(w.owner->popover);
    w.clickButton(); // a later click presents a new one
    EXPECT_EQ(w.owner->presented, 2);
    ASSERT_TRUE(w.owner->popover);
    // A click elsewhere closes it and still reaches what it landed on.
    w.clickAt(w.inWindow(w.other, w.other->rect().center()));
    EXPECT_EQ(otherClicks, 1);
    EXPECT_EQ(w.owner->didClose, 2);
}

TEST(Popover, ClicksAndKeysInsideItAndInOtherWindowsKeepItOpen)
{
    Window w;
    w.clickButton();
    INPopoverController* p = w.owner->popover;
    ASSERT_TRUE(p);
    // A click on the content selects a row and keeps the popover.
    const QRect row = w.content->visualItemRect(w.content->item(2));
    w.clickAt(w.inWindow(w.content->viewport(), row.center()));
    EXPECT_TRUE(p->popoverIsVisible());
    EXPECT_EQ(w.content->currentRow(), 2);
    QTest::keyClick(w.handle(), Qt::Key_Down);
    EXPECT_TRUE(p->popoverIsVisible());
    EXPECT_EQ(w.content->currentRow(), 3);

    // An alert opened from inside: clicks and Escape in it, and clicks on the blocked window
    // beneath it, leave the popover open.
    QDialog alert(w.window.get());
    alert.setWindowModality(Qt::ApplicationModal);
    alert.resize(200, 100);
    alert.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&alert));
    QTest::mouseClick(alert.windowHandle(), Qt::LeftButton, {}, QPoint(50, 50));
    w.clickAt(w.inWindow(w.other, w.other->rect().center()));
    w.clickButton();
    EXPECT_TRUE(p->popoverIsVisible());
    QTest::keyClick(alert.windowHandle(), Qt::Key_Escape);
    EXPECT_TRUE(p->popoverIsVisible());
    alert.close();
    EXPECT_EQ(w.owner->didClose, 0);
    EXPECT_EQ(w.owner->presented, 1);
    // Afterwards the window's clicks close it again.
    w.clickAt(QPoint(300, 300));
    EXPECT_EQ(w.owner->didClose, 1);
}

TEST(Popover, TheDelegateMayKeepItOpenButNotAgainstClosePopover)
{
    Window w;
    w.clickButton();
    w.owner->allowClose = false;
    w.clickAt(QPoint(300, 300));
    QTest::keyClick(w.handle(), Qt::Key_Escape);
    EXPECT_GE(w.owner->asked, 2);
    ASSERT_TRUE(w.owner->popover);
    EXPECT_TRUE(w.owner->popover->popoverIsVisible());
    EXPECT_EQ(w.owner->didClose, 0);
    const int asked = w.owner->asked;
    w.owner->popover->closePopover();
    EXPECT_EQ(w.owner->asked, asked);
    EXPECT_EQ(w.owner->didClose, 1);
}

TEST(Popover, ASecondPopoverShowsTheSameContentAndItStillWorks)
{
    Window w;
    w.clickButton();
    w.clickAt(QPoint(300, 300));
    w.drain();
    w.clickButton();
    ASSERT_TRUE(w.owner->popover);
    EXPECT_EQ(w.owner->presented, 2);
    EXPECT_TRUE(w.owner->popover->popoverIsVisible());
    EXPECT_TRUE(w.content->isVisible());
    EXPECT_EQ(w.content->parentWidget(), w.owner->popover->popoverView());
    const QRect row = w.content->visualItemRect(w.content->item(4));
    w.clickAt(w.inWindow(w.content->viewport(), row.center()));
    EXPECT_EQ(w.content->currentRow(), 4);
    QTest::keyClick(w.handle(), Qt::Key_Escape);
    EXPECT_EQ(w.owner->didClose, 2);

    // A popover presented while an earlier one still shows the content takes it over; the
    // earlier one's close then leaves it where it is.
    w.clickButton();
    INPopoverController* first = w.owner->popover;
    auto second = std::make_unique<INPopoverController>(w.content);
    second->presentPopoverFromRect(w.button->geometry(), w.button->parentWidget(), 3, false);
    EXPECT_EQ(w.content->parentWidget(), second->popoverView());
    first->closePopover();
    EXPECT_EQ(w.content->parentWidget(), second->popoverView());
    second->closePopover();
    EXPECT_EQ(w.content->parentWidget(), nullptr);
}

TEST(Popover, FollowsItsButtonWhenTheWindowResizes)
{
    Window w;
    w.clickButton();
    INPopoverController* p = w.owner->popover;
    w.window->resize(900, 500);
    QCoreApplication::processEvents();
    const QPoint buttonCentre = w.button->mapToGlobal(w.button->rect().center());
    const QPoint arrowTip = p->popoverView()->mapToGlobal(QPoint(p->arrowX(), 0));
    EXPECT_NEAR(arrowTip.x(), buttonCentre.x(), 1);
}

TEST(Popover, TheContentOutlivesAWindowThatGoesAndThePopoverItself)
{
    {
        Window w;
        w.clickButton();
        QPointer<INPopoverController> p = w.owner->popover;
        w.window.reset(); // the window goes while the popover shows
        ASSERT_TRUE(w.content);
        EXPECT_EQ(w.content->parentWidget(), nullptr);
        EXPECT_FALSE(p->popoverIsVisible());
        QCoreApplication::processEvents();
        EXPECT_EQ(w.owner->didClose, 1);
        QCoreApplication::processEvents();
        EXPECT_EQ(w.owner->didClose, 1);
    }
    {
        Window w;
        w.clickButton();
        delete w.owner->popover.data(); // destroyed while shown: no report, content handed back
        EXPECT_EQ(w.owner->didClose, 0);
        ASSERT_TRUE(w.content);
        EXPECT_EQ(w.content->parentWidget(), nullptr);
        w.drain();
        EXPECT_TRUE(w.content);
    }
    {
        // A delegate that is gone is not called.
        Window w;
        auto* p = new INPopoverController(w.content);
        {
            Owner gone(w.content);
            p->setDelegate(&gone);
        }
        p->presentPopoverFromRect(w.button->geometry(), w.button->parentWidget(), 3, false);
        p->closePopover();
        EXPECT_FALSE(p->popoverIsVisible());
        delete p;
    }
}
