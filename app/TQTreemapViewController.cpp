// The results screen: set-up, settings it follows, toolbar, path bar, preview window,
// delete-queue popover, appearance, disappearance and teardown.
#include "app/TQTreemapViewController.h"

#include "ui_TQTreemapViewController.h"

#include "app/TQDeleteQueueViewController.h"
#include "app/TQEmptyTrashWindowController.h"
#include "app/TQNotifications.h"
#include "kit/ITPathbar.h"
#include "kit/KZController.h"
#include "kit/KZView.h"
#include "kit/TQTooltipPanel.h"
#include "model/KZPath.h"
#include "model/Preferences.h"
#include "model/TQDeleteQueue.h"
#include "platform/KZPathString.h"
#include "platform/widgets/KZAlertService.h"
#include "platform/widgets/KZApplicationServices.h"
#include "platform/widgets/KZImage.h"
#include "platform/widgets/KZWorkspace.h"
#include "treemap/KZNestedTreemapView.h"
#include "treemap/TQTheme.h"

#include <QAction>
#include <QApplication>
#include <QGridLayout>
#include <QLabel>
#include <QMainWindow>
#include <QNativeGestureEvent>
#include <QPushButton>
#include <QToolBar>
#include <QToolButton>

#include <algorithm>

KZ_INTERFACE_FILE_IMPL(TQTreemapViewController)

namespace {

struct ItemSpec {
    QString identifier;
    QString label;
    QStringList themeIcons; // freedesktop names, tried in order
    QString fallback;       // our own image
};

const std::vector<ItemSpec>& itemSpecs()
{
    static const std::vector<ItemSpec> specs{
        {TQTreemapViewController::ZoomItem,
         QStringLiteral("Zoom Out"),
         {QStringLiteral("zoom-out")},
         QStringLiteral("toolbar-zoom-out")},
        {TQTreemapViewController::ReloadItem,
         QStringLiteral("Refresh"),
         {QStringLiteral("view-refresh")},
         QStringLiteral("toolbar-reload")},
        {TQTreemapViewController::CompressItem,
         QStringLiteral("Compress"),
         {QStringLiteral("package-x-generic")},
         QStringLiteral("toolbar-compress")},
        {TQTreemapViewController::DeleteItem,
         QStringLiteral("Delete"),
         {QStringLiteral("edit-delete")},
         QStringLiteral("toolbar-delete")},
        {TQTreemapViewController::FinderItem,
         QStringLiteral("Show in File Manager"),
         {QStringLiteral("system-file-manager")},
         QStringLiteral("toolbar-reveal")},
        {TQTreemapViewController::QuickLookItem,
         QStringLiteral("Preview"),
         {QStringLiteral("document-preview")},
         QStringLiteral("toolbar-preview")},
        {TQTreemapViewController::DeleteQueueItem,
         QStringLiteral("Delete Queue"),
         {QStringLiteral("user-trash-full")},
         QStringLiteral("toolbar-queue")},
        {TQTreemapViewController::IgnoreItem,
         QStringLiteral("Ignore"),
         {QStringLiteral("list-remove")},
         QStringLiteral("toolbar-ignore")},
    };
    return specs;
}

QIcon toolbarIcon(const ItemSpec& spec)
{
    const QSizeF size(24, 24);
    for (const QString& name : spec.themeIcons) {
        const KZImage icon = KZImage::themeIcon(name, QString(), size);
        if (!icon.isNull()) return icon.icon();
    }
    return KZImage::named(spec.fallback).icon();
}

} // namespace

TQTreemapViewController::TQTreemapViewController(QObject* parent) : TQViewController(parent) {}

std::unique_ptr<TQTreemapViewController> TQTreemapViewController::controllerWithResults(const KZFileList& results)
{
    auto screen = controller<TQTreemapViewController>();
    screen->resultArray_ = results;
    return screen;
}

QStringList TQTreemapViewController::toolbarDefaultItemIdentifiers()
{
    return {ZoomItem,   QString(),     ReloadItem, CompressItem,    DeleteItem,
            FinderItem, QuickLookItem, QString(),  DeleteQueueItem, IgnoreItem};
}

KZView* TQTreemapViewController::contentView() const
{
    return contentView_;
}

KZNestedTreemapView* TQTreemapViewController::treemapView() const
{
    return treemapView_;
}

QToolBar* TQTreemapViewController::toolbar() const
{
    return toolbar_;
}

TQEmptyTrashWindowController* TQTreemapViewController::emptyWindowController() const
{
    return emptyWindowController_;
}

ITPathbar* TQTreemapViewController::pathBar() const
{
    return ui() ? ui()->pathBar : nullptr;
}

QLabel* TQTreemapViewController::errorLabel() const
{
    return ui() ? ui()->errorLabel : nullptr;
}

QWidget* TQTreemapViewController::unreadableNotice() const
{
    return ui() ? ui()->unreadableNotice : nullptr;
}

QLabel* TQTreemapViewController::unreadableLabel() const
{
    return ui() ? ui()->unreadableLabel : nullptr;
}

QPushButton* TQTreemapViewController::unreadableButton() const
{
    return ui() ? ui()->unreadableButton : nullptr;
}

void TQTreemapViewController::setUnreadableFolders(int64_t count, std::vector<std::string> paths)
{
    unreadableFolderCount_ = std::max<int64_t>(0, count);
    unreadableFolders_ = std::move(paths);
    updateUnreadableNotice();
}

void TQTreemapViewController::updateUnreadableNotice()
{
    if (!ui()) return;
    const int64_t n = unreadableFolderCount_;
    const QString text = n == 1 ? UnreadableOneNotice : UnreadableManyNotice.arg(n);
    ui()->unreadableLabel->setText(text);
    ui()->unreadableNotice->setAccessibleName(text);
    ui()->unreadableButton->setAccessibleDescription(text);
    ui()->unreadableNotice->setVisible(n > 0);
}

void TQTreemapViewController::showUnreadableFolders()
{
    const int64_t n = unreadableFolderCount_;
    if (n <= 0) return;
    KZAlert alert;
    alert.style = KZAlert::Style::Informational;
    alert.messageText = n == 1 ? UnreadableOneMessage : UnreadableManyMessage.arg(n);
    QStringList lines{n == 1 ? UnreadableOneInformative : UnreadableManyInformative, QString()};
    const size_t listed = std::min<size_t>(unreadableFolders_.size(), kMaxListedUnreadable);
    for (size_t i = 0; i < listed; ++i) lines << kz::displayString(kz::pathWithoutTrailingSlash(unreadableFolders_[i]));
    if (n > int64_t(listed)) lines << UnreadableMore.arg(n - int64_t(listed));
    alert.informativeText = lines.join(QLatin1Char('\n'));
    alert.buttons = {OkayButton};
    kz_beginSheetModalForWindow(alert, parentWindow() ? parentWindow()->window() : nullptr,
                                [](const KZAlertResult&) {});
}

TQTooltipPanel* TQTreemapViewController::tooltipWindow() const
{
    return ui() ? ui()->tooltipWindow : nullptr;
}

QLabel* TQTreemapViewController::tooltipLabel() const
{
    return ui() ? ui()->tooltipLabel : nullptr;
}

QAction* TQTreemapViewController::toolbarItem(const QString& identifier) const
{
    for (const ToolbarItem& item : toolbarItems_)
        if (item.identifier == identifier) return item.action;
    return nullptr;
}

QToolButton* TQTreemapViewController::toolbarButton(const QString& identifier) const
{
    QAction* action = toolbarItem(identifier);
    if (!action || !toolbar_) return nullptr;
    return qobject_cast<QToolButton*>(toolbar_->widgetForAction(action));
}

std::vector<TQCompressingWindowController*> TQTreemapViewController::compressingWindowControllers() const
{
    std::vector<TQCompressingWindowController*> running;
    for (const auto& c : compressingWindowControllers_)
        if (c) running.push_back(c.data());
    return running;
}

KZDirectoryPtr TQTreemapViewController::queuedFolderOf(const KZFile* file) const
{
    const auto it = queuedFolders_.find(file);
    return it == queuedFolders_.end() ? KZDirectoryPtr() : it->second.second;
}

// ---- set-up ----

void TQTreemapViewController::awakeFromNib()
{
    contentView_ = qobject_cast<KZView*>(view());
    QFont tipFont = ui()->tooltipLabel->font();
    tipFont.setPixelSize(11);
    ui()->tooltipLabel->setFont(tipFont);
    ui()->tooltipWindow->hide();
    ui()->errorLabel->setText(NothingToShow);
    ui()->errorLabel->hide();
    connect(ui()->unreadableButton, &QPushButton::clicked, this, &TQTreemapViewController::showUnreadableFolders);
    updateUnreadableNotice();

    // The screen's toolbar replaces the main window's own while the screen shows.
    makeToolbar();
    installToolbar();
    for (const QString& id : {ReloadItem, IgnoreItem, DeleteItem, CompressItem, FinderItem, ZoomItem, QuickLookItem})
        toolbarItemArray_.push_back(toolbarItem(id));

    if (resultArray_.empty() || !kz_asDirectory(resultArray_.front())) {
        // Nothing was scanned: no path to show either.
        ui()->pathBar->hide();
        ui()->errorLabel->show();
        return;
    }
    rootDirectory_ = kz_asDirectory(resultArray_.front());
    // The run's tree: what went while it was scanned leaves it before it is drawn.
    ledger().setRootDirectory(rootDirectory_);
    observeLedger();
    Preferences& prefs = Preferences::sharedPreferences();
    // The view asks about ignored items while it builds its first node list.
    ensureIgnoreList();

    treemapView_ = new KZNestedTreemapView(rootDirectory_, ui()->treemapContainer);
    treemapView_->setDelegate(this);
    treemapView_->setShowsHiddenFiles(prefs.showHiddenFiles());
    treemapView_->setShowsSystemFiles(prefs.showSystemFiles());
    ui()->treemapLayout->addWidget(treemapView_, 0, 0);
    ui()->errorLabel->raise();
    treemapView_->installEventFilter(this);
    // The Delete key over the map is the toolbar's Delete: the same confirmation, or a beep
    // while that command is off.
    connect(treemapView_, &KZNestedTreemapView::deleteRequested, this, [this] {
        QAction* item = toolbarItem(DeleteItem);
        if (item && item->isEnabled()) {
            item->trigger();
        } else {
            kz_beep();
        }
    });
    connect(treemapView_, &KZNestedTreemapView::selectedFilesChanged, this, [this] {
        updateToolbarStates();
        updatePathBar();
        if (previewPanel_ && previewPanel_->isVisible()) {
            // With nothing left to show the window closes rather than beep.
            if (treemapView_->selectedFiles().empty()) {
                previewPanel_->close();
            } else {
                previewPanel_->reloadData();
            }
        }
    });

    updateToolbarStates();
    updatePathBar();
    updateQueueToolbarItemEnabled();
    connect(ui()->pathBar, &ITPathbar::doubleClicked, this,
            [this](const QByteArray& path) { didClickPathbar(kz::toStdString(path)); });
    setWindowTitle();
    canShowFileChangeAlert_ = true;
    selectedTheme_ = TQTheme::selectedTheme(prefs);
    deleteQueueController_ = controller<TQDeleteQueueViewController>();
    observeSettings();

    if (QWidget* window = parentWindow() ? parentWindow()->window() : nullptr) window->installEventFilter(this);
    KZNotificationCenter& center = KZNotificationCenter::defaultCenter();
    for (const QString& name :
         {TQNotification_EmptyTrash, TQNotification_EmptyTrashAndFinish, TQNotification_EmptyTrashAndQuit})
        center.addObserver(
            name, [this, name](const KZNotification&) { showEmptyTrashWindow(name); }, this);
    addFileRemovedFromQueueNotification();
}

TQRunLedger& TQTreemapViewController::ledger()
{
    if (runLedger_) return *runLedger_;
    if (!ownLedger_) ownLedger_ = std::make_unique<TQRunLedger>();
    return *ownLedger_;
}

void TQTreemapViewController::observeLedger()
{
    TQRunLedger* ledger = &this->ledger();
    connect(ledger, &TQRunLedger::treeChanged, this, [this] {
        // Only the screen on show draws; another one reloads when it appears.
        if (treemapView_ && onShow_) treemapView_->reloadData();
    });
    // The view takes no clicks while emptied records leave the tree over several turns.
    connect(ledger, &TQRunLedger::takingOutRecordsChanged, this, [this](bool takingOut) {
        if (treemapView_) treemapView_->setEnabled(!takingOut);
    });
}

void TQTreemapViewController::observeSettings()
{
    Preferences& prefs = Preferences::sharedPreferences();
    connect(&prefs, &Preferences::useDepthChanged, this, [this] {
        if (treemapView_) treemapView_->reloadDataShouldClear(false);
    });
    connect(&prefs, &Preferences::selectedThemeNameChanged, this, [this] {
        selectedTheme_ = TQTheme::selectedTheme(Preferences::sharedPreferences());
        if (treemapView_) treemapView_->reloadDataShouldClear(false);
    });
    connect(&prefs, &Preferences::showSystemFilesChanged, this, [this] {
        if (treemapView_) treemapView_->setShowsSystemFiles(Preferences::sharedPreferences().showSystemFiles());
    });
    connect(&prefs, &Preferences::showHiddenFilesChanged, this, [this] {
        if (treemapView_) treemapView_->setShowsHiddenFiles(Preferences::sharedPreferences().showHiddenFiles());
    });
    connect(&prefs, &Preferences::ignoredPathsChanged, this, &TQTreemapViewController::refreshIgnoreList);
    connect(&prefs, &Preferences::ignoreListChanged, this, &TQTreemapViewController::refreshIgnoreList);
    connect(&prefs, &Preferences::useDeleteQueueChanged, this, &TQTreemapViewController::updateQueueToolbarItemEnabled);
}

KZIgnoreList& TQTreemapViewController::ensureIgnoreList()
{
    if (!ignoreList_) {
        ignoreList_.emplace(KZIgnoreList::ignoreList());
        refreshIgnoreList();
    }
    return *ignoreList_;
}

void TQTreemapViewController::refreshIgnoreList()
{
    if (!ignoreList_) return;
    const Preferences& prefs = Preferences::sharedPreferences();
    ignoreList_->setIgnoredExtensions(prefs.ignoreList());
    ignoreList_->setIgnoredPaths(prefs.ignoredPaths());
}

// ---- toolbar ----

void TQTreemapViewController::makeToolbar()
{
    toolbar_ = new QToolBar(QStringLiteral("Results"));
    toolbar_->setObjectName(QStringLiteral("TQTreemapViewControllerToolbar"));
    toolbar_->setMovable(false);
    toolbar_->setFloatable(false);
    toolbar_->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    toolbar_->setIconSize(QSize(24, 24));
    toolbar_->toggleViewAction()->setVisible(false);

    for (const QString& identifier : toolbarDefaultItemIdentifiers()) {
        if (identifier.isEmpty()) {
            auto* space = new QWidget(toolbar_);
            space->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
            toolbar_->addWidget(space);
            continue;
        }
        const auto spec = std::find_if(itemSpecs().begin(), itemSpecs().end(),
                                       [&](const ItemSpec& s) { return s.identifier == identifier; });
        QAction* action = toolbar_->addAction(toolbarIcon(*spec), spec->label);
        action->setObjectName(identifier);
        action->setToolTip(spec->label);
        action->setEnabled(false);
        toolbarItems_.push_back({identifier, action});
        if (auto* button = qobject_cast<QToolButton*>(toolbar_->widgetForAction(action)))
            button->setObjectName(identifier + QStringLiteral("Button"));
        if (identifier == ZoomItem) {
            connect(action, &QAction::triggered, this, &TQTreemapViewController::zoomOut);
        } else if (identifier == ReloadItem) {
            connect(action, &QAction::triggered, this, &TQTreemapViewController::refresh);
        } else if (identifier == CompressItem) {
            connect(action, &QAction::triggered, this, &TQTreemapViewController::compress);
        } else if (identifier == DeleteItem) {
            connect(action, &QAction::triggered, this, &TQTreemapViewController::deleteFile);
        } else if (identifier == FinderItem) {
            connect(action, &QAction::triggered, this, &TQTreemapViewController::showInFinder);
        } else if (identifier == QuickLookItem) {
            connect(action, &QAction::triggered, this, &TQTreemapViewController::quickLook);
        } else if (identifier == DeleteQueueItem) {
            connect(action, &QAction::triggered, this, [this] { showDeleteQueue(toolbarButton(DeleteQueueItem)); });
        } else if (identifier == IgnoreItem) {
            connect(action, &QAction::triggered, this, &TQTreemapViewController::ignoreFile);
        }
    }
}

void TQTreemapViewController::installToolbar()
{
    auto* window = qobject_cast<QMainWindow*>(parentWindow() ? parentWindow()->window() : nullptr);
    if (!window || !toolbar_ || toolbarWindow_ == window) return;
    for (QToolBar* other : window->findChildren<QToolBar*>(Qt::FindDirectChildrenOnly)) {
        if (other == toolbar_ || other->isHidden()) continue;
        other->hide();
        hiddenToolbars_.emplace_back(other);
    }
    window->addToolBar(Qt::TopToolBarArea, toolbar_);
    toolbar_->show();
    toolbarWindow_ = window;
}

void TQTreemapViewController::uninstallToolbar()
{
    if (auto* window = qobject_cast<QMainWindow*>(toolbarWindow_.data()); window && toolbar_) {
        window->removeToolBar(toolbar_);
        toolbar_->setParent(nullptr);
    }
    toolbarWindow_ = nullptr;
    for (const QPointer<QToolBar>& other : hiddenToolbars_)
        if (other) other->show();
    hiddenToolbars_.clear();
}

void TQTreemapViewController::updateToolbarStates()
{
    static const std::vector<KZFilePtr> none;
    const std::vector<KZFilePtr>& selection = treemapView_ ? treemapView_->selectedFiles() : none;
    for (QAction* action : toolbarItemArray_) {
        if (!action) continue;
        const QString id = action->objectName();
        bool enabled = true;
        if (id == ZoomItem) {
            enabled = treemapView_ && treemapView_->canZoomOut();
        } else if (selection.empty()) {
            enabled = false;
        } else if (id == ReloadItem) {
            enabled = std::all_of(selection.begin(), selection.end(),
                                  [](const KZFilePtr& f) { return f->isDirectory() && !f->isPackage(); });
        } else if (id == DeleteItem) {
            enabled = std::all_of(selection.begin(), selection.end(),
                                  [this](const KZFilePtr& f) { return treemapViewCanRemoveFile(treemapView_, f); });
        }
        action->setEnabled(enabled);
    }
}

void TQTreemapViewController::zoomOut()
{
    if (treemapView_) treemapView_->zoomOut();
}

void TQTreemapViewController::refresh()
{
    if (treemapView_) treemapView_->reloadSelectedDirectory();
}

void TQTreemapViewController::compress()
{
    if (treemapView_) treemapView_->compressSelectedFile();
}

void TQTreemapViewController::deleteFile()
{
    if (treemapView_) treemapView_->deleteSelectedFile();
}

void TQTreemapViewController::showInFinder()
{
    if (treemapView_) treemapView_->showSelectedFileInFinder();
}

void TQTreemapViewController::openWithFinder()
{
    if (treemapView_) treemapView_->openSelectedFileWithFinder();
}

void TQTreemapViewController::ignoreFile()
{
    if (treemapView_) treemapView_->ignoreSelectedFile();
}

void TQTreemapViewController::swipeWithEvent(double deltaX)
{
    if (deltaX > 0) zoomOut();
}

// ---- path bar ----

void TQTreemapViewController::updatePathBar()
{
    if (!treemapView_ || !pathBar()) return;
    const std::vector<KZFilePtr>& selection = treemapView_->selectedFiles();
    pathBar()->setURL(selection.size() == 1 ? selection.front()->path() : treemapView_->directory()->path());
}

KZDirectoryPtr TQTreemapViewController::folderAtPath(const std::string& path, bool enterPackages) const
{
    bool reached = false;
    KZDirectoryPtr folder = directoryWithPath(path, rootDirectory_, enterPackages, &reached);
    return reached ? folder : nullptr;
}

void TQTreemapViewController::didClickPathbar(const std::string& path)
{
    if (!rootDirectory_ || !treemapView_) return;
    if (!kz_isChildOfPath(path, rootDirectory_->path())) {
        kz_beep();
        KZAlert alert;
        alert.messageText = CannotZoomMessage;
        alert.informativeText = CannotZoomInformative.arg(kz_localizedFileName(path));
        alert.buttons = {CloseButton, NewScanButton};
        if (KZAlertService::shared().runModal(alert).response == KZAlertSecondButtonReturn)
            KZNotificationCenter::defaultCenter().post(TQNotification_StartOver);
        return;
    }
    const KZDirectoryPtr folder = folderAtPath(path, false);
    if (folder && folder != treemapView_->directory()) {
        treemapView_->zoomToDirectory(folder);
    } else if (folder) {
        treemapView_->clearSelection();
    } else {
        // A file or a package: shown in the file manager.
        KZWorkspace::shared().revealInFileManager({path});
    }
}

// ---- preview window ----

void TQTreemapViewController::quickLook()
{
    if (!treemapView_ || treemapView_->selectedFiles().empty()) {
        kz_beep();
        return;
    }
    if (previewPanel_ && previewPanel_->isVisible()) {
        previewPanel_->close();
        return;
    }
    if (!previewPanel_) {
        previewPanel_ = new KZPreviewPanel(parentWindow() ? parentWindow()->window() : nullptr);
        previewPanel_->setDataSource(this);
    }
    previewPanel_->reloadData();
    previewPanel_->show();
    previewPanel_->raise();
    previewPanel_->activateWindow();
}

int TQTreemapViewController::numberOfPreviewItems(KZPreviewPanel*)
{
    return treemapView_ ? int(treemapView_->selectedFiles().size()) : 0;
}

KZPreviewItem TQTreemapViewController::previewItemAtIndex(KZPreviewPanel*, int index)
{
    if (!treemapView_ || index < 0 || size_t(index) >= treemapView_->selectedFiles().size()) return {};
    const KZFilePtr& file = treemapView_->selectedFiles()[size_t(index)];
    return {file->path(), file->fileName(), file->fileSize()};
}

void TQTreemapViewController::closePreview()
{
    if (!previewPanel_) return;
    previewPanel_->setDataSource(nullptr);
    delete previewPanel_.data();
}

// ---- delete-queue popover ----

void TQTreemapViewController::showDeleteQueue(QWidget* sender)
{
    if (!deleteQueueController_) return;
    if (popover_ && popover_->popoverIsVisible()) {
        popover_->closePopover();
        return;
    }
    // A popover that closed without reporting yet is let go before a new one is made.
    dropPopover();
    hideTooltip();
    auto* popover = new INPopoverController(deleteQueueController_->view(), this);
    popover->setColor(QColor::fromRgbF(1.0, 1.0, 1.0, 1.0));
    popover->setCornerRadius(4.0);
    popover->setDelegate(this);
    popover_ = popover;
    deleteQueueController_->setPopover(popover);
    popover->presentPopoverFromRect(sender ? sender->geometry() : QRect(), sender ? sender->parentWidget() : nullptr,
                                    INPopoverArrowDirectionUp, false);
}

void TQTreemapViewController::popoverDidClose(INPopoverController* popover)
{
    if (!popover || popover != popover_) return;
    dropPopover();
}

void TQTreemapViewController::dropPopover()
{
    INPopoverController* popover = popover_;
    if (!popover) return;
    popover_ = nullptr;
    popover->setDelegate(nullptr);
    if (deleteQueueController_ && deleteQueueController_->popover() == popover)
        deleteQueueController_->setPopover(nullptr);
    popover->deleteLater();
}

void TQTreemapViewController::closePopoverIfAny()
{
    if (popover_ && popover_->popoverIsVisible()) popover_->closePopover();
    dropPopover();
}

// ---- tooltip hiding, window activation, gestures ----

void TQTreemapViewController::hideTooltip()
{
    if (TQTooltipPanel* panel = tooltipWindow(); panel && panel->isVisible()) panel->hide();
}

void TQTreemapViewController::windowDidBecomeMain()
{
    hideTooltip();
}

bool TQTreemapViewController::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::KeyPress:
        if (localEventListener_ && handleKeyPress(watched, static_cast<QKeyEvent*>(event))) return true;
        break;
    case QEvent::WindowActivate:
    case QEvent::WindowDeactivate:
        if (parentWindow() && watched == parentWindow()->window()) windowDidBecomeMain();
        break;
    case QEvent::NativeGesture:
        if (watched == treemapView_) {
            const auto* gesture = static_cast<QNativeGestureEvent*>(event);
            if (gesture->gestureType() == Qt::SwipeNativeGesture) {
                swipeWithEvent(gesture->delta().x());
                return true;
            }
        }
        break;
    default:
        break;
    }
    return false;
}

// ---- appearance and teardown ----

void TQTreemapViewController::kz_viewWillAppear()
{
    // Shown again after it went: the toolbar comes back.
    if (isViewLoaded()) installToolbar();
}

void TQTreemapViewController::kz_viewDidAppear()
{
    onShow_ = true;
    if (!treemapView_) return;
    addLocalEventListener();
    addFileEventListener();
    if (contentView_) contentView_->setFocus();
    treemapView_->setEnabled(!ledger().isTakingOutRecords());
    treemapView_->reloadData();
}

void TQTreemapViewController::kz_viewWillDisappear()
{
    onShow_ = false;
    // Queued records go back into the tree (the put-back observation is still on).
    TQDeleteQueue::sharedInstance().clearQueue();
    removeLocalEventListener();
    removeFileEventListener();
    closePopoverIfAny();
    hideTooltip();
    closePreview();
    uninstallToolbar();
}

void TQTreemapViewController::tearDown()
{
    KZNotificationCenter::defaultCenter().removeObservers(this);
    removeFileRemovedFromQueueNotification();
    QObject::disconnect(&Preferences::sharedPreferences(), nullptr, this, nullptr);
    removeLocalEventListener();
    removeFileEventListener();
    if (QWidget* window = parentWindow() ? parentWindow()->window() : nullptr) window->removeEventFilter(this);

    // Running compressions carry on under their own owner and report to the run's ledger,
    // which outlives this screen (a screen's own ledger goes with it: they report to no one).
    QObject::disconnect(runLedger(), nullptr, this, nullptr);
    for (const auto& c : compressingWindowControllers_) {
        if (!c || c->delegate() != this) continue;
        if (runLedger_) {
            runLedger_->adoptCompression(c);
        } else {
            c->setDelegate(nullptr);
        }
    }
    compressingWindowControllers_.clear();

    if (treemapView_) {
        treemapView_->removeEventFilter(this);
        treemapView_->disconnect(this);
        treemapView_->setDelegate(nullptr);
    }
    closePopoverIfAny();
    hideTooltip();
    closePreview();
    uninstallToolbar();
    delete toolbar_.data();

    // Queued records that are still queued keep their paths but no longer name a folder that
    // nobody holds.
    for (auto& [key, entry] : queuedFolders_)
        if (entry.first->parent() == entry.second.get()) entry.first->setParent(nullptr);
    queuedFolders_.clear();
}

TQTreemapViewController::~TQTreemapViewController()
{
    tearDown();
}
