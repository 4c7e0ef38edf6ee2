#pragma once
// What the results screen does when the user removes items: the delete-queue question, queue
// mode (records leave the tree and wait in the delete queue, a popover shows the queue) and
// putting them back when they leave the queue, the confirmed delete (its question, the
// network volume's note, the failure alert), emptying the queue through the delete sheet,
// compressions and their bookkeeping, and the bytes freed and items compressed through the
// screen.
//
// Ownership: the results screen owns it (it is made once the screen has a tree) and outlives
// it. It owns the popover's content and the popover until the popover reports its close. The
// run's ledger (not owned) runs the confirmed deletes and the delete sheet, keeps the run's
// totals and applies every report to the tree, so what was started here still counts after
// the screen has gone. The compression windows it opens belong to the ledger's owner of
// compression windows (TQCompressionWindows); this flow is the delegate of those it started
// and, when it goes, hands those still running to the run's ledger (when the ledger outlives
// the screen) or lets them run on unheard (with the screen's own ledger, they stop with it). Queued records keep a strong reference to the folder they came from,
// held here, so that their parent link never dangles. The notifications it observes are
// registered under the screen, so the main window's release of the screen silences them.

#include "app/TQCompressingWindowController.h"
#include "app/TQEmptyTrashWindowController.h"
#include "app/TQRunLedger.h"
#include "model/KZFile.h"
#include "platform/KZNotificationCenter.h"
#include "platform/widgets/INPopoverController.h"
#include "platform/widgets/KZOwnedObject.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

class KZIgnoreList;
class KZNestedTreemapView;
class QWidget;
class TQDeleteQueueViewController;
struct TQDeletionResult;

class TQRemovalFlow : public QObject, public INPopoverControllerDelegate, public TQCompressingWindowControllerDelegate {
    Q_OBJECT
public:
    // Delete-queue question.
    static inline const QString UseQueueMessage = QStringLiteral("Do you want to use the delete queue?");
    static inline const QString UseQueueInformative = QStringLiteral(
        "Would you like to add these files to the delete queue?\n\nYou can change this option in the preferences.");
    static inline const QString YesButton = QStringLiteral("Yes");
    static inline const QString NoButton = QStringLiteral("No");
    // Confirmed delete.
    static inline const QString DeleteOneMessage = QStringLiteral("Are you sure you want to delete '%1'?");
    static inline const QString DeleteManyMessage = QStringLiteral("Are you sure you want to delete these %1 files?");
    static inline const QString ThisFile = QStringLiteral("This file");
    static inline const QString TheseItems = QStringLiteral("These items");
    static inline const QString WillBeTrashed = QStringLiteral("will be moved to the trash.");
    static inline const QString WillBeDeleted = QStringLiteral("will be deleted immediately.");
    // Added when items on a network volume will be deleted outright although the Trash was
    // chosen: all of them (one, several) or some of them (one, several).
    static inline const QString NetworkAllOneNote =
        QStringLiteral("It is on a network volume, so it can't be moved to the trash: it will be deleted immediately.");
    static inline const QString NetworkAllManyNote = QStringLiteral(
        "They are on a network volume, so they can't be moved to the trash: they will be deleted immediately.");
    static inline const QString NetworkSomeOneNote = QStringLiteral(
        "'%1' is on a network volume, so it can't be moved to the trash: it will be deleted immediately.");
    static inline const QString NetworkSomeManyNote = QStringLiteral(
        "%1 of them are on a network volume, so they can't be moved to the trash: those will be deleted immediately.");
    static inline const QString DeleteButton = QStringLiteral("Delete");
    static inline const QString CancelButton = QStringLiteral("Cancel");
    static inline const QString DeleteFailedMessage =
        QStringLiteral("Could not delete this file because we encountered an error");
    static inline const QString OkayButton = QStringLiteral("Okay");
    static inline const QString UnremovableReason = QStringLiteral("This item may never be removed.");
    // Failed items listed one by one in the delete alert before the rest are counted.
    static constexpr int kMaxListedFailures = 20;

    struct Setup {
        KZDirectoryPtr root;                // the scanned tree's root
        TQRunLedger* ledger = nullptr;      // the run's ledger (not owned)
        bool ledgerOutlivesScreen = false;  // false: the screen's own, which goes with it
        KZIgnoreList* ignoreList = nullptr; // the screen's (not owned; outlives this flow)
        QWidget* window = nullptr;          // the main window, for sheets (not owned)
        // The toolbar's Delete Queue button, to hang the popover from.
        std::function<QWidget*()> queueButton;
    };

    // `screen`: the owner, under which the notifications are observed.
    TQRemovalFlow(Setup setup, const QObject* screen);
    ~TQRemovalFlow() override;

    // The treemap view it edits and reloads (not owned).
    void setTreemapView(KZNestedTreemapView* view);

    // ---- removal ----
    // The treemap view's removal: asks once whether to use the delete queue, then queues the
    // records or deletes them after confirming. Answers false: the view takes nothing out
    // itself (queued records have left already, deleted ones leave when the run ends).
    bool removeFilesFromView(const KZFileList& files);
    // Confirms, then deletes or moves to the Trash (per the settings) in the background. The
    // records that went leave the tree when the run ends. Answers whether the user confirmed.
    bool removeFiles(const KZFileList& files);
    // True while a confirmed delete started here goes on.
    bool isDeleting() const { return runningDeletions_ > 0; }

    // ---- queue mode ----
    // Takes the records out of the tree (their folders keep their totals) into the queue.
    void queueFiles(const KZFileList& files);
    // Puts records that left the delete queue back where they were taken from, whatever the
    // order: a record whose folder is itself queued goes back into that folder, and comes
    // back with it.
    void didRemoveFilesFromQueue(const KZFileList& files);
    void addFileRemovedFromQueueNotification();
    void removeFileRemovedFromQueueNotification();
    // The folder each queued record was taken from (held while it is queued).
    KZDirectoryPtr queuedFolderOf(const KZFile* file) const;

    // ---- the popover ----
    // The delete-queue popover toggle, hung from `sender`.
    void showDeleteQueue(QWidget* sender);
    void closeDeleteQueue();
    INPopoverController* popover() const { return popover_.get(); }
    TQDeleteQueueViewController* deleteQueueController() const { return deleteQueueController_.get(); }
    void popoverDidClose(INPopoverController* popover) override;

    // ---- emptying ----
    // Runs the delete sheet for one of the three empty-trash requests.
    void showEmptyTrashWindow(const QString& notificationName);
    TQEmptyTrashWindowController* emptyWindowController() const { return emptyWindowController_; }
    // From the start of an emptying this screen asked for to its end.
    bool isEmptying() const { return emptying_; }

    // ---- compressions ----
    // Opens a compression window for the records.
    void compressFiles(const KZFileList& files);
    // The compressions started here that have not reported yet.
    std::vector<TQCompressingWindowController*> compressingWindowControllers() const;
    // Whether the path is the archive of a running compression of the run.
    bool filePathWasCompressFileChange(const std::string& path) const;
    void compressingDidFinishForController(TQCompressingWindowController* controller,
                                           const std::string& destinationPath, double totalSaved, bool originalDeleted,
                                           bool wasCancelled) override;

    // ---- totals ----
    // Bytes freed and items compressed through this screen (the run's totals are the ledger's).
    double totalFreed() const { return totalFreed_; }
    double totalCompressed() const { return totalCompressed_; }
    // Adds to the freed totals (the screen's and the run's) and tells the main window
    // (nothing for 0; below 0 when archives outweigh what went).
    void addTotalSaved(double bytes);

Q_SIGNALS:
    // The popover is about to show (the tooltip hides).
    void popoverWillShow();
    // An emptying of the queue starts or ends (the rescan prompt waits meanwhile).
    void emptyingChanged(bool emptying);
    // A confirmed delete's run has ended and the tree has been updated.
    void removalFinished();

private:
    void observeNotifications();
    void dropPopover();
    // In the tree, or out of it only below records queued from this screen (each still naming
    // the folder it was taken from): putting those back brings this folder back too.
    bool isInTreeOrQueued(const KZDirectory* folder) const;
    // Forgets the folder kept for a queued record; the record's path stays as it was.
    void releaseQueuedFolder(const KZFile* file);
    void deletionFinished(const TQDeletionResult& result, const KZFileList& unremovable);
    void setEmptying(bool emptying);
    // The screen's own share of a total the ledger has counted already.
    void noteFreed(double bytes);
    void handOverCompressions();
    // The failure alert of a confirmed delete (also for a screen that has gone).
    static void showDeletionFailures(const TQDeletionResult& result, const KZFileList& unremovable);

    Setup setup_;
    QPointer<QWidget> window_;
    const QObject* screen_;
    QPointer<TQRunLedger> ledger_;
    QPointer<KZNestedTreemapView> view_;
    std::unique_ptr<TQDeleteQueueViewController> deleteQueueController_;
    KZOwnedObject<INPopoverController> popover_;
    QPointer<TQEmptyTrashWindowController> emptyWindowController_;
    KZObserverToken queueObserver_;
    bool queueObserved_ = false;
    bool emptying_ = false;
    int runningDeletions_ = 0;
    double totalFreed_ = 0;
    double totalCompressed_ = 0;
    std::unordered_map<const KZFile*, std::pair<KZFilePtr, KZDirectoryPtr>> queuedFolders_;
    std::vector<QPointer<TQCompressingWindowController>> compressingWindowControllers_;
};
