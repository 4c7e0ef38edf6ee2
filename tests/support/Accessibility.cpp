#include "tests/support/Accessibility.h"

#include <QAccessibleInterface>
#include <QWidget>

namespace kztest {

namespace {

// Classes that only draw a background, a frame or a picture beside a text that says it.
const QStringList kDecorations = {
    QStringLiteral("QWidget"),         QStringLiteral("QFrame"),
    QStringLiteral("KZView"),          QStringLiteral("KZLinedBackgroundView"),
    QStringLiteral("KZFileDropView"),  QStringLiteral("TQDeleteQueueBackgroundView"),
    QStringLiteral("KZResponderView"), QStringLiteral("QStackedWidget"),
};

bool isVisible(QAccessibleInterface* iface)
{
    return iface && iface->isValid() && !iface->state().invisible;
}

QString valueOf(QAccessibleInterface* iface)
{
    QString value = iface->text(QAccessible::Value);
    if (!value.isEmpty()) return value;
    if (QAccessibleValueInterface* v = iface->valueInterface()) return v->currentValue().toString();
    if (QAccessibleTextInterface* t = iface->textInterface()) return t->text(0, t->characterCount());
    return {};
}

void walk(QAccessibleInterface* iface, int depth, size_t limit, std::vector<AccessibleObject>& out)
{
    if (!isVisible(iface) || out.size() >= limit) return;
    AccessibleObject o;
    o.iface = iface;
    o.depth = depth;
    o.role = iface->role();
    o.name = iface->text(QAccessible::Name);
    o.value = valueOf(iface);
    o.description = iface->text(QAccessible::Description);
    if (QObject* object = iface->object()) o.className = QString::fromLatin1(object->metaObject()->className());
    out.push_back(o);
    const int count = iface->childCount();
    for (int i = 0; i < count && out.size() < limit; ++i) walk(iface->child(i), depth + 1, limit, out);
}

// Roles a reader announces by their name.
bool needsName(QAccessible::Role role)
{
    switch (role) {
    case QAccessible::PushButton:
    case QAccessible::CheckBox:
    case QAccessible::RadioButton:
    case QAccessible::ComboBox:
    case QAccessible::EditableText:
    case QAccessible::SpinBox:
    case QAccessible::Slider:
    case QAccessible::ProgressBar:
    case QAccessible::List:
    case QAccessible::ListItem:
    case QAccessible::Table:
    case QAccessible::Tree:
    case QAccessible::TreeItem:
    case QAccessible::Cell:
    case QAccessible::Link:
    case QAccessible::Graphic:
    case QAccessible::Animation:
    case QAccessible::Notification:
    case QAccessible::StatusBar:
    case QAccessible::ToolTip:
    case QAccessible::Window:
    case QAccessible::Dialog:
    case QAccessible::PageTab:
    case QAccessible::ButtonMenu:
    case QAccessible::ButtonDropDown:
        return true;
    default:
        return false;
    }
}

} // namespace

std::vector<AccessibleObject> accessibleObjects(QWidget* root, size_t limit)
{
    std::vector<AccessibleObject> out;
    walk(QAccessible::queryAccessibleInterface(root), 0, limit, out);
    return out;
}

QStringList unnamedAccessibleObjects(QWidget* root, const QStringList& decorations)
{
    QStringList faults;
    for (const AccessibleObject& o : accessibleObjects(root)) {
        const auto* widget = qobject_cast<QWidget*>(o.iface->object());
        const QString where = o.className.isEmpty() ? QStringLiteral("item") : o.className;
        const QString objectName = widget ? widget->objectName() : QString();
        const QString label = QStringLiteral("%1 %2 (%3)").arg(where, objectName, describe(o));
        if (widget && widget->isWindow() && o.role == QAccessible::Client) {
            faults << QStringLiteral("window reads as a bare panel: ") + label;
        } else if (o.role == QAccessible::Border) {
            faults << QStringLiteral("reads as a window frame: ") + label;
        } else if (o.role == QAccessible::Client && widget && o.iface->childCount() == 0 &&
                   !widget->property("backgroundImageName").toString().isEmpty()) {
            faults << QStringLiteral("picture that reads as a filler: ") + label;
        } else if (needsName(o.role) && o.name.trimmed().isEmpty()) {
            faults << QStringLiteral("no name: ") + label;
        } else if (o.role == QAccessible::StaticText && o.name.trimmed().isEmpty() && !o.value.isEmpty()) {
            faults << QStringLiteral("text without a name: ") + label;
        } else if (o.role == QAccessible::Client && widget && o.iface->childCount() == 0 &&
                   !kDecorations.contains(o.className) && !decorations.contains(o.className)) {
            faults << QStringLiteral("painted widget without a role: ") + label;
        }
    }
    return faults;
}

QAccessibleInterface* findAccessible(QWidget* root, QAccessible::Role role, const QString& name)
{
    for (const AccessibleObject& o : accessibleObjects(root))
        if (o.role == role && o.name == name) return o.iface;
    return nullptr;
}

QString roleName(QAccessible::Role role)
{
    switch (role) {
    case QAccessible::Window:
        return QStringLiteral("window");
    case QAccessible::Dialog:
        return QStringLiteral("dialog");
    case QAccessible::ToolTip:
        return QStringLiteral("tool tip");
    case QAccessible::Client:
        return QStringLiteral("filler");
    case QAccessible::Pane:
        return QStringLiteral("panel");
    case QAccessible::Grouping:
        return QStringLiteral("group");
    case QAccessible::StatusBar:
        return QStringLiteral("status bar");
    case QAccessible::ToolBar:
        return QStringLiteral("tool bar");
    case QAccessible::MenuBar:
        return QStringLiteral("menu bar");
    case QAccessible::StaticText:
        return QStringLiteral("label");
    case QAccessible::EditableText:
        return QStringLiteral("text");
    case QAccessible::PushButton:
        return QStringLiteral("push button");
    case QAccessible::CheckBox:
        return QStringLiteral("check box");
    case QAccessible::RadioButton:
        return QStringLiteral("radio button");
    case QAccessible::ComboBox:
        return QStringLiteral("combo box");
    case QAccessible::ProgressBar:
        return QStringLiteral("progress bar");
    case QAccessible::List:
        return QStringLiteral("list");
    case QAccessible::ListItem:
        return QStringLiteral("list item");
    case QAccessible::Table:
        return QStringLiteral("table");
    case QAccessible::Cell:
        return QStringLiteral("table cell");
    case QAccessible::ColumnHeader:
        return QStringLiteral("column header");
    case QAccessible::RowHeader:
        return QStringLiteral("row header");
    case QAccessible::Graphic:
        return QStringLiteral("image");
    case QAccessible::Animation:
        return QStringLiteral("animation");
    case QAccessible::Notification:
        return QStringLiteral("notification");
    case QAccessible::Border:
        return QStringLiteral("frame");
    case QAccessible::Link:
        return QStringLiteral("link");
    case QAccessible::Separator:
        return QStringLiteral("separator");
    case QAccessible::ScrollBar:
        return QStringLiteral("scroll bar");
    case QAccessible::ButtonMenu:
        return QStringLiteral("menu button");
    case QAccessible::PageTab:
        return QStringLiteral("page tab");
    default:
        return QStringLiteral("role 0x%1").arg(int(role), 0, 16);
    }
}

QString describe(const AccessibleObject& object)
{
    QString text = QStringLiteral("%1 '%2'").arg(roleName(object.role), object.name);
    if (!object.value.isEmpty() && object.value != object.name) text += QStringLiteral(" = ") + object.value;
    return text;
}

} // namespace kztest
