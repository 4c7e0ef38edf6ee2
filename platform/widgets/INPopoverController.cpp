#include "platform/widgets/INPopoverController.h"

INPopoverController::INPopoverController(QWidget* contentView, QObject* parent)
    : QObject(parent), contentView_(contentView)
{
}

INPopoverController::~INPopoverController() = default;

void INPopoverController::presentPopoverFromRect(const QRect&, QWidget*, int, bool)
{
    visible_ = true;
}

bool INPopoverController::popoverIsVisible() const
{
    return visible_;
}

void INPopoverController::closePopover()
{
    if (!visible_) return;
    visible_ = false;
    if (delegate_) delegate_->popoverDidClose(this);
}
