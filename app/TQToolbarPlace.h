#pragma once
// A main window's place for the toolbar of the screen on show. While a screen's toolbar is
// shown there, the window's own toolbar is hidden; when it is taken away, the window's own
// comes back (if it was showing before). The main window owns its place for its whole life
// and hands it to each screen that brings a toolbar; the screen's toolbar stays the screen's
// (the place only parents it to the window while it is shown, and gives it back parentless).
// Main thread only.

#include <QMainWindow>
#include <QPointer>
#include <QToolBar>

class TQToolbarPlace {
public:
    // `own`: the window's own toolbar (may be null).
    TQToolbarPlace(QMainWindow* window, QToolBar* own);

    // Shows the screen's toolbar at the top of the window in place of the window's own. A
    // toolbar shown already stays; another one shown before is taken away first.
    void showToolbar(QToolBar* toolbar);
    // Takes the toolbar away (when it is the one shown) and brings the window's own back.
    void removeToolbar(QToolBar* toolbar);
    QToolBar* shownToolbar() const { return shown_; }
    QMainWindow* window() const { return window_; }

private:
    QPointer<QMainWindow> window_;
    QPointer<QToolBar> own_;
    QPointer<QToolBar> shown_;
    bool ownWasShown_ = false;
};
