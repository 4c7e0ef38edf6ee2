#pragma once
// The results screen: step 2 of the main window's wizard. It shows the scanned tree as a
// nested treemap under a path bar, answers the treemap view's questions (colours, tooltip,
// ignore, removability) and hands the rest to its collaborators:
// - TQTreemapToolbar: the toolbar (one table row per item), shown in the main window's toolbar
//   place while the screen shows;
// - TQRemovalFlow: the delete-queue question, queue mode and put-back, the confirmed delete,
//   emptying the queue through the delete sheet, compressions and the screen's totals;
// - TQRescanPrompt: the watch on the scanned folder and its rescan prompt;
// besides small helpers for the hover tooltip (TQTreemapTooltip) and the notice of folders
// that could not be read (TQUnreadableNotice). It also follows the settings that change the
// map, runs the preview window and the key monitor (Space previews, Escape clears the
// selection), and keeps the window's title and the path bar in step with the map.
//
// Sources: TQTreemapViewController.cpp (set-up, path bar, preview, keys, appearance and
// teardown), TQTreemapViewControllerDelegate.cpp (the treemap view's delegate).
//
// Ownership: the main window owns the screen. The screen owns its view (with the treemap
// view, the path bar and the tooltip panel), its collaborators and helpers, the preview
// window, the key monitor and the ignore list. The toolbar place is the main window's and
// outlives the screen. The run's ledger (TQRunLedger, the main window's) runs the confirmed
// deletes and the delete sheet and keeps the totals of the whole run, so what the screen
// started still counts after it has gone; a screen made without one makes its own.

#include "app/TQRemovalFlow.h"
#include "app/TQRescanPrompt.h"
#include "app/TQRunLedger.h"
#include "app/TQTreemapToolbar.h"
#include "app/TQTreemapTooltip.h"
#include "app/TQUnreadableNotice.h"
#include "app/TQViewController.h"
#include "kit/KZView.h"
#include "model/KZFile.h"
#include "model/KZIgnoreList.h"
#include "platform/widgets/KZOwnedObject.h"
#include "platform/widgets/KZPreviewPanel.h"
#include "treemap/KZNestedTreemapView.h"
#include "treemap/KZNestedTreemapViewDelegate.h"

#include <QPointer>
#include <QString>

#include <memory>
#include <optional>
#include <string>
#include <vector>

class ITPathbar;
class QAction;
class QLabel;
class TQTheme;
class TQToolbarPlace;

KZ_INTERFACE_CLASS(TQTreemapViewController)

class TQTreemapViewController : public TQViewController, public KZNestedTreemapViewDelegate {
    Q_OBJECT
    KZ_INTERFACE_FILE(TQTreemapViewController)
public:
    // Path bar.
    static inline const QString CannotZoomMessage = QStringLiteral("Can not zoom to directory");
    static inline const QString CannotZoomInformative =
        QStringLiteral("Could not zoom to '%1' because it has not yet been scanned.");
    static inline const QString CloseButton = QStringLiteral("Close");
    static inline const QString NewScanButton = QStringLiteral("New Scan");
    // Shown when nothing can be drawn.
    static inline const QString NothingToShow = QStringLiteral("There are no files to display.");

    explicit TQTreemapViewController(QObject* parent = nullptr);
    ~TQTreemapViewController() override;

    // The screen for a scan's result (element 0: the root folder). The view, and with it the
    // set-up, loads on the first view(); set the parent window, the ledger and the toolbar
    // place before.
    static std::unique_ptr<TQTreemapViewController> controllerWithResults(const KZFileList& results);
    // The run's ledger (not owned; it outlives the screen). Without one the screen makes its own.
    void setRunLedger(TQRunLedger* ledger) { runLedger_ = ledger; }
    TQRunLedger* runLedger() const { return runLedger_ ? runLedger_.data() : ownLedger_.get(); }
    // Where the main window shows the screen's toolbar (not owned; it outlives the screen).
    void setToolbarPlace(TQToolbarPlace* place) { toolbarPlace_ = place; }
    // Folders the scan could not read: how many, and the paths of some of them.
    void setUnreadableFolders(int64_t count, std::vector<std::string> paths)
    {
        unreadableNotice_.setFolders(count, std::move(paths));
    }

    // ---- what the main window and the tests read ----
    TQUnreadableNotice* unreadableNotice() { return &unreadableNotice_; }
    KZView* contentView() const { return contentView_; }
    KZNestedTreemapView* treemapView() const { return treemapView_; }
    ITPathbar* pathBar() const;
    QLabel* errorLabel() const;
    const TQTreemapTooltip* tooltip() const { return &tooltip_; }
    // The collaborators (made at set-up; the flow and the prompt only with a tree).
    TQTreemapToolbar* toolbar() const { return toolbar_.get(); }
    TQRemovalFlow* removalFlow() const { return removalFlow_.get(); }
    TQRescanPrompt* rescanPrompt() const { return rescanPrompt_.get(); }
    // The toolbar item of an identifier (TQTreemapToolbar's); null for unknown ones.
    QAction* toolbarItem(const QString& identifier) const { return toolbar_ ? toolbar_->item(identifier) : nullptr; }
    KZPreviewPanel* previewPanel() const { return previewPanel_.get(); }
    bool hasLocalEventListener() const { return localEventListener_ != nullptr; }
    const KZIgnoreList* ignoreList() const { return ignoreList_ ? &*ignoreList_ : nullptr; }
    const std::shared_ptr<TQTheme>& selectedTheme() const { return selectedTheme_; }
    // Bytes freed through this screen (the run's totals are the ledger's).
    double totalFreed() const { return removalFlow_ ? removalFlow_->totalFreed() : 0; }
    // True between kz_viewDidAppear and kz_viewWillDisappear.
    bool isOnShow() const { return onShow_; }

    // ---- screen hooks ----
    void kz_viewWillAppear() override;
    void kz_viewDidAppear() override;
    void kz_viewWillDisappear() override;

    // ---- actions ----
    // The preview window of the selection: opens or closes it (a beep without a selection).
    void quickLook();
    // The delete-queue popover toggle, hung from `sender` (the queue button).
    void showDeleteQueue(QWidget* sender)
    {
        if (removalFlow_) removalFlow_->showDeleteQueue(sender);
    }
    void updateToolbarStates()
    {
        if (toolbar_) toolbar_->validate();
    }
    // A double click on a path-bar component.
    void didClickPathbar(const std::string& path);

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

protected:
    void awakeFromNib() override;
    // The main window's activation hides the tooltip; a horizontal swipe over the map zooms out.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The settings that change the map, and the run's tree.
    void observeChanges();
    void setWindowTitle();
    void updatePathBar();
    // The key monitor while the screen shows: Space previews, Escape clears the selection.
    void addLocalEventListener();
    void removeLocalEventListener();
    // Closes what the screen opened while it showed (each safe to run more than once).
    void closeWhatItOpened();

    KZFileList resultArray_;
    KZDirectoryPtr rootDirectory_;
    // Parts of the screen's view (which its base owns).
    QPointer<KZView> contentView_;
    QPointer<KZNestedTreemapView> treemapView_;
    std::shared_ptr<TQTheme> selectedTheme_;
    std::optional<KZIgnoreList> ignoreList_;
    bool onShow_ = false;

    QPointer<TQRunLedger> runLedger_;
    std::unique_ptr<TQRunLedger> ownLedger_;
    TQToolbarPlace* toolbarPlace_ = nullptr;

    TQUnreadableNotice unreadableNotice_;
    TQTreemapTooltip tooltip_;
    std::unique_ptr<TQTreemapToolbar> toolbar_;
    std::unique_ptr<TQRemovalFlow> removalFlow_;
    std::unique_ptr<TQRescanPrompt> rescanPrompt_;
    KZOwnedObject<KZPreviewPanel> previewPanel_;
    std::unique_ptr<KZPreviewPanelDataSource> previewSource_;
    std::unique_ptr<QObject> localEventListener_;
};
