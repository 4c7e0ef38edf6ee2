#include "app/TQCompressingWindowController.h"

TQCompressingWindowController* TQCompressingWindowController::controllerWithFiles(const KZFileList& files)
{
    auto* controller = new TQCompressingWindowController;
    controller->files_ = files;
    return controller;
}
