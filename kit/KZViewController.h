#pragma once
// Base of every screen controller. The controller owns its view, which it loads on first use
// from the interface file named after its class (see KZInterfaceFile.h) or makes plainly.
// The main window's screen swap calls the four appear/disappear hooks in this order:
// old kz_viewWillDisappear, new kz_viewWillAppear, swap, new kz_viewDidAppear, old
// kz_viewDidDisappear. The controller also stands in its view's responder chain.

#include "kit/KZInterfaceFile.h"
#include "platform/widgets/KZOwnedObject.h"
#include "platform/widgets/KZResponder.h"

#include <QObject>

class KZViewController : public QObject, public KZResponder {
    Q_OBJECT
public:
    explicit KZViewController(QObject* parent = nullptr);
    ~KZViewController() override;

    // The view, loaded on first call; parentless until a screen places it.
    QWidget* view();
    bool isViewLoaded() const { return !view_.isNull(); }

    virtual void kz_viewWillAppear() {}
    virtual void kz_viewDidAppear() {}
    virtual void kz_viewWillDisappear() {}
    virtual void kz_viewDidDisappear() {}

protected:
    // The view from the class's interface file; nullptr when the class has none.
    virtual QWidget* loadInterface() { return nullptr; }
    // After the interface file is loaded and its outlets are set.
    virtual void awakeFromNib() {}
    // After the view exists (with or without an interface file).
    virtual void viewDidLoad() {}

private:
    // Ours, wherever it has been placed (a window it shows in may destroy it first).
    KZOwnedWidget<QWidget> view_;
};
