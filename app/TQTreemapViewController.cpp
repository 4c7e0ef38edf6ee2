// TEMPORARY STUB until the results screen lands.
#include "app/TQTreemapViewController.h"

#include "model/TQDeleteQueue.h"

std::unique_ptr<TQTreemapViewController> TQTreemapViewController::controllerWithResults(const KZFileList& results)
{
    auto c = std::make_unique<TQTreemapViewController>();
    c->resultArray_ = results;
    return c;
}

void TQTreemapViewController::kz_viewWillDisappear()
{
    TQDeleteQueue::sharedInstance().clearQueue();
}
