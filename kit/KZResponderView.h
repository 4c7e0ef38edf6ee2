#pragma once
// A view that puts its view controller into the responder chain right behind itself, so the
// controller gets the keys and actions the view passes on. The controller owns the view; the
// view's link to it is not owning.

#include "kit/KZView.h"
#include "platform/widgets/KZResponder.h"

#include <QPointer>

class KZViewController;

class KZResponderView : public KZView, public KZResponder {
    Q_OBJECT
public:
    explicit KZResponderView(QWidget* parent = nullptr);

    KZViewController* viewController() const;
    // Takes the old controller out of the chain and puts the new one in, right after the view.
    void setViewController(KZViewController* controller);
    // Keeps the controller between the view and the responder given.
    void setNextResponder(KZResponder* responder) override;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool event(QEvent* event) override;

private:
    QPointer<KZViewController> viewController_;
};
