#include "platform/widgets/KZResponder.h"

KZResponder::KZResponder() : self_(std::make_shared<KZResponder*>(this)) {}

KZResponder::~KZResponder()
{
    *self_ = nullptr;
}

KZResponder* KZResponder::nextResponder() const
{
    auto next = next_.lock();
    return next ? *next : nullptr;
}

void KZResponder::setNextResponder(KZResponder* responder)
{
    setNextResponderDirectly(responder);
}

void KZResponder::setNextResponderDirectly(KZResponder* responder)
{
    if (responder)
        next_ = responder->self_;
    else
        next_.reset();
}

bool KZResponder::keyDown(QKeyEvent*)
{
    return false;
}

bool KZResponder::performAction(const QString&)
{
    return false;
}

bool KZResponder::sendKeyDown(QKeyEvent* event)
{
    // A chain can be closed into a loop by mistake; never walk it more than a few hundred links.
    int guard = 256;
    for (KZResponder* r = this; r && guard-- > 0; r = r->nextResponder())
        if (r->keyDown(event)) return true;
    return false;
}

bool KZResponder::sendAction(const QString& action)
{
    int guard = 256;
    for (KZResponder* r = this; r && guard-- > 0; r = r->nextResponder())
        if (r->performAction(action)) return true;
    return false;
}
