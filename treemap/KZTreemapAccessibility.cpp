#include "treemap/KZTreemapAccessibility.h"

#include "model/KZMemoryFormatter.h"
#include "platform/KZPathString.h"
#include "platform/widgets/KZAccessibleWidget.h"
#include "treemap/KZNestedTreemapView.h"

#include <QPointer>
#include <QWidget>
#include <QWindow>

#include <algorithm>

namespace {

const KZMemoryFormatter& formatter()
{
    static const KZMemoryFormatter shared;
    return shared;
}

// One drawn node. Holds nothing it could outlive: the view is guarded, the node weak, and
// both are looked up again at every question.
class NodeItem final : public QAccessibleInterface, public QAccessibleActionInterface {
public:
    NodeItem(KZNestedTreemapView* view, const KZTreemapNodePtr& node) : view_(view), node_(node) {}

    // The node and its index in the current layout, or null / -1 when either has gone.
    KZTreemapNodePtr node(int* index = nullptr) const
    {
        if (index) *index = -1;
        KZTreemapNodePtr node = node_.lock();
        if (!view_ || !node) return nullptr;
        const int at = view_->itemTree().indexOf(node.get());
        if (at < 0) return nullptr;
        if (index) *index = at;
        return node;
    }
    KZTreemapAccessibility* owner() const { return view_ ? KZTreemapAccessibility::of(view_) : nullptr; }

    bool isValid() const override { return node() != nullptr; }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override { return view_ && view_->window() ? view_->window()->windowHandle() : nullptr; }

    QAccessibleInterface* childAt(int x, int y) const override
    {
        int index = -1;
        if (!node(&index) || !owner()) return nullptr;
        const auto& items = view_->drawItems();
        const QPoint local = view_->mapFromGlobal(QPoint(x, y));
        for (const int i : view_->itemTree().childrenOf(index))
            if (items[size_t(i)].rect.contains(QPointF(local))) return owner()->interfaceForNode(items[size_t(i)].node);
        return nullptr;
    }
    QAccessibleInterface* parent() const override
    {
        int index = -1;
        if (!node(&index)) return nullptr;
        const int up = view_->itemTree().parentOf(index);
        if (up < 0) return QAccessible::queryAccessibleInterface(view_);
        KZTreemapAccessibility* o = owner();
        return o ? o->interfaceForNode(view_->drawItems()[size_t(up)].node) : nullptr;
    }
    QAccessibleInterface* child(int i) const override
    {
        int index = -1;
        if (!node(&index) || !owner()) return nullptr;
        const auto children = view_->itemTree().childrenOf(index);
        if (i < 0 || size_t(i) >= children.size()) return nullptr;
        return owner()->interfaceForNode(view_->drawItems()[size_t(children[size_t(i)])].node);
    }
    int childCount() const override
    {
        int index = -1;
        return node(&index) ? int(view_->itemTree().childrenOf(index).size()) : 0;
    }
    int indexOfChild(const QAccessibleInterface* child) const override
    {
        const auto* item = dynamic_cast<const NodeItem*>(child);
        int index = -1, childIndex = -1;
        if (!item || !node(&index) || !item->node(&childIndex)) return -1;
        const auto children = view_->itemTree().childrenOf(index);
        const auto at = std::find(children.begin(), children.end(), childIndex);
        return at == children.end() ? -1 : int(at - children.begin());
    }

    QString text(QAccessible::Text t) const override
    {
        const KZTreemapNodePtr n = node();
        if (!n) return {};
        switch (t) {
        case QAccessible::Name:
            return KZTreemapAccessibility::nameOfNode(*n);
        case QAccessible::Description:
            return KZTreemapAccessibility::descriptionOfNode(*n);
        case QAccessible::Value:
            return KZTreemapAccessibility::sizeOfNode(*n);
        default:
            return {};
        }
    }
    void setText(QAccessible::Text, const QString&) override {}
    QRect rect() const override
    {
        int index = -1;
        if (!node(&index)) return {};
        const QRect local = view_->drawItems()[size_t(index)].rect.toAlignedRect();
        return QRect(view_->mapToGlobal(local.topLeft()), local.size());
    }
    QAccessible::Role role() const override
    {
        const KZTreemapNodePtr n = node_.lock();
        return n && n->isInertArea() ? QAccessible::StaticText : QAccessible::ListItem;
    }
    QAccessible::State state() const override
    {
        QAccessible::State state;
        const KZTreemapNodePtr n = node();
        if (!n) {
            state.invalid = true;
            return state;
        }
        if (!view_->isEnabled()) state.disabled = true;
        if (!view_->isVisible()) state.invisible = true;
        if (n->isInertArea()) {
            state.readOnly = true;
            return state;
        }
        state.selectable = !n->isReloading();
        state.focusable = state.selectable;
        state.selected = n->selected();
        state.busy = n->isReloading();
        state.focused = view_->hasFocus() && view_->keyboardNode() == n;
        state.active = state.focused;
        return state;
    }

    void* interface_cast(QAccessible::InterfaceType t) override
    {
        const KZTreemapNodePtr n = node_.lock();
        if (t == QAccessible::ActionInterface && n && !n->isInertArea())
            return static_cast<QAccessibleActionInterface*>(this);
        return nullptr;
    }

    // Pressing an item selects it alone, as a click does; the menu action opens its menu.
    QStringList actionNames() const override
    {
        const KZTreemapNodePtr n = node();
        if (!n || n->isInertArea() || n->isReloading() || !view_->isEnabled()) return {};
        QStringList names{pressAction()};
        if (n->file()) names << showMenuAction();
        return names;
    }
    QString localizedActionDescription(const QString& name) const override
    {
        if (name == pressAction()) return KZTreemapAccessibility::SelectActionDescription;
        if (name == showMenuAction()) return KZTreemapAccessibility::MenuActionDescription;
        return QAccessibleActionInterface::localizedActionDescription(name);
    }
    void doAction(const QString& name) override
    {
        if (!actionNames().contains(name)) return;
        const KZTreemapNodePtr n = node();
        if (name == pressAction()) {
            view_->setClickedNode(n);
            view_->update();
        } else if (name == showMenuAction()) {
            view_->popUpMenuForNode(n);
        }
    }
    QStringList keyBindingsForAction(const QString& name) const override
    {
        if (name == showMenuAction()) return {QStringLiteral("Menu"), QStringLiteral("Shift+F10")};
        return {};
    }

private:
    QPointer<KZNestedTreemapView> view_;
    std::weak_ptr<KZTreemapNode> node_;
};

KZTreemapAccessibility::EventObserver& eventObserver()
{
    static KZTreemapAccessibility::EventObserver observer;
    return observer;
}

} // namespace

void kz_installTreemapAccessibility()
{
    static bool installed = false;
    if (installed) return;
    installed = true;
    KZAccessibleWidget::registerClass(KZNestedTreemapView::staticMetaObject, [](QWidget* widget) {
        return static_cast<QAccessibleInterface*>(
            new KZTreemapAccessibility(static_cast<KZNestedTreemapView*>(widget)));
    });
}

KZTreemapAccessibility::KZTreemapAccessibility(KZNestedTreemapView* view) : QAccessibleWidget(view, QAccessible::List)
{
}

KZTreemapAccessibility::~KZTreemapAccessibility()
{
    for (const auto& [node, made] : items_) QAccessible::deleteAccessibleInterface(made.id);
}

KZNestedTreemapView* KZTreemapAccessibility::treemapView() const
{
    return static_cast<KZNestedTreemapView*>(widget());
}

KZTreemapAccessibility* KZTreemapAccessibility::of(KZNestedTreemapView* view)
{
    return view ? dynamic_cast<KZTreemapAccessibility*>(QAccessible::queryAccessibleInterface(view)) : nullptr;
}

QString KZTreemapAccessibility::text(QAccessible::Text t) const
{
    KZNestedTreemapView* view = treemapView();
    switch (t) {
    case QAccessible::Name:
        return view->accessibleName().isEmpty() ? ViewName : view->accessibleName();
    case QAccessible::Description: {
        if (!view->accessibleDescription().isEmpty()) return view->accessibleDescription();
        const KZDirectoryPtr& shown = view->directory();
        if (!shown) return {};
        return QStringLiteral("%1, %2").arg(kz::displayString(kz::withoutTrailingSlash(shown->path())),
                                            formatter().stringFromBytes(shown->fileSize()));
    }
    case QAccessible::Help:
        return ViewHelp;
    default:
        return QAccessibleWidget::text(t);
    }
}

int KZTreemapAccessibility::childCount() const
{
    return int(treemapView()->itemTree().childrenOf(-1).size());
}

QAccessibleInterface* KZTreemapAccessibility::child(int index) const
{
    KZNestedTreemapView* view = treemapView();
    const auto top = view->itemTree().childrenOf(-1);
    if (index < 0 || size_t(index) >= top.size()) return nullptr;
    return interfaceForNode(view->drawItems()[size_t(top[size_t(index)])].node);
}

int KZTreemapAccessibility::indexOfChild(const QAccessibleInterface* child) const
{
    const auto* item = dynamic_cast<const NodeItem*>(child);
    int index = -1;
    if (!item || !item->node(&index)) return -1;
    const auto top = treemapView()->itemTree().childrenOf(-1);
    const auto at = std::find(top.begin(), top.end(), index);
    return at == top.end() ? -1 : int(at - top.begin());
}

QAccessibleInterface* KZTreemapAccessibility::childAt(int x, int y) const
{
    KZNestedTreemapView* view = treemapView();
    const QPointF local(view->mapFromGlobal(QPoint(x, y)));
    const auto& items = view->drawItems();
    for (const int i : view->itemTree().childrenOf(-1))
        if (items[size_t(i)].rect.contains(local)) return interfaceForNode(items[size_t(i)].node);
    return nullptr;
}

QAccessibleInterface* KZTreemapAccessibility::focusChild() const
{
    KZNestedTreemapView* view = treemapView();
    if (!view->hasFocus()) return nullptr;
    const KZTreemapNodePtr node = view->keyboardNode();
    return node ? interfaceForNode(node) : nullptr;
}

QAccessibleInterface* KZTreemapAccessibility::interfaceForNode(const KZTreemapNodePtr& node) const
{
    KZNestedTreemapView* view = treemapView();
    if (!node || view->itemTree().indexOf(node.get()) < 0) return nullptr;
    auto it = items_.find(node.get());
    if (it != items_.end()) {
        if (it->second.node.lock() == node)
            if (QAccessibleInterface* made = QAccessible::accessibleInterface(it->second.id)) return made;
        // A new node at the address of one that went (or an item the cache let go).
        QAccessible::deleteAccessibleInterface(it->second.id);
        items_.erase(it);
    }
    // Items of nodes that went are let go on each new layout while someone listens, and
    // here as the table grows in any case.
    if (items_.size() >= dropAt_) {
        dropGoneItems();
        dropAt_ = std::max<size_t>(kDropAtLeast, 2 * items_.size());
    }
    auto* item = new NodeItem(view, node);
    const QAccessible::Id id = QAccessible::registerAccessibleInterface(item);
    items_.emplace(node.get(), Made{node, id});
    return item;
}

void KZTreemapAccessibility::dropGoneItems() const
{
    for (auto it = items_.begin(); it != items_.end();) {
        if (it->second.node.expired()) {
            QAccessible::deleteAccessibleInterface(it->second.id);
            it = items_.erase(it);
        } else {
            ++it;
        }
    }
}

// ---- what the view reports ----

bool KZTreemapAccessibility::isListening()
{
    return QAccessible::isActive() || eventObserver();
}

void KZTreemapAccessibility::setEventObserverForTesting(EventObserver observer)
{
    eventObserver() = std::move(observer);
}

void KZTreemapAccessibility::send(QAccessibleEvent& event)
{
    if (eventObserver()) eventObserver()(&event);
    QAccessible::updateAccessibility(&event);
}

void KZTreemapAccessibility::selectionChanged(KZNestedTreemapView* view, const std::vector<KZTreemapNodePtr>& before)
{
    KZTreemapAccessibility* self = of(view);
    if (!self) return;
    const std::vector<KZTreemapNodePtr>& now = view->clickedNodes();
    const auto report = [&](const KZTreemapNodePtr& node, QAccessible::Event type) {
        if (QAccessibleInterface* item = self->interfaceForNode(node)) {
            QAccessibleEvent event(item, type);
            send(event);
        }
    };
    for (const KZTreemapNodePtr& node : before)
        if (std::find(now.begin(), now.end(), node) == now.end()) report(node, QAccessible::SelectionRemove);
    for (const KZTreemapNodePtr& node : now)
        if (std::find(before.begin(), before.end(), node) == before.end())
            report(node, now.size() == 1 ? QAccessible::Selection : QAccessible::SelectionAdd);
    if (view->hasFocus()) focusMoved(view);
}

void KZTreemapAccessibility::layoutChanged(KZNestedTreemapView* view)
{
    KZTreemapAccessibility* self = of(view);
    if (!self) return;
    self->dropGoneItems();
    QAccessibleEvent event(view, QAccessible::ObjectReorder);
    send(event);
}

void KZTreemapAccessibility::focusMoved(KZNestedTreemapView* view)
{
    KZTreemapAccessibility* self = of(view);
    if (!self || !view->hasFocus()) return;
    const KZTreemapNodePtr node = view->keyboardNode();
    QAccessibleInterface* item = node ? self->interfaceForNode(node) : nullptr;
    if (!item) return;
    QAccessibleEvent event(item, QAccessible::Focus);
    send(event);
}

// ---- what a node reads ----

QString KZTreemapAccessibility::sizeOfNode(const KZTreemapNode& node)
{
    return formatter().stringFromBytes(node.file() ? node.file()->fileSize() : node.fileSize());
}

QString KZTreemapAccessibility::nameOfNode(const KZTreemapNode& node)
{
    if (node.file()) return node.file()->fileName();
    if (node.isInertArea())
        return QStringLiteral("%1 %2").arg(KZTreemapNode::inertAreaTitle(node.inertKind()), sizeOfNode(node));
    if (node.isGroupedNode()) return QStringLiteral("%1 total items").arg(node.totalFiles());
    return {};
}

QString KZTreemapAccessibility::descriptionOfNode(const KZTreemapNode& node)
{
    QString kind;
    if (node.isInertArea()) {
        kind = InertKind;
    } else if (node.isPlainFolder()) {
        kind = FolderKind;
    } else if (node.file()) {
        kind = node.file()->isDirectory() ? PackageKind : FileKind;
    } else {
        kind = GroupKind;
    }
    QString text = QStringLiteral("%1, %2").arg(kind, sizeOfNode(node));
    if (node.isReloading()) text += QStringLiteral(", ") + RescanNote;
    // An inert area says how such bytes come to be shown.
    if (node.isInertArea()) text += QStringLiteral(". ") + KZTreemapNode::inertAreaHint(node.inertKind());
    return text;
}
