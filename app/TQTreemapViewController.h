#pragma once
// TEMPORARY STUB until the results screen lands.
#include "app/TQViewController.h"
#include "model/KZFile.h"

#include <memory>

class TQTreemapViewController : public TQViewController {
    Q_OBJECT
public:
    explicit TQTreemapViewController(QObject* parent = nullptr) : TQViewController(parent) {}
    static std::unique_ptr<TQTreemapViewController> controllerWithResults(const KZFileList& results);
    double totalFreed() const { return totalFreed_; }
    double totalCompressed() const { return totalCompressed_; }
    void kz_viewWillDisappear() override;
    double totalFreed_ = 0;
    double totalCompressed_ = 0;
    KZFileList resultArray_;
};
