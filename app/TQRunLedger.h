#pragma once
// What one run of the wizard (from the choice of a folder to Start Again) has done to the
// disk, kept where no results screen can take it away: the bytes freed, the items
// compressed, and the scanned tree that every results screen of the run shows. Back and
// Next, a rescan or Finish release the screen that started a confirmed delete, an emptying
// of the queue or a compression; its report still comes here. The ledger runs the confirmed
// deletes, runs the delete sheet, and receives each compression that outlives its screen;
// it applies every report to the tree it holds at that moment (records that went leave it,
// an archive joins it, a folder that only partly went is scanned again in place) and to the
// totals of the run that started the operation, then tells the screen that asked, when that
// screen is still there.
//
// Reports that arrive while the run's folder is being scanned again are also applied to the
// tree that scan hands over, so an item deleted meanwhile is not drawn again. A scan leaves
// out what the program is removing: a folder that only partly went joins a tree scanned while
// it was being removed, as it is on disk then.
//
// While an operation of the run goes, its progress counts too (totals()): what a delete or an
// emptying has removed so far, what a compression's removal of its originals has freed less
// its archive, and what they have left, so the finished screen can follow the bytes as they
// go and say "complete" only once nothing runs. The part of the freed bytes that went to the
// Trash is kept apart.
//
// The main window owns one for the life of the window; a results screen made without one
// (tests) makes its own. The ledger owns the compression windows the run's screens open
// (TQCompressionWindows): they outlive the screens, and those still running stop when the
// ledger goes. Main thread only. Nothing reaches a screen that went: every call back to one
// is guarded.

#include "app/TQCompressingWindowController.h"
#include "app/TQEmptyTrashWindowController.h"
#include "app/TQRunTotals.h"
#include "model/KZFile.h"
#include "model/TQDeletionEngine.h"
#include "platform/widgets/KZOwnedObject.h"

#include <QObject>
#include <QPointer>

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

class KZFileScanner;
class QWidget;

class TQRunLedger : public QObject, public TQCompressingWindowControllerDelegate {
    Q_OBJECT
public:
    using DeletionReport = std::function<void(const TQDeletionResult& result)>;
    using RecordBlock = std::function<void(const KZFilePtr& file)>;
    using Block = std::function<void()>;

    explicit TQRunLedger(QObject* parent = nullptr);
    ~TQRunLedger() override;

    // ---- the run ----
    // A new run: totals back to 0 and no tree. Operations still running from the run before
    // keep editing whatever tree is current when they end, but add nothing to these totals.
    void beginRun();
    // The tree the results screens of the run show. When it is not the one held before,
    // what went or was made while it was being scanned is applied to it.
    void setRootDirectory(const KZDirectoryPtr& root);
    const KZDirectoryPtr& rootDirectory() const { return root_; }
    // A scan of the run's folder begins: reports from now until the next tree is set are
    // applied to that tree as well.
    void beginScan();

    // What the run's operations that have ended and reported counted.
    double totalFreed() const { return totalFreed_; }
    double totalCompressed() const { return totalCompressed_; }
    double totalTrashed() const { return totalTrashed_; }
    // The run's figures now: those totals with what the run's work still running (or ended and
    // not yet reported: a delete sheet not yet closed, a compression window still open) has
    // done so far, and how far that work has come.
    TQRunTotals totals() const;
    // Adds to the run's totals: bytes that left the disk less the archives added, so a
    // compression that outweighs what it removed subtracts; items compressed (nothing for 0
    // or less).
    void addTotalFreed(double bytes);
    void addTotalCompressed(double items);
    // The part of the freed bytes that went to the Trash (nothing for 0 or less).
    void addTotalTrashed(double bytes);

    // ---- the confirmed delete ----
    // Deletes the records in the background (TQDeletionEngine). When the run ends, the
    // records that went leave the tree (their folders keep counting them), a folder of the
    // list that only partly went is scanned again in place, and the freed bytes join the
    // totals; then `report` runs while `screen` exists, else `orphanReport`.
    void deleteFiles(const KZFileList& files, const TQDeletionEngine::Options& options, const QObject* screen,
                     DeletionReport report, DeletionReport orphanReport);
    // Confirmed deletes that have not reported yet.
    int runningDeletions() const { return runningDeletions_; }

    // ---- emptying the queue ----
    // Runs the delete sheet on the window. When the sheet closes, the freed bytes join the
    // totals at once, a folder that only partly went is scanned again in place, and the
    // records that went leave the tree a slice per turn of the main thread (`taken` hears of
    // each while `screen` exists); then `ended` runs while `screen` exists, and `afterwards`
    // runs in any case, on a turn of its own. Answers the sheet, or null when another
    // emptying or sheet runs.
    TQEmptyTrashWindowController* emptyQueue(QWidget* window, const QObject* screen, RecordBlock taken,
                                             DeletionReport ended, Block afterwards);
    // From the start of an emptying until its last slice has left the tree.
    bool isEmptying() const { return emptying_; }
    // True while emptied records leave the tree over several turns (the view takes no clicks).
    bool isTakingOutRecords() const { return takingOut_; }
    // The most records that leave the tree in one turn, fewer when the turn has taken
    // kEmptyingSliceTime (tests make it small; 0: the default).
    static void setEmptyingSliceForTesting(size_t slice) { emptyingSlice_ = slice ? slice : 10000; }

    // ---- compressions ----
    // The owner of the compression windows of the run's screens.
    TQCompressionWindows& compressionWindows() { return compressionWindows_; }
    // A compression of this run has started (its generation is noted).
    void compressionStarted(TQCompressingWindowController* controller);
    // Takes over as the compression's delegate (its screen is going).
    void adoptCompression(TQCompressingWindowController* controller);
    // The compressions of this ledger that have not reported yet.
    std::vector<TQCompressingWindowController*> runningCompressions() const;
    // Applies a compression's report: the archive joins its folder, the originals that went
    // leave the tree, and the run counts the items and the saving. Answers whether it counted
    // (a compression of an earlier run, or a cancelled one, counts nothing).
    bool applyCompression(TQCompressingWindowController* controller, const std::string& destinationPath,
                          double totalSaved, bool originalDeleted, bool wasCancelled);
    void compressingDidFinishForController(TQCompressingWindowController* controller,
                                           const std::string& destinationPath, double totalSaved, bool originalDeleted,
                                           bool wasCancelled) override;

    // ---- tree edits ----
    // The deepest folder of the tree on the way from `folder` down to `path` (into packages
    // only when asked); null when the path is not inside the folder. reachedPath: whether that
    // folder is the path itself.
    static KZDirectoryPtr directoryWithPath(const std::string& path, const KZDirectoryPtr& folder,
                                            bool enterPackages = true, bool* reachedPath = nullptr);
    // The folder of the held tree whose path is exactly `path`; null when there is none.
    KZDirectoryPtr folderAtPath(const std::string& path, bool enterPackages = true) const;
    // Whether the folder is linked, through every parent, to the held tree's root.
    bool isInTree(const KZDirectory* folder) const;
    // Takes the record (or, when it has left the tree, the record now standing at its path
    // in the held tree) out of the tree when nothing exists at its path any more.
    // `knownGone`: the deletion engine has just found nothing at the record's path.
    bool removeGoneRecord(const KZFilePtr& file, bool keepSizeInParent, bool knownGone = false);
    // Folder scans started for folders that only partly went and not ended yet.
    int pendingFolderScans() const { return int(folderScans_.size()); }

Q_SIGNALS:
    // The run's totals changed, or its work still running moved on (reports of progress are
    // gathered into one signal a turn of the event loop).
    void totalsChanged();
    // Records left or joined the held tree, or a folder of it was scanned again.
    void treeChanged();
    // Emptied records start or stop leaving the tree over several turns.
    void takingOutRecordsChanged(bool takingOut);

private:
    struct Recorded {
        std::vector<std::string> gone;     // paths of items that went
        std::vector<std::string> archives; // paths of archives that were made
        KZFileList partly;                 // folders that only partly went (scanned again)
    };

    void recordGone(const TQDeletionResult& result);
    void replayRecorded(const Recorded& recorded);
    // The listed folders that failed although something inside them may have gone.
    static KZFileList partlyRemovedFolders(const KZFileList& requested, const TQDeletionResult& result, bool useTrash);
    void rescanInPlace(const KZDirectoryPtr& folder);
    // The record of the folder in the held tree that takes what a scan in place found: the
    // folder itself, or the held tree's record at its path when the folder is of a tree scanned
    // before; null when there is none.
    KZDirectoryPtr recordInHeldTree(const KZDirectoryPtr& folder) const;
    void folderScanned(const KZDirectoryPtr& folder, KZFileScanner* scanner, const KZFileList* files);
    // What an emptying does once its sheet has closed, for the screen that asked for it.
    struct EmptyingFollowUp {
        QPointer<const QObject> screen;
        RecordBlock taken;
        DeletionReport ended;
        Block afterwards;
    };
    void emptyingReported(quint64 generation, const KZFileList& requested, bool useTrash,
                          std::shared_ptr<const EmptyingFollowUp> followUp, const TQDeletionResult& result);
    void takeOutEmptied(std::shared_ptr<const KZFileList> went, size_t from,
                        std::shared_ptr<const TQDeletionResult> result,
                        std::shared_ptr<const EmptyingFollowUp> followUp);
    void addArchive(const std::string& destinationPath);

    // A confirmed delete or an emptying while it goes: its reports, until its result is
    // counted in the totals.
    struct LiveDeletion {
        quint64 generation = 0;
        bool running = true;
        TQDeletionProgress progress;
        double weight = 0; // the bytes it set out to remove, as scanned
    };
    quint64 startLiveDeletion();
    void updateLiveDeletion(quint64 id, const TQDeletionProgress& progress, bool running);
    void dropLiveDeletion(quint64 id);
    // Tells of the work's progress: one totalsChanged() for all reports of one turn.
    void noteActivity();

    static inline size_t emptyingSlice_ = 10000;
    // The longest one slice of emptied records takes on the main thread.
    static constexpr std::chrono::milliseconds kEmptyingSliceTime{8};

    KZDirectoryPtr root_;
    double totalFreed_ = 0;
    double totalCompressed_ = 0;
    double totalTrashed_ = 0;
    quint64 generation_ = 0;
    std::map<quint64, LiveDeletion> liveDeletions_;
    quint64 nextLiveDeletion_ = 0;
    bool activityPending_ = false;
    int runningDeletions_ = 0;
    bool emptying_ = false;
    bool takingOut_ = false;
    bool recording_ = false;
    Recorded recorded_;
    KZOwnedObject<TQEmptyTrashWindowController> sheet_; // the last delete sheet, until the next one
    // The compressions of this ledger with the generation of the run that started each.
    std::vector<std::pair<QPointer<TQCompressingWindowController>, quint64>> compressions_;
    std::vector<std::shared_ptr<KZFileScanner>> folderScans_;
    // Last: the compressions stop (unheard) before anything else of the ledger goes.
    TQCompressionWindows compressionWindows_;
};
