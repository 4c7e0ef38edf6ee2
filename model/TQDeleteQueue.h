#pragma once
// The one list of file records the user has marked for deletion during a run, and the way
// to delete them. The results screen adds records instead of deleting them when the user
// works with the queue; the delete-queue popover shows it and takes records out; the delete
// sheet empties it through the deletion engine (TQDeletionEngine). Every change of the list
// is announced once by queueChanged(), and additions and removals are posted on the default
// notification centre under TQDeleteQueueNotification's names with the records under
// "files" (a KZFileList). Main thread only. The queue holds its records but never changes
// them.

#include "model/KZFile.h"
#include "model/TQDeletionEngine.h"

#include <QObject>
#include <QString>

#include <functional>
#include <optional>

class KZTrash;
class Preferences;

struct TQDeleteQueueNotification {
    static inline const QString didAddFiles = QStringLiteral("notification.didAddFiles");
    static inline const QString didRemoveFiles = QStringLiteral("notification.didRemoveFiles");
    // The user-info key of the records.
    static inline const QString filesKey = QStringLiteral("files");
};

class TQDeleteQueue : public QObject {
    Q_OBJECT
public:
    static TQDeleteQueue& sharedInstance();
    // A queue of its own (tests); the shared one is made on first use.
    explicit TQDeleteQueue(QObject* parent = nullptr);

    // The queued records in the order they were added (the live list).
    const KZFileList& queue() const { return deleteQueue_; }

    // Appends the records not queued yet, then posts didAddFiles with all of them.
    void addFilesToQueue(const KZFileList& files);
    // Removes the record, then posts didRemoveFiles with it.
    void removeFileFromQueue(const KZFilePtr& file);
    // Removes the records, then posts didRemoveFiles with them.
    void removeFilesFromQueue(const KZFileList& files);
    // Posts didRemoveFiles with the queued records, then empties the list.
    void clearQueue();

    // Deletes (or trashes, by the useTrash setting read now) the queued records; the list
    // itself is left as it is, for the caller to update from the result.
    void deleteAllFiles(TQDeletionEngine::ProgressHandler progressHandler,
                        TQDeletionEngine::FinishedHandler finishedHandler, const QObject* context = nullptr);
    // The same for any list of records.
    void actuallyDeleteFiles(const KZFileList& files, TQDeletionEngine::ProgressHandler progressHandler,
                             TQDeletionEngine::FinishedHandler finishedHandler, const QObject* context = nullptr);
    // deleteAllFiles whose progress reports also tell the bytes gone and left.
    void deleteAllFilesWithReports(TQDeletionEngine::ReportHandler reportHandler,
                                   TQDeletionEngine::FinishedHandler finishedHandler, const QObject* context = nullptr);
    KZFileList filesWithChildrenRemovedWithFiles(const KZFileList& files) const
    {
        return TQDeletionEngine::filesWithChildrenRemovedWithFiles(files);
    }
    // Posts didRemoveFiles with the records; nothing for nullopt.
    void postRemoveFilesNotificationWithFiles(const std::optional<KZFileList>& files);
    // Runs the block as one change of the list (one queueChanged()).
    void performQueueChange(const std::function<void()>& block);

    // Where the setting and the Trash come from (tests); nullptr for the shared ones.
    void setPreferences(Preferences* preferences) { preferences_ = preferences; }
    void setTrash(KZTrash* trash) { trash_ = trash; }
    // Seconds between the progress reports from inside a folder being emptied (tests shorten
    // it); below 0, the engine's own.
    void setProgressInterval(double seconds) { progressInterval_ = seconds; }

Q_SIGNALS:
    void queueChanged();

private:
    void post(const QString& name, const KZFileList& files);
    // The engine's options for a run started now.
    TQDeletionEngine::Options engineOptions() const;

    KZFileList deleteQueue_;
    Preferences* preferences_ = nullptr;
    KZTrash* trash_ = nullptr;
    double progressInterval_ = -1;
};
