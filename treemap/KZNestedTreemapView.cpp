#include "treemap/KZNestedTreemapView.h"

#include "platform/widgets/KZApplicationServices.h"

#include "model/KZFileScanner.h"
#include "model/Preferences.h"
#include "treemap/KZNestedTreemapViewDelegate.h"
#include "treemap/KZTreemapAccessibility.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>

// Opened around every public edit of the selection; the outermost one reports the change.
class KZNestedTreemapView::SelectionChange {
public:
    explicit SelectionChange(KZNestedTreemapView* view) : view_(view)
    {
        // Assistive technology hears which nodes left the selection and which joined it.
        if (view_->selectionChangeDepth_++ == 0 && KZTreemapAccessibility::isListening())
            view_->selectionBefore_ = view_->clickedNodes_;
    }
    ~SelectionChange()
    {
        if (--view_->selectionChangeDepth_ > 0) return;
        const std::vector<KZTreemapNodePtr> before = std::move(view_->selectionBefore_);
        view_->selectionBefore_.clear();
        if (!view_->selectionEdited_) return;
        view_->selectionEdited_ = false;
        std::vector<KZFilePtr> files;
        files.reserve(view_->clickedNodes_.size());
        for (const KZTreemapNodePtr& node : view_->clickedNodes_)
            if (node->file()) files.push_back(node->file());
        view_->selectedFiles_ = std::move(files);
        if (KZTreemapAccessibility::isListening()) KZTreemapAccessibility::selectionChanged(view_, before);
        Q_EMIT view_->selectedFilesChanged();
    }
    SelectionChange(const SelectionChange&) = delete;
    SelectionChange& operator=(const SelectionChange&) = delete;

private:
    KZNestedTreemapView* view_;
};

KZNestedTreemapView::KZNestedTreemapView(KZDirectoryPtr directory, QWidget* parent)
    : QWidget(parent), root_(directory), directory_(std::move(directory)),
      progressRepaint_(kProgressRepaintInterval / 1000.0, false, {}, [this](KZTimer&) { update(); })
{
    // Assistive technology reads the view through its own interface (made on first use).
    kz_installTreemapAccessibility();
    setMouseTracking(true);
    setContextMenuPolicy(Qt::DefaultContextMenu);
    setFocusPolicy(Qt::StrongFocus);
    lists_.setDirectory(directory_);
    lists_.setFileIsIgnored(
        [this](const KZFilePtr& file) { return delegate_ && delegate_->treemapViewFileIsIgnored(this, file); });
    lists_.setMinimumFileSize([this] { return preferences().minFileSize(); });

    liveResizeTimer_.setSingleShot(true);
    liveResizeTimer_.setInterval(kLiveResizeEndDelay);
    connect(&liveResizeTimer_, &QTimer::timeout, this, &KZNestedTreemapView::endLiveResize);
}

KZNestedTreemapView::~KZNestedTreemapView()
{
    // Reports of running rescans are dropped once the view is gone (each scanner has the view
    // as owner); cancelling stops their work as well.
    for (auto& [path, scanner] : rescans_) scanner->cancel();
}

void KZNestedTreemapView::beep() const
{
    if (beep_) {
        beep_();
    } else {
        kz_beep();
    }
}

Preferences& KZNestedTreemapView::preferences() const
{
    return preferences_ ? *preferences_ : Preferences::sharedPreferences();
}

// ---- settings and reload ----

void KZNestedTreemapView::setShowsHiddenFiles(bool shows)
{
    if (shows == lists_.showsHiddenFiles()) return;
    lists_.setShowsHiddenFiles(shows);
    reloadDataShouldClear(true);
}

void KZNestedTreemapView::setShowsSystemFiles(bool shows)
{
    if (shows == lists_.showsSystemFiles()) return;
    lists_.setShowsSystemFiles(shows);
    reloadDataShouldClear(true);
}

void KZNestedTreemapView::reloadDataShouldClear(bool clear)
{
    setClickedNode(nullptr);
    if (clear) {
        lists_.removeAllLists();
        auto list = lists_.dataForDirectory(directory_.get());
        // Inert areas alone are something to show: bytes are never shown as nothing.
        const bool hasNodes = list && !list->empty();
        lists_.storeList(directory_.get(), list ? std::move(*list) : KZTreemapNodeList());
        if (delegate_) {
            if (hasNodes) {
                delegate_->treemapViewDidDraw(this);
            } else {
                delegate_->treemapViewIsEmpty(this);
            }
        }
    }
    invalidateLayout();
}

void KZNestedTreemapView::clearSelection()
{
    setClickedNode(nullptr);
    update();
}

void KZNestedTreemapView::invalidateLayout()
{
    items_.clear();
    itemTree_.reset();
    layoutValid_ = false;
    update();
    if (KZTreemapAccessibility::isListening()) KZTreemapAccessibility::layoutChanged(this);
}

// ---- layout and painting ----

const std::vector<KZTreemapDrawItem>& KZNestedTreemapView::drawItems()
{
    if (!layoutValid_) {
        const auto settings =
            liveResize_ ? KZTreemapLayoutSettings::duringLiveResize() : KZTreemapLayoutSettings::atRest();
        items_ = KZTreemapLayout::layout(lists_, directory_.get(), QRectF(rect()), settings);
        itemTree_.reset();
        layoutValid_ = true;
    }
    return items_;
}

const KZTreemapItemTree& KZNestedTreemapView::itemTree()
{
    const auto& items = drawItems();
    if (!itemTree_) itemTree_.emplace(items);
    return *itemTree_;
}

void KZNestedTreemapView::paintTreemap(QPainter& painter)
{
    const auto& items = drawItems();
    painter_.paint(painter, items,
                   [this](const KZTreemapNode& node, double percent, bool selected, bool reloading, int64_t depth) {
                       return delegate_
                                  ? delegate_->treemapViewColorForNode(this, node, percent, selected, reloading, depth)
                                  : QColor();
                   });
}

void KZNestedTreemapView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    paintTreemap(painter);
    if (showsFocusRing()) drawFocusRing(painter);
}

void KZNestedTreemapView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    // A resize that follows another one closely is part of a live resize, which lays out less
    // until the resizing stops.
    if (liveResizeTimer_.isActive()) liveResize_ = true;
    liveResizeTimer_.start();
    reloadDataShouldClear(false);
}

void KZNestedTreemapView::endLiveResize()
{
    if (!liveResize_) return;
    liveResize_ = false;
    invalidateLayout();
}

// ---- hit testing and the pointer ----

KZTreemapNodePtr KZNestedTreemapView::treemapNodeAt(const QPointF& point)
{
    const auto& items = drawItems();
    const int index = KZTreemapLayout::itemAtPoint(items, point);
    return index < 0 ? nullptr : items[size_t(index)].node;
}

void KZNestedTreemapView::mouseMoveEvent(QMouseEvent* event)
{
    QWidget::mouseMoveEvent(event);
    // Over an inert area the delegate hears of the area (its tooltip says what it holds),
    // though a click there is a click on the folder around it.
    const auto& items = drawItems();
    const int index = KZTreemapLayout::itemAtPoint(items, event->position(), true);
    const KZTreemapNodePtr node = index < 0 ? nullptr : items[size_t(index)].node;
    if (node && !node->isReloading()) {
        setCursor(node->isInertArea() ? Qt::ArrowCursor : Qt::PointingHandCursor);
        if (delegate_) {
            const QPointF windowPoint = mapTo(window(), event->position());
            delegate_->treemapViewMouseMovedToPoint(this, windowPoint, node);
        }
    } else {
        mouseExited(event);
    }
}

void KZNestedTreemapView::leaveEvent(QEvent* event)
{
    QWidget::leaveEvent(event);
    mouseExited(event);
}

void KZNestedTreemapView::mouseExited(QEvent* event)
{
    setCursor(Qt::ArrowCursor);
    if (delegate_) delegate_->treemapViewMouseExitedWithEvent(this, event);
}

void KZNestedTreemapView::mousePressEvent(QMouseEvent* event)
{
    // The focus ring is for keyboard use; a click hides it until the next key.
    keyboardFocus_ = false;
    // Only the primary button selects; the context menu has its own handler.
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    mouseDown(event, 1);
}

void KZNestedTreemapView::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mouseDoubleClickEvent(event);
        return;
    }
    mouseDown(event, 2);
}

void KZNestedTreemapView::mouseDown(QMouseEvent* event, int clickCount)
{
    const KZTreemapNodePtr node = treemapNodeAt(event->position());
    if (node && node->isReloading()) {
        setClickedNode(nullptr);
        update();
        return;
    }
    if (delegate_) delegate_->treemapViewMouseExitedWithEvent(this, event);
    // Ctrl stands in for the Command key of other desktops.
    if (event->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier)) {
        if (node && node->selected()) {
            removeClickedNode(node);
        } else {
            addClickedNode(node);
        }
    } else {
        setClickedNode(node);
    }
    update();
    if (clickCount == 2) doubleClick(node);
}

void KZNestedTreemapView::doubleClick(const KZTreemapNodePtr& node)
{
    if (!node) {
        showInFinder();
    } else if (node->file()) {
        if (node->isPlainFolder()) {
            zoomIn();
        } else {
            showInFinder();
        }
    } else if (node->isGroupedNode()) {
        if (node->parentDirectory() == directory_) {
            showInFinder();
        } else {
            zoomIn();
        }
    }
}

void KZNestedTreemapView::contextMenuEvent(QContextMenuEvent* event)
{
    if (event->reason() != QContextMenuEvent::Mouse) {
        // From the keyboard: at the selection, not at the pointer. The Menu key may have
        // opened it already as a key press.
        if (!QApplication::activePopupWidget()) {
            keyboardFocus_ = true;
            if (!popUpMenuForNode(keyboardNode())) beep();
        }
        return;
    }
    QMenu* menu = menuForPoint(event->pos(), event);
    if (!menu) return;
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(event->globalPos());
}

// ---- selection ----

void KZNestedTreemapView::addClickedNode(const KZTreemapNodePtr& node)
{
    if (!node) return;
    SelectionChange change(this);
    if (node->file()) {
        const std::string path = node->file()->path();
        const std::vector<KZTreemapNodePtr> selected = clickedNodes_;
        for (const KZTreemapNodePtr& other : selected) {
            if (!other->file() || other == node) continue;
            if (node->file()->isChildOfPath(other->file()->path()) || other->file()->isChildOfPath(path))
                removeClickedNode(other);
        }
    }
    node->setSelected(true);
    if (std::find(clickedNodes_.begin(), clickedNodes_.end(), node) == clickedNodes_.end()) {
        clickedNodes_.push_back(node);
        selectionEdited();
    }
}

void KZNestedTreemapView::removeClickedNode(const KZTreemapNodePtr& node)
{
    if (!node) return;
    SelectionChange change(this);
    node->setSelected(false);
    auto it = std::find(clickedNodes_.begin(), clickedNodes_.end(), node);
    if (it != clickedNodes_.end()) {
        clickedNodes_.erase(it);
        selectionEdited();
    }
}

void KZNestedTreemapView::removeAllClickedNodes()
{
    SelectionChange change(this);
    for (const KZTreemapNodePtr& node : clickedNodes_) node->setSelected(false);
    if (!clickedNodes_.empty()) selectionEdited();
    clickedNodes_.clear();
}

void KZNestedTreemapView::setClickedNode(const KZTreemapNodePtr& node)
{
    SelectionChange change(this);
    const std::vector<KZTreemapNodePtr> before = clickedNodes_;
    const bool editedBefore = selectionEdited_;
    removeAllClickedNodes();
    if (node) addClickedNode(node);
    // Selecting what was already selected is no change.
    if (clickedNodes_ == before) selectionEdited_ = editedBefore;
}

std::vector<KZFilePtr> KZNestedTreemapView::filesOfSelection() const
{
    std::vector<KZFilePtr> files;
    for (const KZTreemapNodePtr& node : clickedNodes_)
        if (node->file() && std::find(files.begin(), files.end(), node->file()) == files.end())
            files.push_back(node->file());
    return files;
}

// ---- zoom ----

void KZNestedTreemapView::zoomIn()
{
    if (clickedNodes_.size() != 1) return;
    const KZTreemapNodePtr node = clickedNodes_.front();
    KZDirectoryPtr target = node->file() ? kz_asDirectory(node->file()) : node->parentDirectory();
    if (node->isReloading() || !target || target->childCount() == 0) {
        beep();
        return;
    }
    zoomToDirectory(target);
}

void KZNestedTreemapView::zoomToDirectory(const KZDirectoryPtr& folder)
{
    if (!folder || folder == directory_) return;
    // A folder being rescanned has no children to show until its rescan ends.
    if (lists_.isReloadingPath(folder->path())) {
        beep();
        return;
    }
    zoomedNodes_.push_back(directory_);
    directory_ = folder;
    lists_.setDirectory(directory_);
    reloadDataShouldClear(true);
    canZoomOut_ = true;
    if (delegate_) delegate_->treemapViewDidZoomToDirectory(this, directory_, true);
}

bool KZNestedTreemapView::zoomOut()
{
    if (zoomedNodes_.empty()) return false;
    // Folders that have left the tree since they were pushed (deleted, ignored, replaced by a
    // rescan) are skipped; the scanned root never leaves it.
    KZDirectoryPtr target;
    while (!zoomedNodes_.empty()) {
        KZDirectoryPtr last = zoomedNodes_.back();
        if (isInTree(last.get())) {
            target = std::move(last);
            break;
        }
        std::erase(zoomedNodes_, last);
    }
    if (!target) target = root_;
    directory_ = target;
    lists_.setDirectory(directory_);
    reloadDataShouldClear(true);
    std::erase(zoomedNodes_, target);
    canZoomOut_ = !zoomedNodes_.empty();
    if (delegate_) delegate_->treemapViewDidZoomToDirectory(this, directory_, canZoomOut_);
    return true;
}

bool KZNestedTreemapView::isInTree(const KZDirectory* folder) const
{
    const KZDirectory* d = folder;
    while (d && d != root_.get()) {
        const KZDirectory* parent = d->parent();
        if (!parent) return false;
        const auto siblings = parent->children();
        if (std::find(siblings.begin(), siblings.end(), d) == siblings.end()) return false;
        d = parent;
    }
    return d == root_.get();
}
