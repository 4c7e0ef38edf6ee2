#include "app/TQDeleteQueueViewController.h"

#include "platform/widgets/INPopoverController.h"

void TQDeleteQueueViewController::setPopover(INPopoverController* popover)
{
    popover_ = popover;
}
