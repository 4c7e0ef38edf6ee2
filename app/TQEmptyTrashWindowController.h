#pragma once
// The delete sheet: deletes every queued record through the queue's deletion engine with a
// progress bar, then closes by itself, or lists the records that failed with their reasons
// until the user closes it. The records that went (deleted, gone with a deleted folder, or
// already gone) leave the queue; those that failed stay queued. Its completion receives the
// engine's result once, when the sheet closes. It can't be dismissed while the run goes, and
// only one sheet runs at a time in the program.

#include "kit/KZWindowController.h"
#include "model/TQDeletionEngine.h"

#include <functional>

class QLabel;
class QProgressBar;
class QPushButton;
class TQCellTableView;
class TQFileTableModel;

KZ_INTERFACE_CLASS(TQEmptyTrashWindowController)

class TQEmptyTrashWindowController : public KZWindowController {
    Q_OBJECT
    KZ_INTERFACE_FILE(TQEmptyTrashWindowController)
public:
    using CompletionBlock = std::function<void(const TQDeletionResult& result)>;
    // Told how the run goes, on the main thread: each report while it runs, then once more
    // with the run's result (running false).
    using ProgressBlock = std::function<void(const TQDeletionProgress& progress, bool running)>;
    // How long "Finished!" shows before a run without failures closes the sheet.
    static constexpr double closeDelay = 0.3;

    explicit TQEmptyTrashWindowController(QObject* parent = nullptr);
    ~TQEmptyTrashWindowController() override;

    void setCompletionBlock(CompletionBlock block) { completionBlock_ = std::move(block); }
    void setProgressBlock(ProgressBlock block) { progressBlock_ = std::move(block); }
    // Loads the sheet, starts the run and shows the sheet on the window. Refused (false, and
    // the completion is never called) while another sheet runs, or when this one was begun.
    bool beginSheetForWindow(QWidget* window);
    // True from the start of the run until its end has been reported.
    bool isRunning() const { return running_; }
    bool isFinished() const { return finished_; }
    // True while any delete sheet of the program runs.
    static bool isAnySheetRunning();

    // The Close action: ends the sheet and hands the result to the completion. Acts once, and
    // not before the run has ended.
    void close();
    void showErrorView();
    // Double action of the error table: reveals the double-clicked row's item.
    void showInFinder();
    QWidget* currentView() const { return currentView_; }
    void setCurrentView(QWidget* view);

    // The run's result (empty until it ends).
    const TQDeletionResult& result() const { return result_; }

    // Outlets (the window is loaded on first use).
    QWidget* progressView();
    QProgressBar* progressIndicator();
    QLabel* progressLabel();
    QWidget* errorView();
    TQCellTableView* tableView();
    QPushButton* closeButton();

    // "Progress: 42%" for 0.42; a fraction that is not a number reads as 0.
    static QString progressText(double fraction);

protected:
    void awakeFromNib() override;
    void windowDidLoad() override;
    bool windowShouldClose() override { return !running_; }
    void windowWillClose() override;

private:
    void startRun();
    void runProgressed(double fraction);
    void runFinished(const TQDeletionResult& result);
    void complete();

    CompletionBlock completionBlock_;
    ProgressBlock progressBlock_;
    TQDeletionResult result_;
    TQFileTableModel* errorModel_ = nullptr;
    QWidget* currentView_ = nullptr;
    bool started_ = false;
    bool running_ = false;
    bool finished_ = false;
    bool completed_ = false;
    bool closedDuringRun_ = false;
};
