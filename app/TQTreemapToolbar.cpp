#include "app/TQTreemapToolbar.h"

#include "app/TQToolbarPlace.h"
#include "model/Preferences.h"
#include "platform/widgets/KZApplicationServices.h"
#include "platform/widgets/KZImage.h"
#include "treemap/KZNestedTreemapView.h"

#include <QAction>
#include <QToolBar>
#include <QToolButton>

#include <algorithm>

struct TQTreemapToolbar::Row {
    QString identifier;
    QString label;
    QStringList themeIcons; // freedesktop names, tried in order
    QString fallback;       // our own image
    void (*run)(TQTreemapToolbar& toolbar);
    bool (*isEnabled)(const TQTreemapToolbar& toolbar);
};

namespace {

const std::vector<KZFilePtr>& selectionOf(const KZNestedTreemapView* view)
{
    static const std::vector<KZFilePtr> none;
    return view ? view->selectedFiles() : none;
}

// Whether something is selected and every selected record passes the test.
template <class Test>
bool everySelected(const KZNestedTreemapView* view, Test test)
{
    const auto& selection = selectionOf(view);
    return !selection.empty() && std::all_of(selection.begin(), selection.end(), test);
}

QIcon iconFor(const QStringList& themeIcons, const QString& fallback)
{
    const QSizeF size(24, 24);
    for (const QString& name : themeIcons) {
        const KZImage icon = KZImage::themeIcon(name, QString(), size);
        if (!icon.isNull()) return icon.icon();
    }
    return KZImage::named(fallback).icon();
}

} // namespace

const std::vector<TQTreemapToolbar::Row>& TQTreemapToolbar::rows()
{
    using T = TQTreemapToolbar;
    // Most items act on the selection, and are off without one.
    static const auto anySelection = [](const T& t) { return !selectionOf(t.view_).empty(); };
    // One row per item: identifier, label, freedesktop icons, our own image; its slot; its rule.
    // clang-format off
    static const std::vector<Row> table{
        {ZoomItem, QStringLiteral("Zoom Out"), {QStringLiteral("zoom-out")}, QStringLiteral("toolbar-zoom-out"),
         [](T& t) { t.view_->zoomOut(); },
         [](const T& t) { return t.view_ && t.view_->canZoomOut(); }},
        {ReloadItem, QStringLiteral("Refresh"), {QStringLiteral("view-refresh")}, QStringLiteral("toolbar-reload"),
         [](T& t) { t.view_->reloadSelectedDirectory(); },
         // Folders only, never a package (it is measured whole).
         [](const T& t) { return everySelected(t.view_, [](const KZFilePtr& f) { return f->isDirectory() && !f->isPackage(); }); }},
        {CompressItem, QStringLiteral("Compress"), {QStringLiteral("package-x-generic")}, QStringLiteral("toolbar-compress"),
         [](T& t) { t.view_->compressSelectedFile(); },
         anySelection},
        {DeleteItem, QStringLiteral("Delete"), {QStringLiteral("edit-delete")}, QStringLiteral("toolbar-delete"),
         [](T& t) { t.view_->deleteSelectedFile(); },
         [](const T& t) { return everySelected(t.view_, [&t](const KZFilePtr& f) { return t.hooks_.canRemove && t.hooks_.canRemove(f); }); }},
        {FinderItem, QStringLiteral("Show in File Manager"), {QStringLiteral("system-file-manager")}, QStringLiteral("toolbar-reveal"),
         [](T& t) { t.view_->showSelectedFileInFinder(); },
         anySelection},
        {QuickLookItem, QStringLiteral("Preview"), {QStringLiteral("document-preview")}, QStringLiteral("toolbar-preview"),
         [](T& t) { t.hooks_.quickLook(); },
         anySelection},
        {DeleteQueueItem, QStringLiteral("Delete Queue"), {QStringLiteral("user-trash-full")}, QStringLiteral("toolbar-queue"),
         [](T& t) { t.hooks_.showDeleteQueue(t.button(DeleteQueueItem)); },
         [](const T& t) { return t.view_ && Preferences::sharedPreferences().useDeleteQueue(); }},
        {IgnoreItem, QStringLiteral("Ignore"), {QStringLiteral("list-remove")}, QStringLiteral("toolbar-ignore"),
         [](T& t) { t.view_->ignoreSelectedFile(); },
         anySelection},
    };
    // clang-format on
    return table;
}

TQTreemapToolbar::TQTreemapToolbar(Hooks hooks, QObject* parent) : QObject(parent), hooks_(std::move(hooks))
{
    bar_ = kz_makeOwned<QToolBar>(QStringLiteral("Results"));
    bar_->setObjectName(QStringLiteral("TQTreemapViewControllerToolbar"));
    bar_->setMovable(false);
    bar_->setFloatable(false);
    bar_->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    bar_->setIconSize(QSize(24, 24));
    bar_->toggleViewAction()->setVisible(false);

    for (const QString& identifier : defaultItemIdentifiers()) {
        if (identifier.isEmpty()) {
            auto* space = new QWidget(bar_.get());
            space->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
            bar_->addWidget(space);
            continue;
        }
        const Row& row =
            *std::find_if(rows().begin(), rows().end(), [&](const Row& r) { return r.identifier == identifier; });
        QAction* action = bar_->addAction(iconFor(row.themeIcons, row.fallback), row.label);
        action->setObjectName(identifier);
        action->setToolTip(row.label);
        action->setEnabled(false);
        items_.emplace_back(&row, action);
        if (auto* button = qobject_cast<QToolButton*>(bar_->widgetForAction(action)))
            button->setObjectName(identifier + QStringLiteral("Button"));
        // The rule is asked again at the click: an item whose state went stale (a view that
        // went, a selection changed unseen) runs nothing and shows its state anew.
        connect(action, &QAction::triggered, this, [this, run = row.run, isEnabled = row.isEnabled] {
            if (isEnabled(*this)) {
                run(*this);
            } else {
                validate();
            }
        });
    }
    connect(&Preferences::sharedPreferences(), &Preferences::useDeleteQueueChanged, this, &TQTreemapToolbar::validate);
}

TQTreemapToolbar::~TQTreemapToolbar()
{
    uninstall();
}

QStringList TQTreemapToolbar::defaultItemIdentifiers()
{
    return {ZoomItem,   QString(),     ReloadItem, CompressItem,    DeleteItem,
            FinderItem, QuickLookItem, QString(),  DeleteQueueItem, IgnoreItem};
}

void TQTreemapToolbar::setTreemapView(KZNestedTreemapView* view)
{
    view_ = view;
    validate();
}

QAction* TQTreemapToolbar::item(const QString& identifier) const
{
    for (const auto& [row, action] : items_)
        if (row->identifier == identifier) return action;
    return nullptr;
}

QToolButton* TQTreemapToolbar::button(const QString& identifier) const
{
    QAction* action = item(identifier);
    return action ? qobject_cast<QToolButton*>(bar_->widgetForAction(action)) : nullptr;
}

void TQTreemapToolbar::validate()
{
    for (const auto& [row, action] : items_) action->setEnabled(row->isEnabled(*this));
}

void TQTreemapToolbar::triggerOrBeep(const QString& identifier)
{
    QAction* action = item(identifier);
    if (action && action->isEnabled()) {
        action->trigger();
    } else {
        kz_beep();
    }
}

void TQTreemapToolbar::install(TQToolbarPlace* place)
{
    if (place_ == place) return;
    uninstall();
    if (!place) return;
    place_ = place;
    place_->showToolbar(bar_.get());
}

void TQTreemapToolbar::uninstall()
{
    if (!place_) return;
    place_->removeToolbar(bar_.get());
    place_ = nullptr;
}
