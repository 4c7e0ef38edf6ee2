#pragma once
// TEMPORARY STUB until the finished screen lands.
#include "app/TQViewController.h"

#include <memory>

class KZFinishedViewController : public TQViewController {
    Q_OBJECT
public:
    explicit KZFinishedViewController(QObject* parent = nullptr) : TQViewController(parent) {}
    static std::unique_ptr<KZFinishedViewController> controllerWithTotalFreed(double freed, qint64 compressed)
    {
        auto c = std::make_unique<KZFinishedViewController>();
        c->totalFreed_ = freed;
        c->totalCompressed_ = compressed;
        return c;
    }
    double totalFreed() const { return totalFreed_; }
    qint64 totalCompressed() const { return totalCompressed_; }

private:
    double totalFreed_ = 0;
    qint64 totalCompressed_ = 0;
};
