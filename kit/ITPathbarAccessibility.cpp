#include "kit/ITPathbarAccessibility.h"

#include "kit/ITPathbar.h"
#include "platform/KZPathString.h"

#include <QPointer>
#include <QWindow>

namespace {

// One component of the bar, found again by its place at every question.
class ComponentItem final : public QAccessibleInterface, public QAccessibleActionInterface {
public:
    ComponentItem(ITPathbar* bar, int index) : bar_(bar), index_(index) {}

    const ITPathbarComponentCell* cell() const
    {
        if (!bar_ || index_ >= int(bar_->pathComponentCells().size())) return nullptr;
        return &bar_->pathComponentCells()[size_t(index_)];
    }

    bool isValid() const override { return cell() != nullptr; }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override { return bar_ && bar_->window() ? bar_->window()->windowHandle() : nullptr; }
    QAccessibleInterface* parent() const override
    {
        return bar_ ? QAccessible::queryAccessibleInterface(bar_) : nullptr;
    }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }

    QString text(QAccessible::Text t) const override
    {
        const ITPathbarComponentCell* c = cell();
        if (!c) return {};
        switch (t) {
        case QAccessible::Name:
            return c->title;
        case QAccessible::Description:
            return kz::displayString(c->url);
        default:
            return {};
        }
    }
    void setText(QAccessible::Text, const QString&) override {}
    QRect rect() const override
    {
        if (!cell()) return {};
        const auto layouts = bar_->layoutComponents(QSizeF(bar_->size()));
        if (index_ >= layouts.size()) return {};
        const QRect local = layouts[index_].frame.toAlignedRect();
        return QRect(bar_->mapToGlobal(local.topLeft()), local.size());
    }
    QAccessible::Role role() const override { return QAccessible::ListItem; }
    QAccessible::State state() const override
    {
        QAccessible::State state;
        if (!cell()) {
            state.invalid = true;
            return state;
        }
        if (!bar_->isEnabled()) state.disabled = true;
        if (!bar_->isVisible()) state.invisible = true;
        return state;
    }
    void* interface_cast(QAccessible::InterfaceType t) override
    {
        return t == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface*>(this) : nullptr;
    }

    QStringList actionNames() const override
    {
        if (!cell() || !bar_->isEnabled()) return {};
        return {pressAction()};
    }
    QString localizedActionDescription(const QString& name) const override
    {
        if (name == pressAction()) return ITPathbarAccessibility::ShowActionDescription;
        return QAccessibleActionInterface::localizedActionDescription(name);
    }
    void doAction(const QString& name) override
    {
        if (actionNames().contains(name)) bar_->activateComponent(index_);
    }
    QStringList keyBindingsForAction(const QString&) const override { return {}; }

private:
    QPointer<ITPathbar> bar_;
    int index_;
};

} // namespace

ITPathbarAccessibility::ITPathbarAccessibility(ITPathbar* bar) : QAccessibleWidget(bar, QAccessible::List) {}

ITPathbarAccessibility::~ITPathbarAccessibility()
{
    for (const QAccessible::Id id : items_) QAccessible::deleteAccessibleInterface(id);
}

ITPathbar* ITPathbarAccessibility::bar() const
{
    return static_cast<ITPathbar*>(widget());
}

QString ITPathbarAccessibility::text(QAccessible::Text t) const
{
    switch (t) {
    case QAccessible::Name: {
        const QString name = QAccessibleWidget::text(t);
        return name.isEmpty() ? BarName : name;
    }
    case QAccessible::Value:
        return bar()->pathComponentCells().empty() ? QString()
                                                   : kz::displayString(bar()->pathComponentCells().back().url);
    default:
        return QAccessibleWidget::text(t);
    }
}

int ITPathbarAccessibility::childCount() const
{
    return int(bar()->pathComponentCells().size());
}

QAccessibleInterface* ITPathbarAccessibility::child(int index) const
{
    if (index < 0 || index >= childCount()) return nullptr;
    while (int(items_.size()) <= index)
        items_.push_back(QAccessible::registerAccessibleInterface(new ComponentItem(bar(), int(items_.size()))));
    return QAccessible::accessibleInterface(items_[size_t(index)]);
}

int ITPathbarAccessibility::indexOfChild(const QAccessibleInterface* child) const
{
    if (!child) return -1;
    for (size_t i = 0; i < items_.size() && int(i) < childCount(); ++i)
        if (QAccessible::accessibleInterface(items_[i]) == child) return int(i);
    return -1;
}

QAccessibleInterface* ITPathbarAccessibility::childAt(int x, int y) const
{
    const int index = bar()->componentAt(QPointF(bar()->mapFromGlobal(QPoint(x, y))));
    return index < 0 ? nullptr : child(index);
}

void ITPathbarAccessibility::componentsChanged(ITPathbar* bar)
{
    if (!QAccessible::isActive()) return;
    QAccessibleEvent reorder(bar, QAccessible::ObjectReorder);
    QAccessible::updateAccessibility(&reorder);
}
