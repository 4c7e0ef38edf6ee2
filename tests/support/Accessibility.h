#pragma once
// Reading a window as a screen reader does, through QAccessible: every visible object below a
// widget with its role, name and value, and the objects a reader could not name.

#include <QAccessible>
#include <QString>
#include <QStringList>

#include <vector>

class QWidget;

namespace kztest {

struct AccessibleObject {
    QAccessibleInterface* iface = nullptr;
    int depth = 0;
    QAccessible::Role role = QAccessible::NoRole;
    QString name;
    // The value as text: the Value text, else a value interface's number, else the text
    // interface's text.
    QString value;
    QString description;
    QString className; // of the object behind the interface; empty for an item without one
};

// The visible objects from the widget's interface down, in the order a reader walks them (at
// most `limit`; a table's cells count too).
std::vector<AccessibleObject> accessibleObjects(QWidget* root, size_t limit = 5000);

// One line per visible object a reader can't make sense of: a control, text, picture or
// notice without a name, a window that reads as a bare panel, a part that reads as a window
// frame, a picture that reads as a filler, a widget that paints without saying what it is (a
// leaf of the plain client role whose class is not one of `decorations`). Empty when there is
// none.
QStringList unnamedAccessibleObjects(QWidget* root, const QStringList& decorations = {});

// The first visible object below the root with the role and name, or null.
QAccessibleInterface* findAccessible(QWidget* root, QAccessible::Role role, const QString& name);

// "push button", "label"...: the role as a reader says it (for messages).
QString roleName(QAccessible::Role role);
// "role 'name' = value": one object, for messages and lists.
QString describe(const AccessibleObject& object);

} // namespace kztest
