#pragma once
// The content of the delete-queue popover: a table of the queued records with Remove, Clear
// and Empty Trash. The results screen makes one at set-up and presents it in a new popover
// each time; the controller follows every change of the shared queue from its one-time
// set-up on (rows leave and arrive through the table's model), while the popover is shown or
// not.

#include "app/TQViewController.h"
#include "model/KZFile.h"
#include "platform/widgets/INPopoverController.h"

#include <QMetaObject>
#include <QPointer>

class QPushButton;
class TQCellTableView;
class TQFileTableModel;

KZ_INTERFACE_CLASS(TQDeleteQueueViewController)

class TQDeleteQueueViewController : public TQViewController {
    Q_OBJECT
    KZ_INTERFACE_FILE(TQDeleteQueueViewController)
public:
    // How long after Empty Trash the delete sheet is asked for (the popover closes first).
    static constexpr double emptyTrashDelay = 0.3;

    explicit TQDeleteQueueViewController(QObject* parent = nullptr);
    ~TQDeleteQueueViewController() override;

    // The popover that presents this controller (not owned): set by the results screen when it
    // presents one, cleared when that popover has closed.
    INPopoverController* popover() const { return popover_; }
    void setPopover(INPopoverController* popover);

    bool isLoaded() const { return isLoaded_; }
    bool observersRegistered() const { return observersRegistered_; }
    // Outlets (the view is loaded on first use).
    TQCellTableView* tableView();
    QPushButton* removeButton();
    QPushButton* clearButton();
    QPushButton* emptyTrashButton();

    // The three buttons are enabled exactly when the queue is not empty.
    void updateButtonStates();
    // Reveals the double-clicked row's item in the file manager.
    void tableViewWasDoubleClicked();

    // Actions.
    // The row clicked outside the selection (a context click) alone, else the selected rows.
    void removeSelectedFilesFromQueue();
    // Clears the queue after the question (unless the user turned it off).
    void clearQueue();
    // After the question, closes the popover and asks for the delete sheet 0.3 s later.
    void emptyTrash();
    // Does nothing.
    void deleteSelectedFiles() {}

    // Observes the queue again when the content shows after it disappeared.
    void kz_viewWillAppear() override;
    void kz_viewWillDisappear() override;

    // The Empty Trash question's informative text for the records that would be deleted.
    static QString emptyTrashInformativeText(const KZFileList& files, bool useTrash);
    // The sentence that says how many of the records lie on network volumes and so will be
    // deleted outright although the Trash was chosen; empty when none will.
    static QString networkItemsNote(const KZFileList& files, bool useTrash);

protected:
    void awakeFromNib() override;

private:
    void kz_viewDidLoad();
    void registerObservers();
    void unregisterObservers();
    void reloadData();
    void showContextMenu(const QPoint& position);

    QPointer<INPopoverController> popover_;
    TQFileTableModel* model_ = nullptr;
    QMetaObject::Connection queueObservation_;
    bool isLoaded_ = false;
    bool observersRegistered_ = false;
};
