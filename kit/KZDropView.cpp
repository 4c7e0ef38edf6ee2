#include "kit/KZDropView.h"

#include "kit/KZTouchBarController.h"
#include "platform/widgets/KZFolderPanel.h"
#include "platform/widgets/KZPasteboard.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QSortFilterProxyModel>

#include <algorithm>

namespace {

// Greys out, in the open panel, every item the drop view would refuse.
class AcceptFilter : public QSortFilterProxyModel {
public:
    AcceptFilter(KZDropView* dropView, QObject* parent) : QSortFilterProxyModel(parent), dropView_(dropView) {}

    Qt::ItemFlags flags(const QModelIndex& index) const override
    {
        Qt::ItemFlags f = QSortFilterProxyModel::flags(index);
        auto* files = qobject_cast<QFileSystemModel*>(sourceModel());
        if (!files || !dropView_) return f;
        const std::string path = QFile::encodeName(files->filePath(mapToSource(index))).toStdString();
        if (!dropView_->shouldAcceptFileWithPath(path)) f &= ~(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        return f;
    }

private:
    QPointer<KZDropView> dropView_;
};

} // namespace

KZDropView::KZDropView(QWidget* parent) : QWidget(parent)
{
    setAcceptDrops(true);
}

KZDropView::~KZDropView()
{
    const bool panelOpen = panel_;
    panel_.reset();
    // The Touch Bar must not stay blank because the view went before its delay ran out.
    if (touchBarHidden_ || panelOpen) KZTouchBarController::sharedController().setHidden(false);
}

bool KZDropView::shouldAcceptFileWithPath(const std::string& path) const
{
    if (!acceptingDrops_) return false;
    if (delegate_) return delegate_->dropViewShouldAcceptFile(const_cast<KZDropView*>(this), path);
    return true;
}

bool KZDropView::addFilePaths(const std::vector<std::string>& paths)
{
    std::vector<std::string> accepted;
    for (const std::string& path : paths)
        if (shouldAcceptFileWithPath(path) && std::find(accepted.begin(), accepted.end(), path) == accepted.end())
            accepted.push_back(path);
    if (accepted.empty()) return false;
    if (!filePaths_.empty() && allowsMultipleSelection_) {
        for (std::string& path : accepted)
            if (std::find(filePaths_.begin(), filePaths_.end(), path) == filePaths_.end())
                filePaths_.push_back(std::move(path));
    } else {
        filePaths_ = std::move(accepted);
    }
    return true;
}

std::vector<std::string> KZDropView::filePathWithDraggingInfo(const QMimeData* data)
{
    return KZPasteboard::filePaths(data);
}

KZDraggingDestination::Operation KZDropView::draggingEntered(const QMimeData* data)
{
    // One item at a time, even when multiple selection is allowed.
    const auto paths = filePathWithDraggingInfo(data);
    if (paths.size() != 1) return None;
    if (!shouldAcceptFileWithPath(paths.front())) return None;
    if (delegate_) delegate_->dropViewDidEnter(this);
    return Copy;
}

void KZDropView::draggingEnded()
{
    if (delegate_) delegate_->dropViewDidExit(this);
}

bool KZDropView::performDragOperation(const QMimeData* data)
{
    const bool added = addFilePaths(filePathWithDraggingInfo(data));
    if (added && delegate_ && !filePaths_.empty()) delegate_->dropViewFileWasDropped(this);
    return true;
}

void KZDropView::dragEnterEvent(QDragEnterEvent* event)
{
    dragAccepted_ = draggingEntered(event->mimeData()) == Copy;
    if (dragAccepted_) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    } else {
        event->ignore();
    }
}

void KZDropView::dragMoveEvent(QDragMoveEvent* event)
{
    if (dragAccepted_) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    } else {
        event->ignore();
    }
}

void KZDropView::dragLeaveEvent(QDragLeaveEvent* event)
{
    dragAccepted_ = false;
    draggingEnded();
    event->accept();
}

void KZDropView::dropEvent(QDropEvent* event)
{
    dragAccepted_ = false;
    QPointer<KZDropView> guard(this);
    performDragOperation(event->mimeData());
    if (!guard) return;
    event->setDropAction(Qt::CopyAction);
    event->accept();
    draggingEnded();
}

void KZDropView::open()
{
    if (panel_) {
        panel_->raise();
        return;
    }
    KZTouchBarController::sharedController().setHidden(true);
    touchBarHidden_ = true;
    auto* panel = new QFileDialog(window());
    panel_.reset(panel);
    panel->setAttribute(Qt::WA_DeleteOnClose);
    panel->setWindowModality(Qt::WindowModal);
    panel->setOption(QFileDialog::DontUseNativeDialog);
    panel->setFileMode(QFileDialog::Directory);
    panel->setAcceptMode(QFileDialog::AcceptOpen);
    panel->setLabelText(QFileDialog::Accept, tr("Choose"));
    panel->setProxyModel(new AcceptFilter(this, panel));
    kz::prepareFolderPanel(panel);
    connect(panel, &QFileDialog::finished, this,
            [this, panel](int result) { panelDidEnd(result, panel->selectedFiles()); });
    panel->open();
}

void KZDropView::panelDidEnd(int result, const QStringList& chosen)
{
    showTouchBarTimer_ = KZAnimationClock::shared().schedule(0.2, false, [this] {
        touchBarHidden_ = false;
        KZTouchBarController::sharedController().setHidden(false);
    });
    if (result != QDialog::Accepted || chosen.isEmpty()) return;
    std::vector<std::string> paths;
    for (const QString& file : chosen) paths.push_back(QFile::encodeName(file).toStdString());
    if (!addFilePaths(paths)) return;
    // The panel opens there next time, in this run or a later one.
    kz::rememberChosenFolder(filePaths_.back());
    if (delegate_) delegate_->dropViewFileWasDropped(this);
}
