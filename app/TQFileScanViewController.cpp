// TEMPORARY STUB until the scanning screen lands.
#include "app/TQFileScanViewController.h"

#include "app/TQNotifications.h"
#include "platform/KZNotificationCenter.h"

std::unique_ptr<TQFileScanViewController> TQFileScanViewController::controllerWithFilePath(const std::string& path)
{
    auto c = std::make_unique<TQFileScanViewController>();
    c->filePath_ = path;
    return c;
}

void TQFileScanViewController::kz_viewDidAppear()
{
    if (scanResult_.empty()) startScan();
}

void TQFileScanViewController::startScan()
{
    fileScanner_ = KZFileScanner::scannerWithPaths({filePath_}, 0);
    fileScanner_->setOwner(this);
    auto& center = KZNotificationCenter::defaultCenter();
    fileScanner_->setFailureBlock([this, &center](const QString&) {
        isScanning_ = false;
        center.post(TQNotifcation_HideCancelButton);
    });
    fileScanner_->setCancelledBlock([this, &center] {
        isScanning_ = false;
        center.post(TQNotification_StartOver);
    });
    fileScanner_->setCompletionBlock([this, &center](const KZFileList& files) {
        isScanning_ = false;
        center.post(TQNotifcation_HideCancelButton);
        if (files.empty() || files.front()->fileSize() == 0) return;
        scanResult_ = files;
        center.post(TQNotification_EnableNextButton);
        center.post(TQNotification_GoNext);
    });
    fileScanner_->start();
    isScanning_ = true;
}

void TQFileScanViewController::cancel()
{
    if (fileScanner_) fileScanner_->cancel();
}
