#pragma once
// A link in a chain of objects that may take key events and actions a view passes on: a view,
// then its view controller, then whatever came after the view. Links are not owned; a link to
// a destroyed responder reads as none.

#include <QString>

#include <memory>

class QKeyEvent;

class KZResponder {
public:
    KZResponder();
    virtual ~KZResponder();
    KZResponder(const KZResponder&) = delete;
    KZResponder& operator=(const KZResponder&) = delete;

    KZResponder* nextResponder() const;
    virtual void setNextResponder(KZResponder* responder);

    // Overridden by responders that act on keys or named actions; true when handled.
    virtual bool keyDown(QKeyEvent* event);
    virtual bool performAction(const QString& action);

    // Offers the key or action to this responder, then to each next one, until one takes it.
    bool sendKeyDown(QKeyEvent* event);
    bool sendAction(const QString& action);

protected:
    // Sets the link without any override's rules (the inherited setter).
    void setNextResponderDirectly(KZResponder* responder);

private:
    std::shared_ptr<KZResponder*> self_;
    std::weak_ptr<KZResponder*> next_;
};
