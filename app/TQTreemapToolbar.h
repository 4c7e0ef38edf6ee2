#pragma once
// The results screen's toolbar. One table row per item holds everything about it: its
// identifier, label and icons, what it runs when clicked (its slot, on the treemap view or the
// screen), and the rule that enables it. From the rows it makes the QToolBar (one action per
// item, in the default order with flexible spaces), validates every item against its rule,
// and puts the bar into the main window's toolbar place while the screen shows.
//
// Ownership: the results screen owns it; it owns the QToolBar (parented to the main window
// only while shown there). The treemap view and the place are the screen's and the main
// window's; the hooks reach the screen, which outlives this toolbar.

#include "model/KZFile.h"
#include "platform/widgets/KZOwnedObject.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

class KZNestedTreemapView;
class QAction;
class QToolBar;
class QToolButton;
class QWidget;
class TQToolbarPlace;

class TQTreemapToolbar : public QObject {
    Q_OBJECT
public:
    // Item identifiers.
    static inline const QString ZoomItem = QStringLiteral("Zoom");
    static inline const QString ReloadItem = QStringLiteral("Reload");
    static inline const QString CompressItem = QStringLiteral("Compress");
    static inline const QString DeleteItem = QStringLiteral("Delete");
    static inline const QString FinderItem = QStringLiteral("FinderItem");
    static inline const QString QuickLookItem = QStringLiteral("QuickLook");
    static inline const QString DeleteQueueItem = QStringLiteral("DeleteQueue");
    static inline const QString IgnoreItem = QStringLiteral("Ignore");

    // What the items need from the screen.
    struct Hooks {
        // Whether the record may be removed (the Delete item's rule).
        std::function<bool(const KZFilePtr& file)> canRemove;
        // The Preview item.
        std::function<void()> quickLook;
        // The Delete Queue item, with its button to hang the popover from.
        std::function<void(QWidget* sender)> showDeleteQueue;
    };

    explicit TQTreemapToolbar(Hooks hooks, QObject* parent = nullptr);
    ~TQTreemapToolbar() override;

    // The order of the items ("" is a flexible space).
    static QStringList defaultItemIdentifiers();

    // The treemap view the items act on and read (not owned; none: every item is off).
    void setTreemapView(KZNestedTreemapView* view);

    QToolBar* toolBar() const { return bar_.get(); }
    // The action of an identifier, and its button; null for unknown ones.
    QAction* item(const QString& identifier) const;
    QToolButton* button(const QString& identifier) const;
    // Enables every item by its rule.
    void validate();
    // Clicks the item when it is enabled, else beeps (the keys that stand for an item).
    void triggerOrBeep(const QString& identifier);

    // Shows the bar in the window's place (none: nowhere); taken away from there again.
    void install(TQToolbarPlace* place);
    void uninstall();
    bool isInstalled() const { return place_ != nullptr; }

private:
    struct Row;
    static const std::vector<Row>& rows();

    Hooks hooks_;
    QPointer<KZNestedTreemapView> view_;
    KZOwnedObject<QToolBar> bar_;
    std::vector<std::pair<const Row*, QAction*>> items_;
    TQToolbarPlace* place_ = nullptr;
};
