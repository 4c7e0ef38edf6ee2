#pragma once
// Synthetic input for the kit's widget tests: events are delivered straight to the widget,
// so the tests need no shown window and no pointer.

#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QEnterEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QWidget>

namespace kittest {

inline void mouse(QWidget* w, QEvent::Type type, QPoint p, Qt::MouseButtons held)
{
    QMouseEvent e(type, QPointF(p), w->mapToGlobal(QPointF(p)), Qt::LeftButton, held, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}
inline void press(QWidget* w, QPoint p)
{
    mouse(w, QEvent::MouseButtonPress, p, Qt::LeftButton);
}
inline void move(QWidget* w, QPoint p)
{
    mouse(w, QEvent::MouseMove, p, Qt::LeftButton);
}
inline void release(QWidget* w, QPoint p)
{
    mouse(w, QEvent::MouseButtonRelease, p, Qt::NoButton);
}
inline void click(QWidget* w, QPoint p)
{
    press(w, p);
    release(w, p);
}
inline void doubleClick(QWidget* w, QPoint p)
{
    click(w, p);
    mouse(w, QEvent::MouseButtonDblClick, p, Qt::LeftButton);
    release(w, p);
}
inline void enter(QWidget* w)
{
    const QPointF p(1, 1);
    QEnterEvent e(p, p, w->mapToGlobal(p));
    QApplication::sendEvent(w, &e);
}
inline void leave(QWidget* w)
{
    QEvent e(QEvent::Leave);
    QApplication::sendEvent(w, &e);
}
inline bool key(QWidget* w, int key)
{
    QKeyEvent e(QEvent::KeyPress, key, Qt::NoModifier);
    e.setAccepted(false);
    QApplication::sendEvent(w, &e);
    return e.isAccepted();
}
// A drag entering the widget; true when the widget accepts it (with the copy action).
inline bool dragEnter(QWidget* w, const QMimeData* data)
{
    QDragEnterEvent e(QPoint(2, 2), Qt::CopyAction | Qt::MoveAction | Qt::LinkAction, data, Qt::LeftButton,
                      Qt::NoModifier);
    e.setAccepted(false);
    QApplication::sendEvent(w, &e);
    return e.isAccepted() && e.dropAction() == Qt::CopyAction;
}
inline void dragLeave(QWidget* w)
{
    QDragLeaveEvent e;
    QApplication::sendEvent(w, &e);
}
inline bool drop(QWidget* w, const QMimeData* data)
{
    QDropEvent e(QPointF(2, 2), Qt::CopyAction | Qt::MoveAction, data, Qt::LeftButton, Qt::NoModifier);
    e.setAccepted(false);
    QApplication::sendEvent(w, &e);
    return e.isAccepted();
}

} // namespace kittest
