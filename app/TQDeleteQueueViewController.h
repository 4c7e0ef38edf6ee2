#pragma once
// The content of the delete-queue popover: a table of the queued records with Remove, Clear
// and Empty Trash. The results screen makes one at set-up and presents it in a new popover
// each time; the controller follows every change of the shared queue.

#include "app/TQViewController.h"
#include "platform/widgets/INPopoverController.h"

#include <QPointer>

class TQDeleteQueueViewController : public TQViewController {
    Q_OBJECT
public:
    explicit TQDeleteQueueViewController(QObject* parent = nullptr) : TQViewController(parent) {}

    // The popover that presents this controller (not owned): set by the results screen when it
    // presents one, cleared when that popover has closed.
    INPopoverController* popover() const { return popover_; }
    void setPopover(INPopoverController* popover);

private:
    QPointer<INPopoverController> popover_;
};
