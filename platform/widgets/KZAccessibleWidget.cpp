#include "platform/widgets/KZAccessibleWidget.h"

#include <QCoreApplication>
#include <QEvent>
#include <QHash>
#include <QMetaEnum>
#include <QWidget>

#include <algorithm>
#include <optional>

namespace {

QHash<QString, KZAccessibleWidget::Maker>& registry()
{
    static QHash<QString, KZAccessibleWidget::Maker> classes;
    return classes;
}

// The role a widget's own property names, if it names one.
std::optional<QAccessible::Role> roleOfWidget(const QObject* widget)
{
    const QVariant value = widget->property(KZAccessibleWidget::RoleProperty);
    if (!value.isValid()) return std::nullopt;
    bool known = false;
    const int role = QMetaEnum::fromType<QAccessible::Role>().keyToValue(value.toString().toLatin1(), &known);
    if (!known) return std::nullopt;
    return QAccessible::Role(role);
}

// Qt asks with each class name of the object in turn, the most derived first; a maker may
// decline (null), and Qt's own interface for the class is made. A widget's own role comes
// before its class's.
QAccessibleInterface* factory(const QString& className, QObject* object)
{
    if (!object || !object->isWidgetType()) return nullptr;
    if (const std::optional<QAccessible::Role> role = roleOfWidget(object))
        return new KZAccessibleWidget(static_cast<QWidget*>(object), {*role, {}, {}});
    const auto found = registry().constFind(className);
    if (found == registry().constEnd()) return nullptr;
    return (*found)(static_cast<QWidget*>(object));
}

// Names the parts Qt adds to standard widgets without a name of their own: the button that
// shows a toolbar's items that don't fit.
class StandardPartNamer : public QObject {
public:
    using QObject::QObject;
    static inline const QString ToolbarExtensionName = QStringLiteral("More Items");

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Polish && watched->isWidgetType() &&
            watched->objectName() == QLatin1String("qt_toolbar_ext_button")) {
            auto* widget = static_cast<QWidget*>(watched);
            if (widget->accessibleName().isEmpty()) widget->setAccessibleName(ToolbarExtensionName);
        }
        return false;
    }
};

} // namespace

KZAccessibleWidget::KZAccessibleWidget(QWidget* widget, Description description)
    : QAccessibleWidget(widget, description.role), description_(std::move(description))
{
}

void KZAccessibleWidget::registerClass(const QMetaObject& metaObject, Description description)
{
    registerClass(metaObject, [description = std::move(description)](QWidget* widget) {
        return new KZAccessibleWidget(widget, description);
    });
}

void KZAccessibleWidget::install()
{
    static bool installed = false;
    if (installed || !QCoreApplication::instance()) return;
    installed = true;
    QAccessible::installFactory(factory);
    QCoreApplication::instance()->installEventFilter(new StandardPartNamer(QCoreApplication::instance()));
    // A frame with nothing inside is a line between parts of a window, not a window frame.
    registry().insert(QStringLiteral("QFrame"), [](QWidget* frame) -> QAccessibleInterface* {
        if (!frame->findChildren<QWidget*>(Qt::FindDirectChildrenOnly).isEmpty()) return nullptr;
        return new KZAccessibleWidget(frame, {QAccessible::Separator, {}, {}});
    });
}

void KZAccessibleWidget::registerClass(const QMetaObject& metaObject, Maker maker)
{
    install();
    registry().insert(QString::fromLatin1(metaObject.className()), std::move(maker));
}

void KZAccessibleWidget::textChanged(QWidget* widget)
{
    if (!widget || !QAccessible::isActive() || !widget->accessibleName().isEmpty()) return;
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(widget);
    if (!iface) return;
    QAccessibleEvent event(widget, QAccessible::NameChanged);
    QAccessible::updateAccessibility(&event);
}

QString KZAccessibleWidget::shown() const
{
    return description_.shownText ? description_.shownText(widget()) : QString();
}

QString KZAccessibleWidget::text(QAccessible::Text t) const
{
    switch (t) {
    case QAccessible::Name: {
        QString name = QAccessibleWidget::text(QAccessible::Name);
        if (name.isEmpty() && description_.defaultName) name = description_.defaultName(widget());
        if (name.isEmpty()) name = shown();
        return name;
    }
    case QAccessible::Value:
        return shown();
    default:
        return QAccessibleWidget::text(t);
    }
}

QAccessible::State KZAccessibleWidget::state() const
{
    QAccessible::State state = QAccessibleWidget::state();
    if (description_.role == QAccessible::StaticText) state.readOnly = true;
    if (description_.role == QAccessible::Animation) state.animated = true;
    return state;
}

void* KZAccessibleWidget::interface_cast(QAccessible::InterfaceType t)
{
    if (t == QAccessible::TextInterface && description_.shownText) return static_cast<QAccessibleTextInterface*>(this);
    return QAccessibleWidget::interface_cast(t);
}

void KZAccessibleWidget::selection(int, int* startOffset, int* endOffset) const
{
    *startOffset = 0;
    *endOffset = 0;
}

QString KZAccessibleWidget::text(int startOffset, int endOffset) const
{
    const QString all = shown();
    startOffset = std::clamp(startOffset, 0, int(all.size()));
    endOffset = endOffset < 0 ? int(all.size()) : std::clamp(endOffset, startOffset, int(all.size()));
    return all.mid(startOffset, endOffset - startOffset);
}

int KZAccessibleWidget::characterCount() const
{
    return int(shown().size());
}

QString KZAccessibleWidget::attributes(int offset, int* startOffset, int* endOffset) const
{
    // One run without attributes over the whole text.
    Q_UNUSED(offset);
    *startOffset = 0;
    *endOffset = characterCount();
    return {};
}
