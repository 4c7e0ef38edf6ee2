#include "app/KZLCDStatusViewController.h"

void KZLCDStatusViewController::showAvailableSpaceView() {}
void KZLCDStatusViewController::showScanningView() {}
void KZLCDStatusViewController::showFinishedView() {}
void KZLCDStatusViewController::showNoDuplicatesView() {}
void KZLCDStatusViewController::showCongratsView() {}
void KZLCDStatusViewController::setProgress(double) {}
