#pragma once
// What assistive technology reads of the treemap view. The view is a list ("Treemap") whose
// items are the nodes drawn at the current zoom: the top-level ones are its children, a
// folder's drawn nodes are that folder's children (list items; the desktop's bridge reads
// tree items as table cells, which need a table around them). Each item reads its name (the file's, "N
// total items" for a group), a description with what it is and its size ("Folder, 25.7 MB"),
// the size as its value, and whether it is selected; its actions select it and open its
// context menu. Inert areas read as static text ("Small files 25.7 MB", described with how
// such bytes come to be shown) and can't be selected.
//
// Items are made on first use from the current layout, never from the tree. Each one holds
// the view by a guarded pointer and its node weakly, and finds its node in the current layout
// at every question: once the node has gone (a reload makes new nodes) or is no longer drawn,
// the item is invalid and answers nothing. The view's interface owns its items and drops
// those whose nodes went when the view reports a new layout. The view reports selection
// changes (Selection events, and Focus on the selected node while it has the focus) and new
// layouts (ObjectReorder). Main thread only.

#include "treemap/KZTreemapNode.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QString>

#include <functional>
#include <unordered_map>
#include <vector>

class KZNestedTreemapView;

// Gives every treemap view the interface below (once; later calls do nothing). The program
// and the tests call it at start.
void kz_installTreemapAccessibility();

class KZTreemapAccessibility : public QAccessibleWidget {
public:
    // What the view and its items read.
    static inline const QString ViewName = QStringLiteral("Treemap");
    static inline const QString ViewHelp = QStringLiteral(
        "Arrow keys and Tab select an item, Return zooms into the selected folder, Backspace zooms out, the Menu key "
        "opens the item's menu, Delete deletes the selection.");
    static inline const QString FolderKind = QStringLiteral("Folder");
    static inline const QString FileKind = QStringLiteral("File");
    static inline const QString PackageKind = QStringLiteral("Package");
    static inline const QString GroupKind = QStringLiteral("Grouped files");
    static inline const QString InertKind = QStringLiteral("Not selectable");
    static inline const QString RescanNote = QStringLiteral("being rescanned");
    // Action names (beside the standard press and menu actions).
    static inline const QString SelectActionDescription = QStringLiteral("Selects the item");
    static inline const QString MenuActionDescription = QStringLiteral("Opens the item's menu");

    explicit KZTreemapAccessibility(KZNestedTreemapView* view);
    ~KZTreemapAccessibility() override;
    KZTreemapAccessibility(const KZTreemapAccessibility&) = delete;
    KZTreemapAccessibility& operator=(const KZTreemapAccessibility&) = delete;

    QString text(QAccessible::Text t) const override;
    int childCount() const override;
    QAccessibleInterface* child(int index) const override;
    int indexOfChild(const QAccessibleInterface* child) const override;
    QAccessibleInterface* childAt(int x, int y) const override;
    QAccessibleInterface* focusChild() const override;

    // The item of a drawn node (made on first use), or null when the node is not drawn.
    QAccessibleInterface* interfaceForNode(const KZTreemapNodePtr& node) const;
    // The items made so far (for tests: items of gone nodes are dropped on a new layout).
    size_t madeItemCount() const { return items_.size(); }

    // Whether anyone hears the reports: assistive technology, or a test's observer.
    static bool isListening();
    // Sees every event the view and its items send (tests: no assistive technology runs on
    // the offscreen platform); an empty one stops it.
    using EventObserver = std::function<void(QAccessibleEvent* event)>;
    static void setEventObserverForTesting(EventObserver observer);

    // What the view reports; each does nothing without a listener.
    static void selectionChanged(KZNestedTreemapView* view, const std::vector<KZTreemapNodePtr>& before);
    static void layoutChanged(KZNestedTreemapView* view);
    static void focusMoved(KZNestedTreemapView* view);

    // What one node reads.
    static QString nameOfNode(const KZTreemapNode& node);
    static QString descriptionOfNode(const KZTreemapNode& node);
    static QString sizeOfNode(const KZTreemapNode& node);

    // The view's interface (made when needed), or null when the view has another one.
    static KZTreemapAccessibility* of(KZNestedTreemapView* view);

private:
    KZNestedTreemapView* treemapView() const;
    static void send(QAccessibleEvent& event);
    void dropGoneItems() const;

    struct Made {
        std::weak_ptr<KZTreemapNode> node;
        QAccessible::Id id = 0;
    };
    static constexpr size_t kDropAtLeast = 256;
    mutable std::unordered_map<const KZTreemapNode*, Made> items_;
    mutable size_t dropAt_ = kDropAtLeast;
};
