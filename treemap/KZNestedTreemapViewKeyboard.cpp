// The treemap view without the pointer: the keys that move the selection, zoom, open the
// context menu and ask for deletion, and the focus ring.
#include "treemap/KZNestedTreemapView.h"

#include "treemap/KZNestedTreemapViewDelegate.h"
#include "treemap/KZTreemapAccessibility.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>

#include <algorithm>

KZTreemapNodePtr KZNestedTreemapView::keyboardNode()
{
    if (clickedNodes_.empty()) return nullptr;
    const KZTreemapItemTree& tree = itemTree();
    for (auto it = clickedNodes_.rbegin(); it != clickedNodes_.rend(); ++it)
        if (tree.indexOf(it->get()) >= 0) return *it;
    return nullptr;
}

void KZNestedTreemapView::selectItemFromKeyboard(int index)
{
    const auto& items = drawItems();
    if (index < 0 || size_t(index) >= items.size()) return;
    const KZTreemapNodePtr node = items[size_t(index)].node;
    if (node->isInertArea()) return;
    // As a click does: the hover tooltip goes, the node becomes the selection.
    if (delegate_) delegate_->treemapViewMouseExitedWithEvent(this, nullptr);
    const std::vector<KZTreemapNodePtr> before = clickedNodes_;
    setClickedNode(node);
    update();
    // A node already selected alone is no change, but the reader still hears where it is (a
    // change tells it by itself).
    if (clickedNodes_ == before && KZTreemapAccessibility::isListening()) KZTreemapAccessibility::focusMoved(this);
}

bool KZNestedTreemapView::moveSelectionToSibling(bool forward)
{
    const KZTreemapItemTree& tree = itemTree();
    const KZTreemapNodePtr current = keyboardNode();
    const int from = current ? tree.indexOf(current.get()) : -1;
    const int to = from < 0 ? KZTreemapItemTree::firstSelectable(items_, tree.childrenOf(-1), forward)
                            : tree.nextSibling(items_, from, forward);
    if (to < 0) return false;
    selectItemFromKeyboard(to);
    return true;
}

void KZNestedTreemapView::zoomFromKeyboard(bool in)
{
    const KZDirectoryPtr shown = directory_;
    if (in) {
        // Zooming needs exactly one selected node; zoomIn beeps for what can't be entered.
        if (clickedNodes_.size() != 1) {
            beep();
            return;
        }
        zoomIn();
        if (directory_ == shown) return;
        // The keys go on from the first node inside.
        selectItemFromKeyboard(KZTreemapItemTree::firstSelectable(drawItems(), itemTree().childrenOf(-1)));
        return;
    }
    if (!zoomOut()) {
        beep();
        return;
    }
    // The keys go on from the folder just left, when it is drawn.
    const auto& items = drawItems();
    for (size_t i = 0; i < items.size(); ++i) {
        if (items[i].node->file() && items[i].node->file() == shown) {
            selectItemFromKeyboard(int(i));
            return;
        }
    }
}

QMenu* KZNestedTreemapView::popUpMenuForNode(const KZTreemapNodePtr& node)
{
    if (!node) return nullptr;
    const int index = itemTree().indexOf(node.get());
    if (index < 0) return nullptr;
    // Over the visible part of the node's rectangle, near its top left corner.
    const QRect shown = items_[size_t(index)].rect.toAlignedRect().intersected(rect());
    QMenu* menu = menuForNode(node);
    if (!menu) return nullptr;
    menu->setAttribute(Qt::WA_DeleteOnClose);
    const QPoint corner = shown.topLeft() + QPoint(std::min(shown.width() / 2, 12), std::min(shown.height() / 2, 12));
    menu->popup(mapToGlobal(corner));
    return menu;
}

void KZNestedTreemapView::keyPressEvent(QKeyEvent* event)
{
    const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
    const int key = event->key();
    const bool plain = mods == Qt::NoModifier;
    const bool menuKey = (key == Qt::Key_Menu && plain) || (key == Qt::Key_F10 && mods == Qt::ShiftModifier);
    if (!plain && !menuKey) {
        QWidget::keyPressEvent(event);
        return;
    }
    const bool keyboardBefore = keyboardFocus_;
    keyboardFocus_ = true;
    if (menuKey) {
        if (!event->isAutoRepeat() && !popUpMenuForNode(keyboardNode())) beep();
        update();
        event->accept();
        return;
    }
    switch (key) {
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Up:
    case Qt::Key_Down: {
        const KZTreemapItemTree& tree = itemTree();
        const KZTreemapNodePtr current = keyboardNode();
        if (!current) {
            selectItemFromKeyboard(KZTreemapItemTree::firstSelectable(items_, tree.childrenOf(-1)));
            break;
        }
        const auto direction = key == Qt::Key_Left    ? KZTreemapItemTree::Direction::Left
                               : key == Qt::Key_Right ? KZTreemapItemTree::Direction::Right
                               : key == Qt::Key_Up    ? KZTreemapItemTree::Direction::Up
                                                      : KZTreemapItemTree::Direction::Down;
        // At the edge of its folder the selection stays where it is.
        selectItemFromKeyboard(tree.neighbour(items_, tree.indexOf(current.get()), direction));
        break;
    }
    case Qt::Key_Return:
    case Qt::Key_Enter:
        zoomFromKeyboard(true);
        break;
    case Qt::Key_Backspace:
        zoomFromKeyboard(false);
        break;
    case Qt::Key_Delete:
        // Held down, the key asks once.
        if (event->isAutoRepeat()) break;
        if (filesOfSelection().empty()) {
            beep();
        } else {
            Q_EMIT deleteRequested();
        }
        break;
    default:
        keyboardFocus_ = keyboardBefore;
        QWidget::keyPressEvent(event);
        return;
    }
    update();
    event->accept();
}

bool KZNestedTreemapView::focusNextPrevChild(bool next)
{
    // Tab walks the nodes beside the selected one; past the last (or first) it leaves the
    // view as it leaves any control.
    if (hasFocus()) {
        keyboardFocus_ = true;
        if (moveSelectionToSibling(next)) return true;
    }
    return QWidget::focusNextPrevChild(next);
}

void KZNestedTreemapView::focusInEvent(QFocusEvent* event)
{
    QWidget::focusInEvent(event);
    const Qt::FocusReason reason = event->reason();
    if (reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason || reason == Qt::ShortcutFocusReason)
        keyboardFocus_ = true;
    update();
    // After the focus event of the view itself, the reader hears the selected node.
    if (KZTreemapAccessibility::isListening()) {
        QPointer<KZNestedTreemapView> self(this);
        QMetaObject::invokeMethod(
            this,
            [self] {
                if (self && self->hasFocus()) KZTreemapAccessibility::focusMoved(self);
            },
            Qt::QueuedConnection);
    }
}

void KZNestedTreemapView::focusOutEvent(QFocusEvent* event)
{
    QWidget::focusOutEvent(event);
    update();
}

void KZNestedTreemapView::drawFocusRing(QPainter& painter)
{
    // Around the node the keys act from, or around the whole view when none is selected: a
    // dark ring outside a light one, so it shows on every fill.
    QRectF ring = QRectF(rect());
    if (const KZTreemapNodePtr node = keyboardNode()) ring = items_[size_t(itemTree().indexOf(node.get()))].rect;
    ring = ring.intersected(QRectF(rect()));
    if (ring.width() < 3 || ring.height() < 3) return;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setBrush(Qt::NoBrush);
    QColor dark = palette().color(QPalette::Highlight).darker(150);
    // Three units of dark on the rectangle's edge, one of light inside.
    painter.setPen(QPen(dark, 3, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    painter.drawRect(ring.adjusted(1.5, 1.5, -1.5, -1.5));
    if (ring.width() > 8 && ring.height() > 8) {
        painter.setPen(QPen(Qt::white, 1, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
        painter.drawRect(ring.adjusted(3.5, 3.5, -3.5, -3.5));
    }
    painter.restore();
}
