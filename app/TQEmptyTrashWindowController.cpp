#include "app/TQEmptyTrashWindowController.h"

void TQEmptyTrashWindowController::beginSheetForWindow(QWidget*) {}

bool TQEmptyTrashWindowController::isAnySheetRunning()
{
    return false;
}
