#pragma once
// A KZButton that takes dropped files and hands the drag to a destination (the drop view it
// sits on), showing the copy cursor when the destination would copy.

#include "kit/KZButton.h"
#include "kit/KZDraggingDestination.h"

class KZDropDestinationButton : public KZButton {
    Q_OBJECT
public:
    explicit KZDropDestinationButton(QWidget* parent = nullptr);
    void awakeFromNib() override;

    // Not owned; the owner clears it before it goes.
    KZDraggingDestination* delegate() const { return delegate_; }
    void setDelegate(KZDraggingDestination* delegate) { delegate_ = delegate; }

protected:
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    KZDraggingDestination* delegate_ = nullptr;
    bool dragAccepted_ = false;
};
