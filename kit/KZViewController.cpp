#include "kit/KZViewController.h"

#include "kit/KZResponderView.h"

KZViewController::KZViewController(QObject* parent) : QObject(parent) {}

KZViewController::~KZViewController() {}

QWidget* KZViewController::view()
{
    if (view_) return view_;
    QWidget* loaded = loadInterface();
    const bool fromInterface = loaded != nullptr;
    if (!loaded) loaded = new QWidget;
    view_.reset(loaded);
    if (auto* responderView = dynamic_cast<KZResponderView*>(loaded)) responderView->setViewController(this);
    if (fromInterface) awakeFromNib();
    viewDidLoad();
    return view_;
}
