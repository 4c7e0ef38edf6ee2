#include "kit/KZDeleteTableView.h"

#include <QKeyEvent>

KZDeleteTableView::KZDeleteTableView(QWidget* parent) : QTableView(parent) {}

void KZDeleteTableView::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Backspace || event->key() == Qt::Key_Delete) {
        // Sent whether or not rows are selected; without a delegate the keys do nothing.
        if (deleteDelegate_) deleteDelegate_->tableViewDeleteFromKeyboard(this);
        event->accept();
        return;
    }
    QTableView::keyPressEvent(event);
}
