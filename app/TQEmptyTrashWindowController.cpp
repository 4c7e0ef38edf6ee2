#include "app/TQEmptyTrashWindowController.h"

#include "ui_TQEmptyTrashWindowController.h"

#include "app/TQCellTableView.h"
#include "app/TQFileTableModel.h"
#include "model/TQDeleteQueue.h"
#include "platform/KZDispatch.h"
#include "platform/KZPathString.h"
#include "platform/widgets/KZAppearance.h"
#include "platform/widgets/KZWorkspace.h"

#include <QDialog>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

#include <algorithm>
#include <cmath>

KZ_INTERFACE_FILE_IMPL(TQEmptyTrashWindowController)

namespace {
int runningSheets = 0;
} // namespace

TQEmptyTrashWindowController::TQEmptyTrashWindowController(QObject* parent) : KZWindowController(parent) {}

TQEmptyTrashWindowController::~TQEmptyTrashWindowController()
{
    // The run's reports are dropped with the controller (it is their context).
    if (running_) --runningSheets;
}

bool TQEmptyTrashWindowController::isAnySheetRunning()
{
    return runningSheets > 0;
}

QWidget* TQEmptyTrashWindowController::progressView()
{
    window();
    return ui()->progressView;
}

QProgressBar* TQEmptyTrashWindowController::progressIndicator()
{
    window();
    return ui()->progressIndicator;
}

QLabel* TQEmptyTrashWindowController::progressLabel()
{
    window();
    return ui()->progressLabel;
}

QWidget* TQEmptyTrashWindowController::errorView()
{
    window();
    return ui()->errorView;
}

TQCellTableView* TQEmptyTrashWindowController::tableView()
{
    window();
    return ui()->tableView;
}

QPushButton* TQEmptyTrashWindowController::closeButton()
{
    window();
    return ui()->closeButton;
}

QString TQEmptyTrashWindowController::progressText(double fraction)
{
    if (!std::isfinite(fraction)) fraction = 0;
    fraction = std::clamp(fraction, 0.0, 1.0);
    return QString::asprintf("Progress: %0.0f%%", fraction * 100);
}

void TQEmptyTrashWindowController::awakeFromNib()
{
    KZWindowController::awakeFromNib();
    ui()->errorView->hide();
    setCurrentView(ui()->progressView);
    ui()->progressLabel->setText(progressText(0));
}

void TQEmptyTrashWindowController::windowDidLoad()
{
    KZWindowController::windowDidLoad();
    errorModel_ = new TQFileTableModel(this);
    ui()->tableView->setModel(errorModel_);
    connect(ui()->tableView, &TQCellTableView::doubleAction, this, &TQEmptyTrashWindowController::showInFinder);
    connect(ui()->closeButton, &QPushButton::clicked, this, &TQEmptyTrashWindowController::close);
    QProgressBar* bar = ui()->progressIndicator;
    bar->setRange(0, 1000);
    bar->setValue(0);
    // The bar keeps its colour when the user looks at another window meanwhile.
    KZAppearance::keepHighlightWhenInactive(bar);
}

bool TQEmptyTrashWindowController::beginSheetForWindow(QWidget* parentWindow)
{
    if (started_ || isAnySheetRunning()) return false;
    started_ = true;
    window();
    beginSheet(parentWindow);
    startRun();
    return true;
}

void TQEmptyTrashWindowController::startRun()
{
    running_ = true;
    ++runningSheets;
    TQDeleteQueue::sharedInstance().deleteAllFilesWithReports(
        [this](const TQDeletionProgress& progress) {
            runProgressed(progress.fraction);
            if (progressBlock_) progressBlock_(progress, true);
        },
        [this](const TQDeletionResult& result) { runFinished(result); }, this);
}

void TQEmptyTrashWindowController::runProgressed(double fraction)
{
    if (!std::isfinite(fraction)) fraction = 0;
    fraction = std::clamp(fraction, 0.0, 1.0);
    ui()->progressIndicator->setValue(int(std::lround(fraction * 1000)));
    ui()->progressLabel->setText(progressText(fraction));
}

void TQEmptyTrashWindowController::runFinished(const TQDeletionResult& result)
{
    running_ = false;
    finished_ = true;
    --runningSheets;
    result_ = result;
    if (progressBlock_) progressBlock_({1.0, result.freedBytes, result.trashedBytes, 0.0}, false);
    ui()->progressIndicator->setValue(1000);
    ui()->progressLabel->setText(tr("Finished!"));

    // Exactly the records that went leave the queue; those that failed stay queued.
    KZFileList went;
    went.reserve(result.deletedFiles.size() + result.nestedFiles.size() + result.vanishedFiles.size());
    for (const KZFileList* list : {&result.deletedFiles, &result.nestedFiles, &result.vanishedFiles})
        went.insert(went.end(), list->begin(), list->end());
    if (!went.empty()) TQDeleteQueue::sharedInstance().removeFilesFromQueue(went);

    if (result.errors && !result.errors->empty()) {
        std::vector<TQFileTableModel::Row> rows;
        rows.reserve(result.errors->size());
        for (const auto& [path, error] : *result.errors)
            rows.push_back({KZFilePtr(), path, 0, error.localizedDescription()});
        errorModel_->setRows(std::move(rows));
        showErrorView();
    } else if (!closedDuringRun_) {
        KZRunOnMainThreadAfterDelay([this] { close(); }, closeDelay, this);
    }
    // The window was taken away while the run went (its parent closing): report now.
    if (closedDuringRun_) complete();
}

void TQEmptyTrashWindowController::close()
{
    if (!finished_ || completed_) return;
    endSheet();
    complete();
}

void TQEmptyTrashWindowController::windowWillClose()
{
    KZWindowController::windowWillClose();
    if (running_) {
        closedDuringRun_ = true;
        return;
    }
    if (finished_) complete();
}

void TQEmptyTrashWindowController::complete()
{
    if (completed_) return;
    completed_ = true;
    // A copy: the completion may release this controller (on a later turn).
    const CompletionBlock block = completionBlock_;
    if (block) block(result_);
}

void TQEmptyTrashWindowController::showErrorView()
{
    setCurrentView(errorView());
}

void TQEmptyTrashWindowController::showInFinder()
{
    const int row = tableView()->clickedRow();
    if (!errorModel_ || row < 0 || row >= errorModel_->rowCount()) return;
    KZWorkspace::shared().revealInFileManager({kz::pathWithoutTrailingSlash(errorModel_->row(row).path)});
}

void TQEmptyTrashWindowController::setCurrentView(QWidget* view)
{
    if (!view || view == currentView_) return;
    if (currentView_) currentView_->hide();
    view->show();
    currentView_ = view;
    // The window takes the page's size (its layout is fixed to the page), centred again over
    // the window it hangs from.
    QWidget* w = window();
    w->adjustSize();
    if (isSheet() && w->parentWidget()) {
        const QRect frame = w->parentWidget()->window()->geometry();
        w->move(frame.x() + (frame.width() - w->width()) / 2, w->y());
    }
}
