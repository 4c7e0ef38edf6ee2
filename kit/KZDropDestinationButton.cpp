#include "kit/KZDropDestinationButton.h"

#include <QDragEnterEvent>
#include <QDropEvent>

KZDropDestinationButton::KZDropDestinationButton(QWidget* parent) : KZButton(parent)
{
    setAcceptDrops(true);
}

void KZDropDestinationButton::awakeFromNib()
{
    KZButton::awakeFromNib();
    setAcceptDrops(true);
}

void KZDropDestinationButton::enterEvent(QEnterEvent* event)
{
    KZButton::enterEvent(event);
    setCursor(Qt::PointingHandCursor);
}

void KZDropDestinationButton::leaveEvent(QEvent* event)
{
    KZButton::leaveEvent(event);
    setCursor(Qt::ArrowCursor);
}

void KZDropDestinationButton::dragEnterEvent(QDragEnterEvent* event)
{
    const auto operation = delegate_ ? delegate_->draggingEntered(event->mimeData()) : KZDraggingDestination::None;
    dragAccepted_ = operation == KZDraggingDestination::Copy;
    if (dragAccepted_) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    } else {
        event->ignore();
    }
}

void KZDropDestinationButton::dragMoveEvent(QDragMoveEvent* event)
{
    if (dragAccepted_) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    } else {
        event->ignore();
    }
}

void KZDropDestinationButton::dragLeaveEvent(QDragLeaveEvent* event)
{
    // Qt ends a drag for this destination when it leaves; the delegate hears it as the end.
    dragAccepted_ = false;
    if (delegate_) delegate_->draggingEnded();
    event->accept();
}

void KZDropDestinationButton::dropEvent(QDropEvent* event)
{
    dragAccepted_ = false;
    if (!delegate_) {
        event->ignore();
        return;
    }
    const bool done = delegate_->performDragOperation(event->mimeData());
    event->setDropAction(Qt::CopyAction);
    event->setAccepted(done);
    if (delegate_) delegate_->draggingEnded();
}
