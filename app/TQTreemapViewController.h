#pragma once
// The results screen: step 2 of the main window's wizard. It shows the scanned tree as a
// nested treemap under a path bar, puts its own toolbar into the main window, answers every
// question of the treemap view (colours, tooltip, ignore, removal, compression), deletes or
// queues what the user removes, counts the bytes freed and the items compressed, and watches
// the scanned folder to offer a rescan.
//
// Sources by concern: TQTreemapViewController.cpp (set-up, toolbar, path bar, preview,
// popover, appear/disappear and teardown), TQTreemapViewControllerDelegate.cpp (the treemap
// delegate, the tooltip, compression bookkeeping), TQTreemapViewControllerFlows.cpp (delete,
// queue put-back, delete sheet, totals, title, key filter), TQTreemapViewControllerWatcher.cpp
// (the watcher and the rescan prompt).
//
// Ownership: the main window owns the screen. The screen owns its view (with the treemap
// view, the path bar and the tooltip panel), its toolbar while it is in the main window, the
// popover's content, the popover until it reports that it closed, the preview window, the
// ignore list and the watcher. The run's ledger (TQRunLedger, the main window's) runs the
// confirmed deletes and the delete sheet and keeps the totals of the whole run, so what the
// screen started still counts after it has gone; a screen made without one makes its own.
// Compression windows belong to the program-wide set of compression windows; the screen
// listens to them and hands those still running to the ledger when it goes. Queued records
// keep a strong reference to the folder they came from, held here, so that their parent link
// never dangles.

#include "app/TQChangeWatcher.h"
#include "app/TQCompressingWindowController.h"
#include "app/TQRunLedger.h"
#include "app/TQViewController.h"
#include "model/CDEvents.h"
#include "model/KZFile.h"
#include "model/KZIgnoreList.h"
#include "platform/KZNotificationCenter.h"
#include "platform/widgets/INPopoverController.h"
#include "platform/widgets/KZPreviewPanel.h"
#include "treemap/KZNestedTreemapViewDelegate.h"

#include <QPointer>
#include <QString>

#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

class ITPathbar;
class KZNestedTreemapView;
class KZView;
class QAction;
class QLabel;
class QPushButton;
class QToolBar;
class QToolButton;
class TQDeleteQueueViewController;
class TQEmptyTrashWindowController;
class TQTheme;
class TQTooltipPanel;
struct TQDeletionResult;

KZ_INTERFACE_CLASS(TQTreemapViewController)

class TQTreemapViewController : public TQViewController,
                                public KZNestedTreemapViewDelegate,
                                public INPopoverControllerDelegate,
                                public TQCompressingWindowControllerDelegate,
                                public KZPreviewPanelDataSource {
    Q_OBJECT
    KZ_INTERFACE_FILE(TQTreemapViewController)
public:
    // Toolbar item identifiers.
    static inline const QString ZoomItem = QStringLiteral("Zoom");
    static inline const QString ReloadItem = QStringLiteral("Reload");
    static inline const QString CompressItem = QStringLiteral("Compress");
    static inline const QString DeleteItem = QStringLiteral("Delete");
    static inline const QString FinderItem = QStringLiteral("FinderItem");
    static inline const QString QuickLookItem = QStringLiteral("QuickLook");
    static inline const QString DeleteQueueItem = QStringLiteral("DeleteQueue");
    static inline const QString IgnoreItem = QStringLiteral("Ignore");
    // The order of the toolbar ("" is a flexible space).
    static QStringList toolbarDefaultItemIdentifiers();

    // Path bar.
    static inline const QString CannotZoomMessage = QStringLiteral("Can not zoom to directory");
    static inline const QString CannotZoomInformative =
        QStringLiteral("Could not zoom to '%1' because it has not yet been scanned.");
    static inline const QString CloseButton = QStringLiteral("Close");
    static inline const QString NewScanButton = QStringLiteral("New Scan");
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
    // Rescan prompt.
    static inline const QString RescanMessage = QStringLiteral("Would you like to Rescan?");
    static inline const QString RescanInformative = QStringLiteral(
        "Sizemere has detected some files/folders have change since scanning took place. If you would like to update "
        "the tree map display, please press the 'Rescan' button.");
    static inline const QString RescanButton = QStringLiteral("Rescan");
    static inline const QString RescanSuppression = QStringLiteral("Don't ask me to rescan on file/folder changes");
    // Shown when nothing can be drawn.
    static inline const QString NothingToShow = QStringLiteral("There are no files to display.");
    // Folders the scan could not read.
    static inline const QString UnreadableOneNotice =
        QStringLiteral("1 folder could not be read: it is missing from the map and from the totals.");
    static inline const QString UnreadableManyNotice =
        QStringLiteral("%1 folders could not be read: they are missing from the map and from the totals.");
    static inline const QString UnreadableOneMessage = QStringLiteral("1 folder could not be read");
    static inline const QString UnreadableManyMessage = QStringLiteral("%1 folders could not be read");
    static inline const QString UnreadableOneInformative = QStringLiteral(
        "Sizemere was not allowed to open this folder, so what it holds is not in the map or in the totals:");
    static inline const QString UnreadableManyInformative = QStringLiteral(
        "Sizemere was not allowed to open these folders, so what they hold is not in the map or in the totals:");
    static inline const QString UnreadableMore = QStringLiteral("…and %1 more.");
    // Folders named one by one in that alert.
    static constexpr int kMaxListedUnreadable = 25;

    // Values of the watcher on the scanned folder.
    static constexpr double kWatcherLatency = 1.0;
    static constexpr uint32_t kWatcherFlags = 0x1D;
    // The rescan prompt shows at most once in this many seconds.
    static constexpr double kRescanPromptInterval = 60.0;
    // Delays (seconds) before the rescan request is posted.
    static constexpr double kRescanDelay = 0.4;
    // Failed items listed one by one in the delete alert before the rest are counted.
    static constexpr int kMaxListedFailures = 20;
    // How many records leave the tree in one turn of the main thread after the queue was
    // emptied (tests make it small).
    static void setEmptyingSliceForTesting(size_t slice) { TQRunLedger::setEmptyingSliceForTesting(slice); }

    explicit TQTreemapViewController(QObject* parent = nullptr);
    ~TQTreemapViewController() override;

    // The screen for a scan's result (element 0: the root folder). The view, and with it the
    // set-up, loads on the first view(); set the parent window before.
    static std::unique_ptr<TQTreemapViewController> controllerWithResults(const KZFileList& results);
    // The run's ledger (not owned; it outlives the screen). Set before the view loads; without
    // one the screen makes its own.
    void setRunLedger(TQRunLedger* ledger) { runLedger_ = ledger; }
    TQRunLedger* runLedger() const { return runLedger_ ? runLedger_.data() : ownLedger_.get(); }

    // Folders the scan could not read: how many, and the paths of some of them. A count above
    // 0 shows a notice above the map with a button that lists them; the map stays as it is.
    void setUnreadableFolders(int64_t count, std::vector<std::string> paths);
    int64_t unreadableFolderCount() const { return unreadableFolderCount_; }
    // The alert that names the folders.
    void showUnreadableFolders();
    QWidget* unreadableNotice() const;
    QLabel* unreadableLabel() const;
    QPushButton* unreadableButton() const;

    // ---- what the main window and the tests read ----
    const KZFileList& resultArray() const { return resultArray_; }
    const KZDirectoryPtr& rootDirectory() const { return rootDirectory_; }
    KZView* contentView() const;
    KZNestedTreemapView* treemapView() const;
    ITPathbar* pathBar() const;
    QLabel* errorLabel() const;
    TQTooltipPanel* tooltipWindow() const;
    QLabel* tooltipLabel() const;
    QToolBar* toolbar() const;
    // The toolbar item of an identifier (its action) and its button; null for unknown ones.
    QAction* toolbarItem(const QString& identifier) const;
    QToolButton* toolbarButton(const QString& identifier) const;
    KZPreviewPanel* previewPanel() const { return previewPanel_; }
    INPopoverController* popover() const { return popover_; }
    TQDeleteQueueViewController* deleteQueueController() const { return deleteQueueController_.get(); }
    TQEmptyTrashWindowController* emptyWindowController() const;
    CDEvents* fileEventListener() const { return fileEventListener_ ? fileEventListener_->events() : nullptr; }
    bool hasLocalEventListener() const { return localEventListener_; }
    const KZIgnoreList* ignoreList() const { return ignoreList_ ? &*ignoreList_ : nullptr; }
    const std::shared_ptr<TQTheme>& selectedTheme() const { return selectedTheme_; }
    std::vector<TQCompressingWindowController*> compressingWindowControllers() const;
    // Bytes freed and items compressed through this screen (the run's totals are the ledger's).
    double totalFreed() const { return totalFreed_; }
    double totalCompressed() const { return totalCompressed_; }
    bool canShowFileChangeAlert() const { return canShowFileChangeAlert_; }
    // True between kz_viewDidAppear and kz_viewWillDisappear.
    bool isOnShow() const { return onShow_; }
    // True while a confirmed delete this screen started goes on.
    bool isDeleting() const { return runningDeletions_ > 0; }
    // The folder each queued record was taken from (held while it is queued).
    KZDirectoryPtr queuedFolderOf(const KZFile* file) const;

    // ---- screen hooks ----
    void kz_viewWillAppear() override;
    void kz_viewDidAppear() override;
    void kz_viewWillDisappear() override;

    // ---- toolbar actions ----
    void zoomOut();
    void refresh();
    void compress();
    void deleteFile();
    void showInFinder();
    void openWithFinder();
    void ignoreFile();
    void quickLook();
    // The delete-queue popover toggle, hung from `sender` (the queue button).
    void showDeleteQueue(QWidget* sender);

    void updateToolbarStates();
    void updatePathBar();
    // A double click on a path-bar component.
    void didClickPathbar(const std::string& path);
    // A horizontal swipe: a positive delta zooms out.
    void swipeWithEvent(double deltaX);
    // The main window became the active one.
    void windowDidBecomeMain();

    // ---- flows ----
    // Confirms, then deletes or moves to the Trash (per the settings) in the background. The
    // records that went leave the tree when the run ends. Answers whether the user confirmed.
    bool removeFiles(const KZFileList& files);
    // Adds to the freed totals (the screen's and the run's) and tells the main window
    // (nothing for 0 or less).
    void addTotalSaved(double bytes);
    void setWindowTitle();
    void updateQueueToolbarItemEnabled();
    void addFileRemovedFromQueueNotification();
    void removeFileRemovedFromQueueNotification();
    // Puts records that left the delete queue back where they were taken from, whatever the
    // order: a record whose folder is itself queued goes back into that folder, and comes
    // back with it.
    void didRemoveFilesFromQueue(const KZFileList& files);
    // Runs the delete sheet for one of the three empty-trash requests.
    void showEmptyTrashWindow(const QString& notificationName);
    void addLocalEventListener();
    void removeLocalEventListener();
    void addFileEventListener();
    void removeFileEventListener();
    // The deepest folder of the tree on the way from `folder` down to `path` (into packages only
    // when asked); null when the path is not inside the folder. reachedPath: whether that folder
    // is the path itself.
    static KZDirectoryPtr directoryWithPath(const std::string& path, const KZDirectoryPtr& folder,
                                            bool enterPackages = true, bool* reachedPath = nullptr);
    // The folder of the tree whose path is exactly `path` (packages entered when asked); null
    // when there is none.
    KZDirectoryPtr folderAtPath(const std::string& path, bool enterPackages) const;
    bool filePathWasCompressFileChange(const std::string& path) const;
    void showFilesChangedAlert();
    // Whether showFilesChangedAlert would show the prompt now.
    bool canShowFilesChangedAlertNow() const;
    // One event of the watcher; a delivery of them, looked at as one.
    void handleFileEvent(const CDEvent& event);
    void handleFileEvents(const std::vector<CDEventPtr>& events);

    // ---- the hover tooltip ----
    // The tooltip's text for a node.
    static QString tooltipTextForNode(const KZTreemapNode& node);
    // The panel's frame for text of the given size shown for a pointer at `screenPoint`:
    // below and right of the pointer, kept on `screen`.
    static QRect tooltipFrame(QPointF screenPoint, QSizeF textSize, const QRect& screen);

    // ---- KZNestedTreemapViewDelegate ----
    void treemapViewDidZoomToDirectory(KZNestedTreemapView* view, const KZDirectoryPtr& directory,
                                       bool canGoUp) override;
    QColor treemapViewColorForNode(KZNestedTreemapView* view, const KZTreemapNode& node, double percent,
                                   bool isSelected, bool isReloading, int64_t depth) override;
    void treemapViewIsEmpty(KZNestedTreemapView* view) override;
    void treemapViewDidDraw(KZNestedTreemapView* view) override;
    void treemapViewMouseMovedToPoint(KZNestedTreemapView* view, const QPointF& windowPoint,
                                      const KZTreemapNodePtr& node) override;
    void treemapViewMouseExitedWithEvent(KZNestedTreemapView* view, QEvent* event) override;
    bool treemapViewIgnoreFile(KZNestedTreemapView* view, const KZFilePtr& file) override;
    bool treemapViewFileIsIgnored(KZNestedTreemapView* view, const KZFilePtr& file) override;
    void treemapViewCompressFiles(KZNestedTreemapView* view, const std::vector<KZFilePtr>& files) override;
    bool treemapViewCanRemoveFile(KZNestedTreemapView* view, const KZFilePtr& file) override;
    bool treemapViewRemoveFiles(KZNestedTreemapView* view, const std::vector<KZFilePtr>& files) override;

    // ---- INPopoverControllerDelegate ----
    void popoverDidClose(INPopoverController* popover) override;

    // ---- TQCompressingWindowControllerDelegate ----
    void compressingDidFinishForController(TQCompressingWindowController* controller,
                                           const std::string& destinationPath, double totalSaved, bool originalDeleted,
                                           bool wasCancelled) override;

    // ---- KZPreviewPanelDataSource ----
    int numberOfPreviewItems(KZPreviewPanel* panel) override;
    KZPreviewItem previewItemAtIndex(KZPreviewPanel* panel, int index) override;

Q_SIGNALS:
    // A confirmed delete's run has ended and the tree has been updated.
    void removalFinished();
    // The watcher's event for the path has been looked at (whether or not it prompted).
    void fileEventHandled(const QByteArray& path);

protected:
    void awakeFromNib() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct ToolbarItem {
        QString identifier;
        QAction* action = nullptr;
    };

    // Set-up pieces.
    void makeToolbar();
    void installToolbar();
    void uninstallToolbar();
    void observeSettings();
    KZIgnoreList& ensureIgnoreList();
    void refreshIgnoreList();

    // Ending pieces (each safe to run more than once).
    void hideTooltip();
    void closePreview();
    void closePopoverIfAny();
    void dropPopover();
    void tearDown();

    // Key filter.
    bool handleKeyPress(QObject* receiver, QKeyEvent* event);

    // The run's ledger, or the screen's own.
    TQRunLedger& ledger();
    void observeLedger();
    // Tree edits.
    bool isInTree(const KZDirectory* folder) const;
    // In the tree, or out of it only below records queued from this screen (each still naming
    // the folder it was taken from): putting those back brings this folder back too.
    bool isInTreeOrQueued(const KZDirectory* folder) const;
    // Forgets the folder kept for a queued record; the record's path stays as it was.
    void releaseQueuedFolder(const KZFile* file);
    void deletionFinished(const TQDeletionResult& result, const KZFileList& unremovable);
    void emptyingEnded(const TQDeletionResult& result);
    // The screen's own share of a total the ledger has counted already.
    void noteFreed(double bytes);
    // The failure alert of a confirmed delete (also for a screen that has gone).
    static void showDeletionFailures(const TQDeletionResult& result, const KZFileList& unremovable);

    KZFileList resultArray_;
    KZDirectoryPtr rootDirectory_;
    QPointer<KZView> contentView_;
    QPointer<KZNestedTreemapView> treemapView_;
    std::shared_ptr<TQTheme> selectedTheme_;
    std::optional<KZIgnoreList> ignoreList_;
    bool canShowFileChangeAlert_ = false;
    bool onShow_ = false;

    // Toolbar: ours while the screen shows; the main window's own toolbars hidden meanwhile.
    QPointer<QToolBar> toolbar_;
    std::vector<ToolbarItem> toolbarItems_;
    std::vector<QAction*> toolbarItemArray_;
    std::vector<QPointer<QToolBar>> hiddenToolbars_;
    QPointer<QWidget> toolbarWindow_;

    // Popover, its content and the preview window.
    std::unique_ptr<TQDeleteQueueViewController> deleteQueueController_;
    QPointer<INPopoverController> popover_;
    QPointer<KZPreviewPanel> previewPanel_;

    void updateUnreadableNotice();
    int64_t unreadableFolderCount_ = 0;
    std::vector<std::string> unreadableFolders_;

    // Totals.
    double totalFreed_ = 0;
    double totalCompressed_ = 0;

    // Flows.
    QPointer<TQRunLedger> runLedger_;
    std::unique_ptr<TQRunLedger> ownLedger_;
    int runningDeletions_ = 0;
    QPointer<TQEmptyTrashWindowController> emptyWindowController_;
    KZObserverToken queueObserver_;
    bool queueObserved_ = false;
    std::unordered_map<const KZFile*, std::pair<KZFilePtr, KZDirectoryPtr>> queuedFolders_;
    std::vector<QPointer<TQCompressingWindowController>> compressingWindowControllers_;

    // Watcher and key filter.
    std::unique_ptr<TQChangeWatcher> fileEventListener_;
    std::optional<double> dateLastShownChangedAlert_;
    bool localEventListener_ = false;
};
