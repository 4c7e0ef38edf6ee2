#pragma once
// TEMPORARY STUB until the scanning screen lands.
#include "app/TQViewController.h"
#include "model/KZFile.h"
#include "model/KZFileScanner.h"

#include <memory>
#include <optional>
#include <string>

class TQFileScanViewController : public TQViewController {
    Q_OBJECT
public:
    explicit TQFileScanViewController(QObject* parent = nullptr) : TQViewController(parent) {}
    static std::unique_ptr<TQFileScanViewController> controllerWithFilePath(const std::string& path);
    void kz_viewDidAppear() override;
    void startScan();
    void cancel();
    void clear() {}
    bool isScanning() const { return isScanning_; }
    const KZFileList& scanResult() const { return scanResult_; }
    const std::string& filePath() const { return filePath_; }

private:
    bool isScanning_ = false;
    std::string filePath_;
    KZFileList scanResult_;
    std::shared_ptr<KZFileScanner> fileScanner_;
};
