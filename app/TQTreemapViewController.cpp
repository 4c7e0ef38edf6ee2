// The results screen: set-up, the settings it follows, the path bar, the preview window, the
// key monitor, appearance, disappearance and teardown.
#include "app/TQTreemapViewController.h"

#include "ui_TQTreemapViewController.h"

#include "app/TQNotifications.h"
#include "app/TQRunLedger.h"
#include "kit/ITPathbar.h"
#include "kit/KZController.h"
#include "model/KZMemoryFormatter.h"
#include "model/KZPath.h"
#include "model/Preferences.h"
#include "model/TQDeleteQueue.h"
#include "platform/KZPathString.h"
#include "platform/widgets/KZAlertService.h"
#include "platform/widgets/KZApplicationServices.h"
#include "platform/widgets/KZWorkspace.h"
#include "treemap/TQTheme.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QNativeGestureEvent>
#include <QPlainTextEdit>
#include <QTextEdit>
#include <QToolButton>

#include <functional>

KZ_INTERFACE_FILE_IMPL(TQTreemapViewController)

namespace {

// The preview window's items: the records selected in the treemap view.
class SelectionPreviewSource : public KZPreviewPanelDataSource {
public:
    explicit SelectionPreviewSource(KZNestedTreemapView* view) : view_(view) {}
    int numberOfPreviewItems(KZPreviewPanel*) override { return view_ ? int(view_->selectedFiles().size()) : 0; }
    KZPreviewItem previewItemAtIndex(KZPreviewPanel*, int index) override
    {
        if (!view_ || index < 0 || size_t(index) >= view_->selectedFiles().size()) return {};
        const KZFilePtr& file = view_->selectedFiles()[size_t(index)];
        return {file->path(), file->fileName(), file->fileSize()};
    }

private:
    QPointer<KZNestedTreemapView> view_;
};

// Stands for the platform's local key-down monitor: while it exists, every key press of the
// program passes through its block first, which answers whether it took the key.
class KeyDownMonitor : public QObject {
public:
    explicit KeyDownMonitor(std::function<bool(QObject* receiver, QKeyEvent* event)> block) : block_(std::move(block))
    {
        qApp->installEventFilter(this);
    }
    ~KeyDownMonitor() override
    {
        if (qApp) qApp->removeEventFilter(this);
    }
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        return event->type() == QEvent::KeyPress && block_(watched, static_cast<QKeyEvent*>(event));
    }

private:
    std::function<bool(QObject*, QKeyEvent*)> block_;
};

// True for a widget in which keys type text.
bool isTextEditor(const QWidget* w)
{
    if (!w) return false;
    if (const auto* line = qobject_cast<const QLineEdit*>(w)) return !line->isReadOnly();
    if (const auto* text = qobject_cast<const QTextEdit*>(w)) return !text->isReadOnly();
    if (const auto* plain = qobject_cast<const QPlainTextEdit*>(w)) return !plain->isReadOnly();
    if (qobject_cast<const QAbstractSpinBox*>(w)) return true;
    if (const auto* combo = qobject_cast<const QComboBox*>(w)) return combo->isEditable();
    return false;
}

} // namespace

TQTreemapViewController::TQTreemapViewController(QObject* parent) : TQViewController(parent) {}

std::unique_ptr<TQTreemapViewController> TQTreemapViewController::controllerWithResults(const KZFileList& results)
{
    auto screen = controller<TQTreemapViewController>();
    screen->resultArray_ = results;
    return screen;
}

ITPathbar* TQTreemapViewController::pathBar() const
{
    return ui() ? ui()->pathBar : nullptr;
}

QLabel* TQTreemapViewController::errorLabel() const
{
    return ui() ? ui()->errorLabel : nullptr;
}

// ---- set-up ----

void TQTreemapViewController::awakeFromNib()
{
    contentView_ = qobject_cast<KZView*>(view());
    QWidget* window = parentWindow() ? parentWindow()->window() : nullptr;
    tooltip_ = TQTreemapTooltip(ui()->tooltipWindow, ui()->tooltipLabel);
    ui()->errorLabel->setText(NothingToShow);
    ui()->errorLabel->hide();
    unreadableNotice_.attach(ui()->unreadableNotice, ui()->unreadableLabel, ui()->unreadableButton, window);
    // The view asks about ignored items while it builds its first node list.
    ignoreList_.emplace(KZIgnoreList::ignoreList());
    ignoreList_->setIgnoredExtensions(Preferences::sharedPreferences().ignoreList());
    ignoreList_->setIgnoredPaths(Preferences::sharedPreferences().ignoredPaths());

    // The screen's toolbar stands in for the main window's own while the screen shows.
    toolbar_ = std::make_unique<TQTreemapToolbar>(
        TQTreemapToolbar::Hooks{[this](const KZFilePtr& file) { return treemapViewCanRemoveFile(treemapView_, file); },
                                [this] { quickLook(); }, [this](QWidget* sender) { showDeleteQueue(sender); }});
    toolbar_->install(toolbarPlace_);

    if (resultArray_.empty() || !kz_asDirectory(resultArray_.front())) {
        // Nothing was scanned: no path to show either.
        ui()->pathBar->hide();
        ui()->errorLabel->show();
        return;
    }
    rootDirectory_ = kz_asDirectory(resultArray_.front());
    if (!runLedger_) ownLedger_ = std::make_unique<TQRunLedger>();
    // The run's tree: what went while it was scanned leaves it before it is drawn.
    runLedger()->setRootDirectory(rootDirectory_);
    removalFlow_ = std::make_unique<TQRemovalFlow>(
        TQRemovalFlow::Setup{rootDirectory_, runLedger(), runLedger_ != nullptr, &*ignoreList_, window,
                             [this]() -> QWidget* { return toolbar_->button(TQTreemapToolbar::DeleteQueueItem); }},
        this);
    rescanPrompt_ =
        std::make_unique<TQRescanPrompt>(rootDirectory_, &*ignoreList_, window, [this](const std::string& path) {
            return removalFlow_->filePathWasCompressFileChange(path);
        });

    const Preferences& prefs = Preferences::sharedPreferences();
    treemapView_ = new KZNestedTreemapView(rootDirectory_, ui()->treemapContainer);
    treemapView_->setDelegate(this);
    treemapView_->setShowsHiddenFiles(prefs.showHiddenFiles());
    treemapView_->setShowsSystemFiles(prefs.showSystemFiles());
    ui()->treemapLayout->addWidget(treemapView_, 0, 0);
    ui()->errorLabel->raise();
    treemapView_->installEventFilter(this);
    toolbar_->setTreemapView(treemapView_);
    removalFlow_->setTreemapView(treemapView_);
    selectedTheme_ = TQTheme::selectedTheme(prefs);
    observeChanges();

    updatePathBar();
    connect(ui()->pathBar, &ITPathbar::doubleClicked, this,
            [this](const QByteArray& path) { didClickPathbar(kz::toStdString(path)); });
    setWindowTitle();
    if (window) window->installEventFilter(this);
}

void TQTreemapViewController::observeChanges()
{
    // The Delete key over the map is the toolbar's Delete: the same confirmation, or a beep
    // while that command is off.
    connect(treemapView_, &KZNestedTreemapView::deleteRequested, this,
            [this] { toolbar_->triggerOrBeep(TQTreemapToolbar::DeleteItem); });
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
    connect(removalFlow_.get(), &TQRemovalFlow::popoverWillShow, this, [this] { tooltip_.hide(); });
    connect(removalFlow_.get(), &TQRemovalFlow::emptyingChanged, this,
            [this](bool emptying) { rescanPrompt_->setCanShowFileChangeAlert(!emptying); });
    connect(rescanPrompt_.get(), &TQRescanPrompt::rescanRequested, this, [this] {
        // Only a screen still on show asks for its rescan.
        if (onShow_) KZNotificationCenter::defaultCenter().post(TQNotification_Rescan);
    });
    connect(runLedger(), &TQRunLedger::treeChanged, this, [this] {
        // Only the screen on show draws; another one reloads when it appears.
        if (onShow_) treemapView_->reloadData();
    });
    // The view takes no clicks while emptied records leave the tree over several turns.
    connect(runLedger(), &TQRunLedger::takingOutRecordsChanged, this,
            [this](bool takingOut) { treemapView_->setEnabled(!takingOut); });

    Preferences& prefs = Preferences::sharedPreferences();
    const auto redraw = [this] { treemapView_->reloadDataShouldClear(false); };
    const auto refreshIgnoreList = [this] {
        ignoreList_->setIgnoredExtensions(Preferences::sharedPreferences().ignoreList());
        ignoreList_->setIgnoredPaths(Preferences::sharedPreferences().ignoredPaths());
    };
    connect(&prefs, &Preferences::useDepthChanged, this, redraw);
    connect(&prefs, &Preferences::selectedThemeNameChanged, this, [this, redraw] {
        selectedTheme_ = TQTheme::selectedTheme(Preferences::sharedPreferences());
        redraw();
    });
    connect(&prefs, &Preferences::showSystemFilesChanged, this,
            [this] { treemapView_->setShowsSystemFiles(Preferences::sharedPreferences().showSystemFiles()); });
    connect(&prefs, &Preferences::showHiddenFilesChanged, this,
            [this] { treemapView_->setShowsHiddenFiles(Preferences::sharedPreferences().showHiddenFiles()); });
    connect(&prefs, &Preferences::ignoredPathsChanged, this, refreshIgnoreList);
    connect(&prefs, &Preferences::ignoreListChanged, this, refreshIgnoreList);
}

// ---- path bar and title ----

void TQTreemapViewController::updatePathBar()
{
    if (!treemapView_ || !pathBar()) return;
    const std::vector<KZFilePtr>& selection = treemapView_->selectedFiles();
    pathBar()->setURL(selection.size() == 1 ? selection.front()->path() : treemapView_->directory()->path());
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
    bool reached = false;
    KZDirectoryPtr folder = TQRunLedger::directoryWithPath(path, rootDirectory_, false, &reached);
    if (!reached) folder = nullptr;
    if (folder && folder != treemapView_->directory()) {
        treemapView_->zoomToDirectory(folder);
    } else if (folder) {
        treemapView_->clearSelection();
    } else {
        // A file or a package: shown in the file manager.
        KZWorkspace::shared().revealInFileManager({path});
    }
}

void TQTreemapViewController::setWindowTitle()
{
    QWidget* window = parentWindow() ? parentWindow()->window() : nullptr;
    if (!window || !treemapView_) return;
    static const KZMemoryFormatter formatter;
    const KZDirectoryPtr& shown = treemapView_->directory();
    window->setWindowFilePath(kz::displayString(kz::withoutTrailingSlash(shown->path())));
    window->setWindowTitle(
        QStringLiteral("%1 - %2").arg(shown->fileName(), formatter.stringFromBytes(shown->fileSize())));
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
        previewSource_ = std::make_unique<SelectionPreviewSource>(treemapView_);
        previewPanel_ = kz_makeOwned<KZPreviewPanel>(parentWindow() ? parentWindow()->window() : nullptr);
        previewPanel_->setDataSource(previewSource_.get());
    }
    previewPanel_->reloadData();
    previewPanel_->show();
    previewPanel_->raise();
    previewPanel_->activateWindow();
}

// ---- key monitor, window activation, gestures ----

void TQTreemapViewController::addLocalEventListener()
{
    if (localEventListener_ || !qApp) return;
    localEventListener_ = std::make_unique<KeyDownMonitor>([this](QObject* receiver, QKeyEvent* event) {
        const int key = event->key();
        if (key != Qt::Key_Space && key != Qt::Key_Escape) return false;
        if (event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) return false;
        if (!treemapView_) return false;
        // Only in the results window while it is the active one, with no dialog or menu up.
        QWidget* window = parentWindow() ? parentWindow()->window() : nullptr;
        auto* target = qobject_cast<QWidget*>(receiver);
        if (!window || !target || target->window() != window || QApplication::activeWindow() != window) return false;
        if (QApplication::activeModalWidget() || QApplication::activePopupWidget()) return false;
        if (isTextEditor(QApplication::focusWidget()) || isTextEditor(target)) return false;
        // The popover takes its own keys (Escape closes it).
        if (INPopoverController* popover = removalFlow_->popover(); popover && popover->popoverIsVisible()) {
            if (key == Qt::Key_Escape) return false;
            if (QWidget* content = popover->contentView(); content && content->isAncestorOf(target)) return false;
        }
        if (key == Qt::Key_Space) {
            if (!event->isAutoRepeat()) quickLook();
        } else {
            treemapView_->clearSelection();
        }
        return true;
    });
}

void TQTreemapViewController::removeLocalEventListener()
{
    localEventListener_.reset();
}

bool TQTreemapViewController::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    if ((type == QEvent::WindowActivate || type == QEvent::WindowDeactivate) && parentWindow() &&
        watched == parentWindow()->window()) {
        // The window became the main one (or stopped being it): the tooltip goes.
        tooltip_.hide();
    } else if (type == QEvent::NativeGesture && watched == treemapView_) {
        const auto* gesture = static_cast<QNativeGestureEvent*>(event);
        if (gesture->gestureType() == Qt::SwipeNativeGesture) {
            // A horizontal swipe: a positive delta zooms out.
            if (gesture->delta().x() > 0) treemapView_->zoomOut();
            return true;
        }
    }
    return false;
}

// ---- appearance and teardown ----

void TQTreemapViewController::kz_viewWillAppear()
{
    // Shown again after it went: the toolbar comes back.
    if (isViewLoaded() && toolbar_) toolbar_->install(toolbarPlace_);
}

void TQTreemapViewController::kz_viewDidAppear()
{
    onShow_ = true;
    if (!treemapView_) return;
    addLocalEventListener();
    rescanPrompt_->addFileEventListener();
    if (contentView_) contentView_->setFocus();
    treemapView_->setEnabled(!runLedger()->isTakingOutRecords());
    treemapView_->reloadData();
}

void TQTreemapViewController::kz_viewWillDisappear()
{
    onShow_ = false;
    // Queued records go back into the tree (the put-back observation is still on).
    TQDeleteQueue::sharedInstance().clearQueue();
    closeWhatItOpened();
}

void TQTreemapViewController::closeWhatItOpened()
{
    removeLocalEventListener();
    if (rescanPrompt_) rescanPrompt_->removeFileEventListener();
    if (removalFlow_) removalFlow_->closeDeleteQueue();
    tooltip_.hide();
    if (previewPanel_) {
        previewPanel_->setDataSource(nullptr);
        previewPanel_->hide();
        previewPanel_.reset();
    }
    if (toolbar_) toolbar_->uninstall();
}

TQTreemapViewController::~TQTreemapViewController()
{
    KZNotificationCenter::defaultCenter().removeObservers(this);
    QObject::disconnect(&Preferences::sharedPreferences(), nullptr, this, nullptr);
    if (QWidget* window = parentWindow() ? parentWindow()->window() : nullptr) window->removeEventFilter(this);
    if (runLedger()) QObject::disconnect(runLedger(), nullptr, this, nullptr);
    if (treemapView_) {
        treemapView_->removeEventFilter(this);
        treemapView_->disconnect(this);
        treemapView_->setDelegate(nullptr);
    }
    closeWhatItOpened();
    // The flow hands running compressions to the run's ledger and lets queued records go; it
    // goes before a ledger of the screen's own.
    rescanPrompt_.reset();
    removalFlow_.reset();
    toolbar_.reset();
}
