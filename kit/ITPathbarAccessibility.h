#pragma once
// What assistive technology reads of the path bar: a list named "Path" whose value is the
// path shown, with one item per component, named by the folder's (or file's) name and
// described by its whole path. Pressing an item does what a double click on it does. The
// items are made on first use and kept, one per place in the bar, for the life of the bar's
// interface; an item past the last component is invalid. Main thread only.

#include <QAccessibleWidget>
#include <QString>

#include <vector>

class ITPathbar;

class ITPathbarAccessibility : public QAccessibleWidget {
public:
    static inline const QString BarName = QStringLiteral("Path");
    static inline const QString ShowActionDescription = QStringLiteral("Shows this folder");

    explicit ITPathbarAccessibility(ITPathbar* bar);
    ~ITPathbarAccessibility() override;
    ITPathbarAccessibility(const ITPathbarAccessibility&) = delete;
    ITPathbarAccessibility& operator=(const ITPathbarAccessibility&) = delete;

    QString text(QAccessible::Text t) const override;
    int childCount() const override;
    QAccessibleInterface* child(int index) const override;
    int indexOfChild(const QAccessibleInterface* child) const override;
    QAccessibleInterface* childAt(int x, int y) const override;

    // Tells assistive technology that the bar shows other components (nothing while nobody listens).
    static void componentsChanged(ITPathbar* bar);

private:
    ITPathbar* bar() const;

    mutable std::vector<QAccessible::Id> items_;
};
