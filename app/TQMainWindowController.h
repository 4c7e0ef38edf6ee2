#pragma once
// The program's one main window, run as a step wizard: step 0 chooses a folder (the drop
// view), step 1 scans it (the scanning screen), step 2 shows the results (the results
// screen), and the finished screen closes the run. It owns the status panel in its toolbar
// and the screens of the current run, swaps them in its content area, keeps Back, Clear and
// Next (and the Touch Bar model) in step with the state, asks about the delete queue before
// finishing, and decides which dropped folders it takes. The screens move it through the
// wizard notifications (app/TQNotifications.h). Owned by the application delegate for the
// life of the program. Main thread only.
//
// Screens are released on a later turn of the event loop (never inside their own
// notification or block), after every pointer to them is cleared. The run's ledger
// (TQRunLedger) outlives them: what a screen started (a confirmed delete, an emptying of the
// queue, a compression) reaches the run's totals and tree after that screen has gone, and
// the finished screen follows the totals while it shows.

#include "kit/KZDropView.h"
#include "kit/KZWindowController.h"

#include <QPointer>

#include <memory>
#include <string>
#include <vector>

KZ_INTERFACE_CLASS(TQMainWindowController)

class KZButton;
class KZFinishedViewController;
class KZLCDStatusViewController;
class QLabel;
class QPushButton;
class QVariantAnimation;
class TQFileScanViewController;
class TQRunLedger;
struct TQRunTotals;
class TQToolbarPlace;
class TQTreemapViewController;
class TQViewController;
class TWTouchBarProgressIndicator;

class TQMainWindowController : public KZWindowController, public KZDropViewDelegate {
    Q_OBJECT
    KZ_INTERFACE_FILE(TQMainWindowController)
public:
    enum Step { FolderStep = 0, ScanningStep = 1, ResultsStep = 2 };

    explicit TQMainWindowController(QObject* parent = nullptr);
    ~TQMainWindowController() override;

    // Actions of the window's buttons (and the Touch Bar's).
    void goNext();
    void goBack();
    void clearSelection();
    // Back to step 0: also the Scan menu item, Start Again and a cancelled scan.
    void startAgain();
    // Quit in the finished screen's bar: the program's one quit path.
    void quitApp();
    // Scans the chosen folder again (the results screen's rescan prompt).
    void rescan();

    // The delete-queue question, asked whenever the queue holds records while the results
    // screen is on show: true when the user chose Delete and the delete sheet takes over
    // (it finishes or quits afterwards). "Don't Delete" while quitting empties the queue.
    bool showDeleteQueueWarningIfNeeded(bool quitting);

    // State, for the application delegate and tests.
    int currentStep() const { return currentStep_; }
    TQViewController* currentViewController() const;
    QWidget* currentView() const { return currentView_; }
    KZLCDStatusViewController* lcdStatusViewController() const { return lcdStatusViewController_.get(); }
    TQFileScanViewController* fileScanViewController() const { return fileScanViewController_.get(); }
    TQTreemapViewController* treemapViewController() const { return treemapViewController_.get(); }
    KZFinishedViewController* finishedViewController() const { return finishedViewController_.get(); }
    bool isFinishedScreenShown() const;
    // What this run freed and compressed, and the tree its results screens show.
    TQRunLedger* runLedger() const { return ledger_.get(); }
    // True while a confirmed delete runs (quitting waits for it).
    bool isDeleting() const;
    // Where a screen shows a toolbar of its own in place of the window's (the results screen's).
    TQToolbarPlace* toolbarPlace() const { return toolbarPlace_.get(); }

    // The Touch Bar views of each state. Linux has no Touch Bar: these are never shown, but
    // the wizard keeps the Touch Bar model in step with them as the state changes.
    QWidget* touchBarSelectView() const { return touchBarSelectView_.get(); }
    QWidget* touchBarNextView() const { return touchBarNextView_.get(); }
    QWidget* touchBarScanningView() const { return touchBarScanningView_.get(); }
    QWidget* touchBarFinishedScanningView() const { return touchBarFinishedScanningView_.get(); }
    QWidget* touchBarResultsView() const { return touchBarResultsView_.get(); }
    QWidget* touchBarFinishedView() const { return touchBarFinishedView_.get(); }
    QPushButton* touchBarSelectNextButton() const { return touchBarSelectNextButton_; }
    QPushButton* touchBarResultsNextButton() const { return touchBarResultsNextButton_; }
    QLabel* touchBarFinishedLabel() const { return touchBarFinishedLabel_; }
    TWTouchBarProgressIndicator* touchBarProgressIndicator() const { return touchBarProgressIndicator_; }

    // KZDropViewDelegate
    void dropViewFileWasDropped(KZDropView* dropView) override;
    void dropViewDidEnter(KZDropView* dropView) override;
    void dropViewDidExit(KZDropView* dropView) override;
    // A folder (not a link to one), not a package, not ignored by the user's settings.
    bool dropViewShouldAcceptFile(KZDropView* dropView, const std::string& path) override;

    // The same test, for any path.
    static bool shouldAcceptFolderAtPath(const std::string& path);
    // The Touch Bar text of the finished screen for a freed total (the amount only when above 0).
    static QString finishedTouchBarText(double freed);

protected:
    void awakeFromNib() override;
    void windowDidLoad() override;
    // The close button asks through the program's one quit path and never closes the window
    // by itself: the program ends, or the window stays.
    bool windowShouldClose() override;

private:
    void addNotificationObservers();
    void makeToolbar();
    void makeTouchBarViews();

    void showScanningView();
    void showTreemapView();
    void showFinishedView();

    void setCurrentViewController(TQViewController* controller);
    void setCurrentView(QWidget* view);
    void setContentSize(QSize size, bool animated);
    void applyWindowSize(QSize size);
    void setResizable(bool resizable);

    void reset();
    void resetPostTransition();
    void resetOpenButton();
    void updateUI();
    void restoreToolbar();
    void resetWindowTitle();

    void enableNextButton();
    void disableNextButton();
    void showCancelButton();
    void hideCancelButton();

    bool isScanningScreenShown() const;
    bool isResultsScreenShown() const;
    void releaseResultsScreen();
    // Releases a screen on a later turn of the event loop; the owning pointer is cleared first.
    template <class T>
    void releaseLater(std::unique_ptr<T>& screen)
    {
        releaseScreenLater(std::unique_ptr<TQViewController>(screen.release()));
    }
    void releaseScreenLater(std::unique_ptr<TQViewController> screen);
    // The finished screen on show follows the run's totals.
    void updateFinishedTotals();
    // The status panel on the finished screen: the work still running, else congratulations.
    void showRunStatus(const TQRunTotals& totals);

    int currentStep_ = FolderStep;
    bool resizable_ = false;
    QPointer<QWidget> currentView_;
    QPointer<TQViewController> currentViewController_;
    QPointer<QWidget> offstage_;
    QPointer<QVariantAnimation> resizeAnimation_;
    std::unique_ptr<KZLCDStatusViewController> lcdStatusViewController_;
    std::unique_ptr<TQFileScanViewController> fileScanViewController_;
    std::unique_ptr<TQTreemapViewController> treemapViewController_;
    std::unique_ptr<KZFinishedViewController> finishedViewController_;
    // Screens released and waiting for their later turn (or for the window to go).
    std::vector<std::unique_ptr<TQViewController>> released_;
    // The run's totals and tree, across every results screen of the run.
    std::unique_ptr<TQRunLedger> ledger_;
    std::unique_ptr<TQToolbarPlace> toolbarPlace_;

    std::unique_ptr<QWidget> touchBarSelectView_;
    std::unique_ptr<QWidget> touchBarNextView_;
    std::unique_ptr<QWidget> touchBarScanningView_;
    std::unique_ptr<QWidget> touchBarFinishedScanningView_;
    std::unique_ptr<QWidget> touchBarResultsView_;
    std::unique_ptr<QWidget> touchBarFinishedView_;
    QPushButton* touchBarSelectNextButton_ = nullptr;
    QPushButton* touchBarResultsNextButton_ = nullptr;
    QLabel* touchBarFinishedLabel_ = nullptr;
    TWTouchBarProgressIndicator* touchBarProgressIndicator_ = nullptr;
};
