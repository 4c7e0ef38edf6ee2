#include "app/TQToolbarPlace.h"

#include <QMainWindow>
#include <QToolBar>

TQToolbarPlace::TQToolbarPlace(QMainWindow* window, QToolBar* own) : window_(window), own_(own) {}

void TQToolbarPlace::showToolbar(QToolBar* toolbar)
{
    if (!window_ || !toolbar || toolbar == shown_) return;
    if (shown_) removeToolbar(shown_);
    ownWasShown_ = own_ && !own_->isHidden();
    if (ownWasShown_) own_->hide();
    window_->addToolBar(Qt::TopToolBarArea, toolbar);
    toolbar->show();
    shown_ = toolbar;
}

void TQToolbarPlace::removeToolbar(QToolBar* toolbar)
{
    if (!toolbar || toolbar != shown_) return;
    if (window_) window_->removeToolBar(toolbar);
    toolbar->setParent(nullptr);
    shown_ = nullptr;
    if (ownWasShown_ && own_) own_->show();
    ownWasShown_ = false;
}
