#pragma once
// What a view that takes dropped files answers while a drag passes over it. KZDropView is
// one; KZDropDestinationButton hands its drags to one.

class QMimeData;

class KZDraggingDestination {
public:
    enum Operation { None = 0, Copy = 1 };

    virtual ~KZDraggingDestination() = default;
    virtual Operation draggingEntered(const QMimeData* data) = 0;
    // The drag left or ended (dropped or cancelled).
    virtual void draggingEnded() = 0;
    virtual bool performDragOperation(const QMimeData* data) = 0;
};
