#include "kit/KZResponderView.h"

#include "kit/KZViewController.h"

#include <QEvent>
#include <QKeyEvent>

KZResponderView::KZResponderView(QWidget* parent) : KZView(parent)
{
    setFocusPolicy(Qt::ClickFocus);
}

KZViewController* KZResponderView::viewController() const
{
    return viewController_;
}

void KZResponderView::setViewController(KZViewController* controller)
{
    if (KZViewController* old = viewController_) {
        KZResponder* n = old->nextResponder();
        if (n != this) {
            setNextResponderDirectly(n);
            old->setNextResponder(nullptr);
        }
    }
    viewController_ = controller;
    if (controller) {
        KZResponder* n = nextResponder();
        if (n != controller) {
            setNextResponderDirectly(controller);
            controller->setNextResponder(n);
        }
    }
}

void KZResponderView::setNextResponder(KZResponder* responder)
{
    KZViewController* controller = viewController_;
    if (!controller) {
        setNextResponderDirectly(responder);
        return;
    }
    if (responder == controller) return;
    controller->setNextResponder(responder);
}

void KZResponderView::keyPressEvent(QKeyEvent* event)
{
    // Whatever the view does not handle itself goes along the chain: the controller first.
    if (KZResponder* next = nextResponder(); next && next->sendKeyDown(event)) {
        event->accept();
        return;
    }
    KZView::keyPressEvent(event);
}

bool KZResponderView::event(QEvent* event)
{
    if (event->type() == QEvent::ParentChange) {
        // A new place in the widget tree: the chain continues with the nearest responder above.
        KZResponder* above = nullptr;
        for (QWidget* p = parentWidget(); p && !above; p = p->parentWidget()) above = dynamic_cast<KZResponder*>(p);
        setNextResponder(above);
    }
    return KZView::event(event);
}
