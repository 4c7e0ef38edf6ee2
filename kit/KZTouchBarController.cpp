#include "kit/KZTouchBarController.h"

namespace {
bool systemTouchBar = false;
}

KZTouchBarController& KZTouchBarController::sharedController()
{
    static KZTouchBarController* shared = new KZTouchBarController; // never freed
    return *shared;
}

bool KZTouchBarController::systemHasTouchBar()
{
    return systemTouchBar;
}

void KZTouchBarController::setSystemHasTouchBar(bool has)
{
    systemTouchBar = has;
}

bool KZTouchBarController::touchBarIsAvailable() const
{
    return systemHasTouchBar() && touchBar_;
}

void KZTouchBarController::setTouchBar(KZTouchBar* bar)
{
    touchBar_ = bar;
    if (!bar) return;
    bar->setDefaultItemIdentifiers(
        {QString::fromLatin1(itemIdentifier), QString::fromLatin1(otherItemsProxyIdentifier)});
    bar->setCustomizationAllowedItemIdentifiers({QString::fromLatin1(itemIdentifier)});
}

void KZTouchBarController::setHidden(bool hidden)
{
    hidden_ = hidden;
    if (hidden)
        setCurrentTouchBarItem(touchBarItemWithView(nullptr));
    else if (!stackArray_.empty())
        setCurrentTouchBarItem(stackArray_.back());
}

void KZTouchBarController::setTouchBarViews(const QList<QWidget*>& views)
{
    if (!touchBarIsAvailable()) return;
    stackArray_.clear();
    if (views.isEmpty()) {
        setCurrentTouchBarItem(touchBarItemWithView(nullptr));
        return;
    }
    for (QWidget* view : views) stackArray_.push_back(touchBarItemWithView(view));
    setCurrentTouchBarItem(stackArray_.back());
}

void KZTouchBarController::pushTouchBarView(QWidget* view)
{
    if (!touchBarIsAvailable()) return;
    stackArray_.push_back(touchBarItemWithView(view));
    setCurrentTouchBarItem(stackArray_.back());
}

KZTouchBarItemPtr KZTouchBarController::touchBarItemWithView(QWidget* view) const
{
    auto item = std::make_shared<KZCustomTouchBarItem>();
    item->identifier = QString::fromLatin1(itemIdentifier);
    item->view = view;
    item->customizationLabel = QString::fromLatin1(customizationLabel);
    return item;
}

void KZTouchBarController::setCurrentTouchBarItem(const KZTouchBarItemPtr& item)
{
    if (!touchBar_) return;
    if (item)
        touchBar_->setTemplateItems({item});
    else
        touchBar_->setTemplateItems({});
}
