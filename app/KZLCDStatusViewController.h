#pragma once
// The status panel in the main window's toolbar: one state view at a time (idle, scanning
// with the current path and running dots, finished, no results, congratulations), swapped
// with a push-from-bottom transition. Owned by the main window for the life of the window.

#include "kit/KZViewController.h"

class KZLCDStatusViewController : public KZViewController {
    Q_OBJECT
public:
    explicit KZLCDStatusViewController(QObject* parent = nullptr) : KZViewController(parent) {}

    void showAvailableSpaceView();
    void showScanningView();
    void showFinishedView();
    void showNoDuplicatesView();
    void showCongratsView();
    void setProgress(double progress);
};
