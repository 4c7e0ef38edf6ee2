#include "model/TQDeleteQueue.h"

#include "model/Preferences.h"
#include "platform/KZNotificationCenter.h"

#include <unordered_set>

TQDeleteQueue& TQDeleteQueue::sharedInstance()
{
    static auto* queue = new TQDeleteQueue;
    return *queue;
}

TQDeleteQueue::TQDeleteQueue(QObject* parent) : QObject(parent) {}

void TQDeleteQueue::performQueueChange(const std::function<void()>& block)
{
    if (block) block();
    Q_EMIT queueChanged();
}

void TQDeleteQueue::post(const QString& name, const KZFileList& files)
{
    KZNotificationCenter::defaultCenter().post(name,
                                               {{TQDeleteQueueNotification::filesKey, QVariant::fromValue(files)}});
}

void TQDeleteQueue::addFilesToQueue(const KZFileList& files)
{
    performQueueChange([&] {
        const KZFileSet queued(deleteQueue_);
        const std::vector<bool> first = kz_firstOccurrences(files);
        for (size_t i = 0; i < files.size(); ++i)
            if (first[i] && !queued.contains(files[i].get())) deleteQueue_.push_back(files[i]);
    });
    post(TQDeleteQueueNotification::didAddFiles, files);
}

void TQDeleteQueue::removeFileFromQueue(const KZFilePtr& file)
{
    removeFilesFromQueue(KZFileList{file});
}

void TQDeleteQueue::removeFilesFromQueue(const KZFileList& files)
{
    performQueueChange([&] {
        const KZFileSet leaving(files);
        std::erase_if(deleteQueue_, [&](const KZFilePtr& f) { return leaving.contains(f.get()); });
    });
    post(TQDeleteQueueNotification::didRemoveFiles, files);
}

void TQDeleteQueue::clearQueue()
{
    // Observers read the records during the notification, while they are still queued.
    const KZFileList leaving = deleteQueue_;
    post(TQDeleteQueueNotification::didRemoveFiles, leaving);
    performQueueChange([&] { deleteQueue_.clear(); });
}

void TQDeleteQueue::postRemoveFilesNotificationWithFiles(const std::optional<KZFileList>& files)
{
    if (files) post(TQDeleteQueueNotification::didRemoveFiles, *files);
}

void TQDeleteQueue::deleteAllFiles(TQDeletionEngine::ProgressHandler progressHandler,
                                   TQDeletionEngine::FinishedHandler finishedHandler, const QObject* context)
{
    actuallyDeleteFiles(deleteQueue_, std::move(progressHandler), std::move(finishedHandler), context);
}

TQDeletionEngine::Options TQDeleteQueue::engineOptions() const
{
    TQDeletionEngine::Options options;
    options.useTrash = (preferences_ ? *preferences_ : Preferences::sharedPreferences()).useTrash();
    options.trash = trash_;
    if (progressInterval_ >= 0) options.progressInterval = progressInterval_;
    return options;
}

void TQDeleteQueue::actuallyDeleteFiles(const KZFileList& files, TQDeletionEngine::ProgressHandler progressHandler,
                                        TQDeletionEngine::FinishedHandler finishedHandler, const QObject* context)
{
    TQDeletionEngine::deleteFiles(files, engineOptions(), std::move(progressHandler), std::move(finishedHandler),
                                  context);
}

void TQDeleteQueue::deleteAllFilesWithReports(TQDeletionEngine::ReportHandler reportHandler,
                                              TQDeletionEngine::FinishedHandler finishedHandler, const QObject* context)
{
    TQDeletionEngine::deleteFilesWithReports(deleteQueue_, engineOptions(), std::move(reportHandler),
                                             std::move(finishedHandler), context);
}
