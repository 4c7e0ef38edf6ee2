#pragma once
// What assistive technology reads of a widget that paints its own content (a label drawn by
// hand, a counter) or that is a window made from a plain widget. Qt names its standard
// controls itself; a class of ours registers its role and the text it shows, and its widgets
// get the interface below: the role, a name (the accessible name, the text of the label
// whose buddy the widget is, a window's title, else the class's default name or the text
// shown), the text shown as the value and as read-only text, the description (accessible
// description or tool tip) and the widget's children as Qt finds them.
//
// A single widget may say what it is instead, whatever its class: its dynamic property
// "accessibleRole" (RoleProperty) names a role, a key of QAccessible::Role, as an interface
// file sets it (<property name="accessibleRole" stdset="0"><string>Graphic</string></property>).
// It then reads with that role, named by its accessible name (or label, or title), described
// by its accessible description, with no value of its own: a picture, an animation, a notice.
//
// Register before the first widget of the class is asked for (the classes do it in their
// constructors); set the property before the widget is first shown. Main thread only.

#include <QAccessible>
#include <QAccessibleWidget>
#include <QString>

#include <functional>

class KZAccessibleWidget : public QAccessibleWidget, public QAccessibleTextInterface {
public:
    using TextOf = std::function<QString(const QWidget*)>;
    struct Description {
        QAccessible::Role role = QAccessible::StaticText;
        // The text the widget shows; unset for a widget that shows none of its own.
        TextOf shownText;
        // The name when neither an accessible name, a label nor a title names the widget;
        // unset: the text shown.
        TextOf defaultName;
    };

    // The dynamic property that gives a single widget its role (above).
    static constexpr const char* RoleProperty = "accessibleRole";

    KZAccessibleWidget(QWidget* widget, Description description);

    // Installs what makes the interfaces, names the parts Qt adds to standard widgets without
    // a name (a toolbar's button for the items that don't fit) and makes an empty frame (a
    // line between parts) read as a separator. Once, after the application object exists;
    // registering a class does it too.
    static void install();
    // Gives the widgets of the class (and of its subclasses that register none) the interface
    // described. A later call for the class replaces the description for widgets not yet asked for.
    static void registerClass(const QMetaObject& metaObject, Description description);
    // The same with an interface of the class's own making (or none: Qt's own is made).
    using Maker = std::function<QAccessibleInterface*(QWidget* widget)>;
    static void registerClass(const QMetaObject& metaObject, Maker maker);
    // Tells assistive technology that the text a widget shows changed (its name, when the
    // name is that text). Does nothing while nobody listens, nor for a widget named by its
    // accessible name (running dots change no name).
    static void textChanged(QWidget* widget);

    QString text(QAccessible::Text t) const override;
    QAccessible::State state() const override;
    void* interface_cast(QAccessible::InterfaceType t) override;

    // Read-only text: what the widget shows, without selection or cursor.
    void selection(int selectionIndex, int* startOffset, int* endOffset) const override;
    int selectionCount() const override { return 0; }
    void addSelection(int, int) override {}
    void removeSelection(int) override {}
    void setSelection(int, int, int) override {}
    int cursorPosition() const override { return 0; }
    void setCursorPosition(int) override {}
    QString text(int startOffset, int endOffset) const override;
    int characterCount() const override;
    QRect characterRect(int) const override { return {}; }
    int offsetAtPoint(const QPoint&) const override { return -1; }
    void scrollToSubstring(int, int) override {}
    QString attributes(int offset, int* startOffset, int* endOffset) const override;

private:
    QString shown() const;

    Description description_;
};
