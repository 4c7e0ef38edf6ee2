#include "app/TQDeleteQueueViewController.h"

#include "ui_TQDeleteQueueViewController.h"

#include "app/TQCellTableView.h"
#include "app/TQEmptyTrashWindowController.h"
#include "app/TQFileTableModel.h"
#include "app/TQNotifications.h"
#include "model/Preferences.h"
#include "model/TQDeleteQueue.h"
#include "platform/KZDispatch.h"
#include "platform/KZNotificationCenter.h"
#include "platform/KZPathString.h"
#include "platform/widgets/KZAlertService.h"
#include "platform/widgets/KZWorkspace.h"

#include <QMenu>
#include <QPushButton>

#include <algorithm>
#include <unordered_set>

KZ_INTERFACE_FILE_IMPL(TQDeleteQueueViewController)

TQDeleteQueueViewController::TQDeleteQueueViewController(QObject* parent) : TQViewController(parent) {}

TQDeleteQueueViewController::~TQDeleteQueueViewController()
{
    unregisterObservers();
}

void TQDeleteQueueViewController::setPopover(INPopoverController* popover)
{
    popover_ = popover;
}

TQCellTableView* TQDeleteQueueViewController::tableView()
{
    view();
    return ui()->tableView;
}

QPushButton* TQDeleteQueueViewController::removeButton()
{
    view();
    return ui()->removeButton;
}

QPushButton* TQDeleteQueueViewController::clearButton()
{
    view();
    return ui()->clearButton;
}

QPushButton* TQDeleteQueueViewController::emptyTrashButton()
{
    view();
    return ui()->emptyTrashButton;
}

void TQDeleteQueueViewController::awakeFromNib()
{
    TQViewController::awakeFromNib();
    if (isLoaded_) return;
    kz_viewDidLoad();
    isLoaded_ = true;
}

void TQDeleteQueueViewController::kz_viewDidLoad()
{
    model_ = new TQFileTableModel(this);
    TQCellTableView* table = ui()->tableView;
    table->setModel(model_);
    table->setPlaceholderText(tr("Your delete queue is empty."));
    connect(table, &TQCellTableView::doubleAction, this, &TQDeleteQueueViewController::tableViewWasDoubleClicked);
    connect(table, &QWidget::customContextMenuRequested, this, &TQDeleteQueueViewController::showContextMenu);
    connect(ui()->removeButton, &QPushButton::clicked, this,
            &TQDeleteQueueViewController::removeSelectedFilesFromQueue);
    connect(ui()->clearButton, &QPushButton::clicked, this, &TQDeleteQueueViewController::clearQueue);
    connect(ui()->emptyTrashButton, &QPushButton::clicked, this, &TQDeleteQueueViewController::emptyTrash);
    registerObservers();
    updateButtonStates();
}

void TQDeleteQueueViewController::registerObservers()
{
    if (observersRegistered_) return;
    queueObservation_ = connect(&TQDeleteQueue::sharedInstance(), &TQDeleteQueue::queueChanged, this,
                                &TQDeleteQueueViewController::reloadData);
    observersRegistered_ = true;
    reloadData();
}

void TQDeleteQueueViewController::unregisterObservers()
{
    if (!observersRegistered_) return;
    disconnect(queueObservation_);
    observersRegistered_ = false;
}

void TQDeleteQueueViewController::kz_viewWillAppear()
{
    if (isLoaded_) registerObservers();
}

void TQDeleteQueueViewController::kz_viewWillDisappear()
{
    unregisterObservers();
}

void TQDeleteQueueViewController::reloadData()
{
    if (model_) model_->setFiles(TQDeleteQueue::sharedInstance().queue());
    updateButtonStates();
}

void TQDeleteQueueViewController::updateButtonStates()
{
    if (!isViewLoaded()) return;
    const bool any = !TQDeleteQueue::sharedInstance().queue().empty();
    ui()->removeButton->setEnabled(any);
    ui()->clearButton->setEnabled(any);
    ui()->emptyTrashButton->setEnabled(any);
}

void TQDeleteQueueViewController::tableViewWasDoubleClicked()
{
    const int row = tableView()->clickedRow();
    if (!model_ || row < 0 || row >= model_->rowCount()) return;
    KZWorkspace::shared().revealInFileManager({kz::pathWithoutTrailingSlash(model_->row(row).path)});
}

void TQDeleteQueueViewController::showContextMenu(const QPoint& position)
{
    TQCellTableView* table = tableView();
    const int row = table->rowAt(position.y());
    if (row < 0) return;
    QMenu menu(table);
    QAction* remove = menu.addAction(tr("Remove"));
    connect(remove, &QAction::triggered, this, &TQDeleteQueueViewController::removeSelectedFilesFromQueue);
    QPointer<TQCellTableView> guard(table);
    table->setClickedRow(row);
    menu.exec(table->viewport()->mapToGlobal(position));
    if (guard) guard->setClickedRow(-1);
}

void TQDeleteQueueViewController::removeSelectedFilesFromQueue()
{
    if (!model_) return;
    TQDeleteQueue& queue = TQDeleteQueue::sharedInstance();
    TQCellTableView* table = tableView();
    const int rows = model_->rowCount();
    const int clicked = table->clickedRow();
    const std::vector<int> selected = table->selectedRows();
    const bool clickedIsSelected = std::find(selected.begin(), selected.end(), clicked) != selected.end();
    std::vector<int> chosen;
    if (clicked != -1 && (selected.empty() || !clickedIsSelected)) {
        if (clicked < rows) chosen.push_back(clicked);
    } else if (!selected.empty() && selected.back() < rows) {
        chosen = selected;
    }
    // The records the rows show, as long as they are still queued: a record that already
    // left must not be reported as leaving again (it would go back into the tree twice).
    std::unordered_set<const KZFile*> queued;
    for (const KZFilePtr& f : queue.queue()) queued.insert(f.get());
    KZFileList files;
    for (int row : chosen)
        if (const KZFilePtr& f = model_->row(row).file; f && queued.count(f.get())) files.push_back(f);
    if (files.size() == 1 && chosen.size() == 1 && clicked != -1)
        queue.removeFileFromQueue(files.front());
    else if (!files.empty())
        queue.removeFilesFromQueue(files);
}

void TQDeleteQueueViewController::clearQueue()
{
    TQDeleteQueue& queue = TQDeleteQueue::sharedInstance();
    if (queue.queue().empty()) return;
    Preferences& preferences = Preferences::sharedPreferences();
    if (!preferences.suppressEmptyQueueAlert()) {
        KZAlert alert;
        alert.messageText = tr("Are you sure you want to clear your queue?");
        alert.informativeText = tr("Doing this will remove all these files from your delete queue.");
        alert.buttons = {tr("Clear"), tr("Cancel")};
        alert.showsSuppressionButton = true;
        const KZAlertResult answer = KZAlertService::shared().runModal(alert);
        // The box is kept whatever the answer: the user ticked it.
        preferences.setSuppressEmptyQueueAlert(answer.suppressionState);
        if (answer.response != KZAlertFirstButtonReturn) return;
    }
    queue.clearQueue();
}

QString TQDeleteQueueViewController::emptyTrashInformativeText(const KZFileList& files, bool useTrash)
{
    QString text = tr("Doing this will delete all the files in your queue.");
    const QString network = networkItemsNote(files, useTrash);
    if (!network.isEmpty()) text += QLatin1Char(' ') + network;
    return text;
}

QString TQDeleteQueueViewController::networkItemsNote(const KZFileList& files, bool useTrash)
{
    if (!useTrash) return {};
    int network = 0;
    for (const KZFilePtr& f : files)
        if (f && f->isNetworkItem()) ++network;
    if (network == 1)
        return tr("One item is on a network volume: it can't be moved to the Trash and will be deleted immediately.");
    if (network > 1)
        return tr("%1 items are on network volumes: they can't be moved to the Trash and will be deleted immediately.")
            .arg(network);
    return {};
}

void TQDeleteQueueViewController::emptyTrash()
{
    TQDeleteQueue& queue = TQDeleteQueue::sharedInstance();
    if (queue.queue().empty()) return;
    // One emptying at a time.
    if (TQEmptyTrashWindowController::isAnySheetRunning()) return;
    Preferences& preferences = Preferences::sharedPreferences();
    const bool useTrash = preferences.useTrash();
    bool deletesOutright = false;
    if (useTrash)
        for (const KZFilePtr& f : queue.queue())
            if (f && f->isNetworkItem()) deletesOutright = true;
    // Items that will be deleted outright although the Trash was chosen are always asked about.
    if (!preferences.suppressEmptyTrashAlert() || deletesOutright) {
        KZAlert alert;
        alert.messageText = tr("Are you sure you want to empty the trash?");
        alert.informativeText = emptyTrashInformativeText(queue.queue(), useTrash);
        alert.buttons = {tr("Empty"), tr("Cancel")};
        alert.showsSuppressionButton = true;
        alert.suppressionState = preferences.suppressEmptyTrashAlert();
        const KZAlertResult answer = KZAlertService::shared().runModal(alert);
        preferences.setSuppressEmptyTrashAlert(answer.suppressionState);
        if (answer.response != KZAlertFirstButtonReturn) return;
    }
    if (popover_) popover_->closePopover();
    KZRunOnMainThreadAfterDelay([] { KZNotificationCenter::defaultCenter().post(TQNotification_EmptyTrash); },
                                emptyTrashDelay, this);
}
