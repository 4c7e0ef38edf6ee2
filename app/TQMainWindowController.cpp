#include "app/TQMainWindowController.h"

#include "app/KZFinishedViewController.h"
#include "app/KZLCDStatusViewController.h"
#include "app/TQDeleteQueueViewController.h"
#include "app/TQEmptyTrashWindowController.h"
#include "app/TQFileScanViewController.h"
#include "app/TQNotifications.h"
#include "app/TQRunLedger.h"
#include "app/TQToolbarPlace.h"
#include "app/TQTreemapViewController.h"
#include "kit/KZButton.h"
#include "kit/KZController.h"
#include "kit/KZDropDestinationButton.h"
#include "kit/KZFileDropView.h"
#include "kit/KZTouchBarController.h"
#include "kit/KZView.h"
#include "kit/TQAppColors.h"
#include "kit/TWTouchBarProgressIndicator.h"
#include "model/KZIgnoreList.h"
#include "model/KZMemoryFormatter.h"
#include "model/KZPath.h"
#include "model/Preferences.h"
#include "model/TQDeleteQueue.h"
#include "platform/KZDispatch.h"
#include "platform/KZNotificationCenter.h"
#include "platform/KZPackages.h"
#include "platform/KZPathString.h"
#include "platform/widgets/KZAlertService.h"
#include "platform/widgets/KZApplicationServices.h"
#include "platform/widgets/KZImage.h"
#include "platform/widgets/KZWorkspace.h"

#include "ui_TQMainWindowController.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMainWindow>
#include <QPushButton>
#include <QToolBar>
#include <QVariantAnimation>

#include <sys/stat.h>

KZ_INTERFACE_FILE_IMPL(TQMainWindowController)

namespace {

const QString windowTitle = QStringLiteral("Sizemere");
// How long the window takes to grow or shrink to the next screen.
constexpr int resizeDurationMs = 200;
// The smallest the content may become while the window is resizable (the results).
const QSize minimumResizableContent(560, 360);

QString lastPathComponent(const std::string& path)
{
    return kz::displayString(kz_lastPathComponent(path));
}

} // namespace

TQMainWindowController::TQMainWindowController(QObject* parent)
    : KZWindowController(parent), ledger_(std::make_unique<TQRunLedger>())
{
    connect(ledger_.get(), &TQRunLedger::totalsChanged, this, &TQMainWindowController::updateFinishedTotals);
}

TQMainWindowController::~TQMainWindowController()
{
    KZNotificationCenter::defaultCenter().removeObservers(this);
    if (resizeAnimation_) resizeAnimation_->stop();
    if (ui_ && ui()->dropView) ui()->dropView->setDelegate(nullptr);
    if (ui_ && ui()->fileImageView) ui()->fileImageView->setDelegate(nullptr);
    // A scan still running must not outlive its screen's window.
    if (fileScanViewController_ && fileScanViewController_->isScanning()) fileScanViewController_->cancel();
    // Screens released but not yet gone go now, before the window they still point into; then
    // the current ones (members), then the window (the base).
    released_.clear();
    finishedViewController_.reset();
    treemapViewController_.reset();
    fileScanViewController_.reset();
    // The ledger's delete sheet hangs from the window: it goes before the window does.
    ledger_.reset();
}

bool TQMainWindowController::isDeleting() const
{
    return ledger_ && ledger_->runningDeletions() > 0;
}

TQViewController* TQMainWindowController::currentViewController() const
{
    return currentViewController_;
}

bool TQMainWindowController::isFinishedScreenShown() const
{
    return finishedViewController_ && currentViewController_ == finishedViewController_.get();
}

bool TQMainWindowController::isScanningScreenShown() const
{
    return fileScanViewController_ && currentViewController_ == fileScanViewController_.get();
}

bool TQMainWindowController::isResultsScreenShown() const
{
    return treemapViewController_ && currentViewController_ == treemapViewController_.get();
}

// ---- Wake

void TQMainWindowController::awakeFromNib()
{
    KZWindowController::awakeFromNib();
    Ui::TQMainWindowController* u = ui();

    addNotificationObservers();
    currentStep_ = FolderStep;
    makeTouchBarViews();
    KZTouchBarController::sharedController().pushTouchBarView(touchBarSelectView_.get());

    u->contentView->setBackgroundColor(tq_linedBackgroundColor());
    u->bottomSeparator->setBackgroundColor(QColor(196, 199, 204));
    u->bottomButtonView->setBackgroundColor(QColor(232, 233, 236));
    u->finishedToolbarView->setBackgroundColor(QColor(232, 233, 236));

    makeToolbar();

    // Views that leave the content area wait here, hidden, until their owner releases them.
    offstage_ = new QWidget(window());
    offstage_->setObjectName(QStringLiteral("offstage"));
    offstage_->hide();

    u->dropView->setDelegate(this);
    u->fileImageView->setDelegate(u->dropView);
    connect(u->fileImageView, &QAbstractButton::clicked, u->dropView, &KZDropView::open);

    connect(u->nextButton, &QAbstractButton::clicked, this, &TQMainWindowController::goNext);
    connect(u->backButton, &QAbstractButton::clicked, this, &TQMainWindowController::goBack);
    connect(u->clearButton, &QAbstractButton::clicked, this, &TQMainWindowController::clearSelection);
    connect(u->startAgainButton, &QAbstractButton::clicked, this, &TQMainWindowController::startAgain);
    connect(u->quitButton, &QAbstractButton::clicked, this, &TQMainWindowController::quitApp);

    // The form's first state: step 0 without a folder.
    u->nextButton->setEnabled(false);
    u->backButton->hide();
    u->clearButton->setEnabled(false);
    u->clearButton->hide();
    u->statusLabel->hide();
    u->finishedToolbarView->hide();

    // The drop view starts inside the content area; the swap places it properly.
    u->dropView->setProperty("kzContentSize", u->dropView->size());
    u->contentLayout->removeWidget(u->dropView);
    u->dropView->setParent(offstage_);
    setResizable(false);
    setCurrentView(u->dropView);
}

void TQMainWindowController::makeToolbar()
{
    Ui::TQMainWindowController* u = ui();
    // The status panel sits in the middle of the window's own toolbar.
    lcdStatusViewController_ = controller<KZLCDStatusViewController>();
    auto* lcdStatusItem = new QWidget(u->toolbar);
    lcdStatusItem->setObjectName(QStringLiteral("lcdStatusItem"));
    auto* itemLayout = new QHBoxLayout(lcdStatusItem);
    itemLayout->setContentsMargins(0, 4, 0, 4);
    itemLayout->addStretch(1);
    itemLayout->addWidget(lcdStatusViewController_->view());
    itemLayout->addStretch(1);
    lcdStatusItem->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    u->toolbar->addWidget(lcdStatusItem);
    // A screen with a toolbar of its own shows it there instead, while it is on show.
    toolbarPlace_ = std::make_unique<TQToolbarPlace>(qobject_cast<QMainWindow*>(window()), u->toolbar);
}

void TQMainWindowController::windowDidLoad()
{
    KZWindowController::windowDidLoad();
    window()->setWindowTitle(windowTitle);
}

void TQMainWindowController::addNotificationObservers()
{
    auto& center = KZNotificationCenter::defaultCenter();
    center.addObserver(
        TQNotification_EnableNextButton, [this](const KZNotification&) { enableNextButton(); }, this);
    center.addObserver(
        TQNotifcation_DisableNextButton, [this](const KZNotification&) { disableNextButton(); }, this);
    center.addObserver(
        TQNotification_StartOver,
        [this](const KZNotification&) {
            // Already at the folder step with nothing on show: a late report of a scan that
            // was abandoned there; starting again would only throw away a new choice.
            if (currentStep_ == FolderStep && !currentViewController_) return;
            startAgain();
        },
        this);
    center.addObserver(
        TQNotifcation_ShowCancelButton, [this](const KZNotification&) { showCancelButton(); }, this);
    center.addObserver(
        TQNotifcation_HideCancelButton,
        [this](const KZNotification&) {
            if (isScanningScreenShown() || isResultsScreenShown()) hideCancelButton();
        },
        this);
    center.addObserver(
        TQNotification_Finish, [this](const KZNotification&) { showFinishedView(); }, this);
    center.addObserver(
        TQNotification_Rescan, [this](const KZNotification&) { rescan(); }, this);
    center.addObserver(
        TQNotification_GoNext,
        [this](const KZNotification&) {
            // Only the scanning screen on show may move the wizard on: a scan that ends after
            // the user left its screen must not skip a step.
            if (currentStep_ == ScanningStep && isScanningScreenShown()) goNext();
        },
        this);
}

void TQMainWindowController::makeTouchBarViews()
{
    auto makeView = [](const QString& name) {
        auto view = std::make_unique<QWidget>();
        view->setObjectName(name);
        new QHBoxLayout(view.get());
        return view;
    };
    auto addButton = [this](QWidget* view, const QString& title, void (TQMainWindowController::*action)()) {
        auto* button = new QPushButton(title, view);
        view->layout()->addWidget(button);
        connect(button, &QPushButton::clicked, this, action);
        return button;
    };
    auto addLabel = [](QWidget* view, const QString& text) {
        auto* label = new QLabel(text, view);
        view->layout()->addWidget(label);
        return label;
    };

    touchBarSelectView_ = makeView(QStringLiteral("touchBarSelectView"));
    addLabel(touchBarSelectView_.get(), QStringLiteral("Select a folder to scan"));

    touchBarNextView_ = makeView(QStringLiteral("touchBarNextView"));
    addLabel(touchBarNextView_.get(), QStringLiteral("Ready to scan"));
    touchBarSelectNextButton_ =
        addButton(touchBarNextView_.get(), QStringLiteral("Next"), &TQMainWindowController::goNext);
    touchBarSelectNextButton_->setEnabled(false);

    touchBarScanningView_ = makeView(QStringLiteral("touchBarScanningView"));
    touchBarProgressIndicator_ = new TWTouchBarProgressIndicator(touchBarScanningView_.get());
    touchBarScanningView_->layout()->addWidget(touchBarProgressIndicator_);
    addLabel(touchBarScanningView_.get(), QStringLiteral("Scanning"));
    addButton(touchBarScanningView_.get(), QStringLiteral("Cancel Scan"), &TQMainWindowController::clearSelection);

    touchBarFinishedScanningView_ = makeView(QStringLiteral("touchBarFinishedScanningView"));
    addLabel(touchBarFinishedScanningView_.get(), QStringLiteral("Finished scanning"));
    addButton(touchBarFinishedScanningView_.get(), QStringLiteral("Next"), &TQMainWindowController::goNext);

    touchBarResultsView_ = makeView(QStringLiteral("touchBarResultsView"));
    touchBarResultsNextButton_ =
        addButton(touchBarResultsView_.get(), QStringLiteral("Finish"), &TQMainWindowController::goNext);

    touchBarFinishedView_ = makeView(QStringLiteral("touchBarFinishedView"));
    touchBarFinishedLabel_ = addLabel(touchBarFinishedView_.get(), QString());
    addButton(touchBarFinishedView_.get(), QStringLiteral("Start Again"), &TQMainWindowController::startAgain);
}

// ---- Buttons

void TQMainWindowController::goNext()
{
    switch (currentStep_) {
    case FolderStep:
        if (ui()->dropView->filePaths().empty()) return;
        showScanningView();
        break;
    case ScanningStep:
        showTreemapView();
        break;
    case ResultsStep:
        showFinishedView();
        break;
    default:
        break;
    }
}

void TQMainWindowController::goBack()
{
    if (currentStep_ == ResultsStep) {
        if (isResultsScreenShown()) showScanningView();
    } else if (currentStep_ == ScanningStep) {
        startAgain();
    }
}

void TQMainWindowController::clearSelection()
{
    if (currentStep_ == ScanningStep) {
        if (fileScanViewController_ && fileScanViewController_->isScanning()) fileScanViewController_->cancel();
        return;
    }
    if (currentStep_ != FolderStep) return;
    ui()->dropView->clear();
    updateUI();
}

void TQMainWindowController::quitApp()
{
    KZApplicationServices::shared().terminate();
}

bool TQMainWindowController::windowShouldClose()
{
    KZApplicationServices::shared().terminate();
    return false;
}

void TQMainWindowController::enableNextButton()
{
    // Only a scanning or results screen on show may enable Next: not the folder step, not
    // the finished screen (where Next is gone), whatever a late report says.
    if (!isScanningScreenShown() && !isResultsScreenShown()) return;
    ui()->nextButton->show();
    ui()->nextButton->setEnabled(true);
}

void TQMainWindowController::disableNextButton()
{
    ui()->nextButton->setEnabled(false);
}

void TQMainWindowController::showCancelButton()
{
    ui()->backButton->hide();
    ui()->clearButton->setTitle(QStringLiteral("Cancel Scan"));
    ui()->clearButton->setEnabled(true);
    ui()->clearButton->show();
}

void TQMainWindowController::hideCancelButton()
{
    ui()->backButton->show();
    ui()->clearButton->hide();
    ui()->clearButton->setTitle(QStringLiteral("Clear Selection"));
}

// ---- Steps

void TQMainWindowController::showScanningView()
{
    const auto& paths = ui()->dropView->filePaths();
    if (!fileScanViewController_) {
        if (paths.empty()) return;
        fileScanViewController_ = TQFileScanViewController::controllerWithFilePath(paths.front());
        fileScanViewController_->setLcdViewController(lcdStatusViewController_.get());
        fileScanViewController_->setParentWindow(window());
    }
    currentStep_ = ScanningStep;
    setResizable(false);
    // A scan is about to start: what goes meanwhile is applied to the tree it hands over.
    if (fileScanViewController_->scanResult().empty() && !fileScanViewController_->isScanning()) ledger_->beginScan();
    setCurrentViewController(fileScanViewController_.get());

    const bool hasResult = !fileScanViewController_->scanResult().empty();
    auto& touchBar = KZTouchBarController::sharedController();
    if (hasResult) {
        touchBar.pushTouchBarView(touchBarFinishedScanningView_.get());
        touchBarProgressIndicator_->stopAnimation();
    } else {
        touchBar.pushTouchBarView(touchBarScanningView_.get());
        touchBarProgressIndicator_->startAnimation();
    }
    ui()->nextButton->setEnabled(hasResult);
    ui()->nextButton->setTitle(QStringLiteral("Next"));
    ui()->nextButton->show();
    ui()->clearButton->hide();
    if (!hasResult) showCancelButton();

    if (treemapViewController_) {
        restoreToolbar();
        resetWindowTitle();
        releaseResultsScreen();
    }
}

void TQMainWindowController::showTreemapView()
{
    touchBarProgressIndicator_->stopAnimation();
    const TQFileScanViewController* scan = fileScanViewController_.get();
    // Without a result there is nothing to show: stay on the scanning screen.
    if (!scan || scan->scanResult().empty()) {
        kz_beep();
        return;
    }
    KZTouchBarController::sharedController().pushTouchBarView(touchBarResultsView_.get());
    currentStep_ = ResultsStep;

    ui()->nextButton->setEnabled(true);
    ui()->nextButton->show();
    touchBarResultsNextButton_->setEnabled(true);
    ui()->nextButton->setTitle(QStringLiteral("Finish"));

    releaseResultsScreen();
    treemapViewController_ = TQTreemapViewController::controllerWithResults(scan->scanResult());
    treemapViewController_->setRunLedger(ledger_.get());
    treemapViewController_->setToolbarPlace(toolbarPlace_.get());
    treemapViewController_->setUnreadableFolders(scan->unreadableFolderCount(), scan->unreadableFolders());
    treemapViewController_->setParentWindow(window());
    treemapViewController_->setLcdViewController(lcdStatusViewController_.get());
    setResizable(true);
    setCurrentViewController(treemapViewController_.get());
}

void TQMainWindowController::showFinishedView()
{
    // Finishing belongs to the results screen on show (Finish, or the delete sheet it ran).
    if (!isResultsScreenShown()) return;
    if (showDeleteQueueWarningIfNeeded(false)) return;

    ui()->nextButton->hide();
    ui()->backButton->hide();
    resetWindowTitle();

    // The whole run's: what earlier results screens of the folder did (Back and Next, or a
    // rescan, make a new one) and what is still running, as far as it has come.
    const TQRunTotals totals = ledger_->totals();
    const double freed = totals.freed;
    releaseLater(finishedViewController_);
    finishedViewController_ =
        KZFinishedViewController::controllerWithTotalFreed(freed, static_cast<qint64>(totals.compressed));
    finishedViewController_->setRunTotals(totals);
    finishedViewController_->setParentWindow(window());

    setResizable(false);
    showRunStatus(totals);
    setCurrentViewController(finishedViewController_.get());
    restoreToolbar();
    ui()->finishedToolbarView->show();
    ui()->finishedToolbarView->raise();

    touchBarFinishedLabel_->setText(finishedTouchBarText(freed));
    KZTouchBarController::sharedController().pushTouchBarView(touchBarFinishedView_.get());
}

void TQMainWindowController::updateFinishedTotals()
{
    // Not while starting again: that run's screen is on its way out.
    if (currentStep_ != ResultsStep || !isFinishedScreenShown()) return;
    const TQRunTotals totals = ledger_->totals();
    finishedViewController_->setRunTotals(totals);
    touchBarFinishedLabel_->setText(finishedTouchBarText(totals.freed));
    showRunStatus(totals);
}

void TQMainWindowController::showRunStatus(const TQRunTotals& totals)
{
    // "Complete" only once nothing of the run runs any more.
    if (totals.isRunning()) {
        lcdStatusViewController_->showWorkingView(KZFinishedViewController::workingTitle(totals), totals.progress);
    } else {
        lcdStatusViewController_->showCongratsView();
    }
}

QString TQMainWindowController::finishedTouchBarText(double freed)
{
    if (freed > 0) {
        return QStringLiteral("Sizemere freed %1 from your computer!").arg(KZMemoryFormatter().stringFromBytes(freed));
    }
    return QStringLiteral("Tap the 'Start Again' button to scan another folder");
}

void TQMainWindowController::startAgain()
{
    // The delete sheet works through the queue that starting again would empty.
    if (TQEmptyTrashWindowController::isAnySheetRunning()) {
        kz_beep();
        return;
    }
    reset();
    KZTouchBarController::sharedController().setTouchBarViews({touchBarSelectView_.get()});

    // The screen on show leaves properly: its disappear hooks run (the results screen empties
    // the delete queue and stops watching), and nothing names it any more.
    QPointer<TQViewController> old = currentViewController_;
    if (old) old->kz_viewWillDisappear();
    setCurrentView(ui()->dropView);
    if (old) old->kz_viewDidDisappear();
    currentViewController_ = nullptr;

    resetPostTransition();
    TQDeleteQueue::sharedInstance().clearQueue();
}

void TQMainWindowController::reset()
{
    Ui::TQMainWindowController* u = ui();
    touchBarSelectNextButton_->setEnabled(false);
    touchBarProgressIndicator_->stopAnimation();

    currentStep_ = FolderStep;
    ledger_->beginRun();
    u->dropView->setAcceptingDrops(true);
    lcdStatusViewController_->showAvailableSpaceView();

    restoreToolbar();
    resetWindowTitle();
    u->finishedToolbarView->hide();
    setResizable(false);

    hideCancelButton();
    u->backButton->hide();
    u->nextButton->show();
    u->nextButton->setEnabled(false);
    u->nextButton->setTitle(QStringLiteral("Next"));
    u->clearButton->setEnabled(false);
    u->clearButton->hide();
    u->statusLabel->hide();
    resetOpenButton();
    u->dropView->clear();
}

void TQMainWindowController::resetPostTransition()
{
    // A scan still running is abandoned with its screen; its late reports find no screen on
    // show and change nothing.
    if (fileScanViewController_ && fileScanViewController_->isScanning()) fileScanViewController_->cancel();
    releaseLater(fileScanViewController_);
    releaseLater(finishedViewController_);
    releaseResultsScreen();
}

void TQMainWindowController::releaseResultsScreen()
{
    releaseLater(treemapViewController_);
}

void TQMainWindowController::releaseScreenLater(std::unique_ptr<TQViewController> screen)
{
    if (!screen) return;
    // It hears no wizard notification meanwhile.
    KZNotificationCenter::defaultCenter().removeObservers(screen.get());
    const TQViewController* raw = screen.get();
    released_.push_back(std::move(screen));
    // A token let go with deleteLater() goes on the same later turn, never inside the screen's
    // own notification or block, and takes the screen with it.
    auto* token = new QObject(this);
    connect(token, &QObject::destroyed, this,
            [this, raw] { std::erase_if(released_, [raw](const auto& held) { return held.get() == raw; }); });
    token->deleteLater();
}

void TQMainWindowController::resetOpenButton()
{
    ui()->fileImageView->setImage(KZImage::named(QStringLiteral("icon-add")));
    ui()->fileNameLabel->setText(QStringLiteral("Select a folder"));
}

void TQMainWindowController::updateUI()
{
    Ui::TQMainWindowController* u = ui();
    const auto& paths = u->dropView->filePaths();
    const std::string path = paths.empty() ? std::string() : paths.front();
    const bool chosen = !path.empty();

    KZTouchBarController::sharedController().pushTouchBarView(chosen ? touchBarNextView_.get()
                                                                     : touchBarSelectView_.get());
    u->nextButton->setEnabled(chosen);
    touchBarSelectNextButton_->setEnabled(chosen);
    u->clearButton->setEnabled(chosen);
    u->clearButton->setVisible(chosen);

    if (chosen) {
        u->fileImageView->setImage(KZImage::fromIcon(kz_iconForFile(path), QSizeF(u->fileImageView->size())));
        // The folder's icon has no hover twin: the pointer must not bring back the add image.
        u->fileImageView->setHighlightedImage(KZImage());
        QString name = kz_localizedFileName(path);
        if (name.isEmpty()) name = lastPathComponent(path);
        u->fileNameLabel->setText(name);
    } else {
        u->fileImageView->setImage(KZImage::named(QStringLiteral("icon-add")));
        u->fileNameLabel->setText(QStringLiteral("Select a Folder"));
    }
}

void TQMainWindowController::restoreToolbar()
{
    ui()->toolbar->show();
}

void TQMainWindowController::resetWindowTitle()
{
    QWidget* w = window();
    w->setWindowFilePath(QString());
    w->setWindowTitle(windowTitle);
}

void TQMainWindowController::rescan()
{
    // Only the results screen on show asks for a rescan.
    if (!isResultsScreenShown()) return;
    showScanningView();
    if (!fileScanViewController_) return;
    ledger_->beginScan();
    fileScanViewController_->clear();
    QPointer<TQFileScanViewController> screen = fileScanViewController_.get();
    KZRunOnMainThreadAfterDelay(
        [this, screen] {
            if (screen && screen == fileScanViewController_.get() && isScanningScreenShown()) screen->startScan();
        },
        0.2, screen.data());
}

// ---- Delete-queue question

bool TQMainWindowController::showDeleteQueueWarningIfNeeded(bool quitting)
{
    const auto count = static_cast<qlonglong>(TQDeleteQueue::sharedInstance().queue().size());
    if (count == 0) return false;
    // Only the results screen can run the delete sheet.
    if (!isResultsScreenShown()) return false;

    KZAlert alert;
    alert.messageText = QStringLiteral("Do you want to delete the files in the queue?");
    alert.buttons = {QStringLiteral("Delete"), QStringLiteral("Don't Delete")};
    alert.informativeText = QStringLiteral("You have %1 file%2 in the delete queue, would you like to delete them now?")
                                .arg(count)
                                .arg(count == 1 ? QString() : QStringLiteral("s"));
    // Items on network volumes can't go to the Trash: the user is told before choosing.
    const QString network = TQDeleteQueueViewController::networkItemsNote(TQDeleteQueue::sharedInstance().queue(),
                                                                          Preferences::sharedPreferences().useTrash());
    if (!network.isEmpty()) alert.informativeText += QLatin1Char(' ') + network;
    const KZAlertResult result = KZAlertService::shared().runModal(alert);
    if (result.response == KZAlertFirstButtonReturn) {
        KZNotificationCenter::defaultCenter().post(quitting ? TQNotification_EmptyTrashAndQuit
                                                            : TQNotification_EmptyTrashAndFinish);
        return true;
    }
    if (quitting && result.response == KZAlertSecondButtonReturn) TQDeleteQueue::sharedInstance().clearQueue();
    return false;
}

// ---- Screen swap

void TQMainWindowController::setCurrentViewController(TQViewController* controller)
{
    if (controller == currentViewController_) return;
    QPointer<TQViewController> old = currentViewController_;
    if (old) old->kz_viewWillDisappear();
    if (controller) controller->kz_viewWillAppear();
    setCurrentView(controller ? controller->view() : nullptr);
    if (controller) controller->kz_viewDidAppear();
    if (old) old->kz_viewDidDisappear();
    currentViewController_ = controller;
}

void TQMainWindowController::setCurrentView(QWidget* view)
{
    if (view == currentView_) return;
    Ui::TQMainWindowController* u = ui();
    QWidget* old = currentView_;
    if (old) {
        u->contentLayout->removeWidget(old);
        old->hide();
        old->setParent(offstage_);
    }
    QSize size;
    if (view) {
        // A screen keeps the size its form gave it the first time it is placed.
        QVariant remembered = view->property("kzContentSize");
        if (!remembered.isValid()) {
            QSize designed = view->size();
            if (designed.width() < 100 || designed.height() < 100) designed = view->sizeHint();
            view->setProperty("kzContentSize", designed);
            remembered = designed;
        }
        size = remembered.toSize();
    }
    setContentSize(size, old != nullptr);
    if (view) {
        view->setParent(u->contentView);
        u->contentLayout->addWidget(view);
        view->show();
    }
    currentView_ = view;
}

void TQMainWindowController::setContentSize(QSize size, bool animated)
{
    if (resizeAnimation_) resizeAnimation_->stop();
    QWidget* w = window();
    if (!animated || !w->isVisible() || !size.isValid()) {
        applyWindowSize(size);
        return;
    }
    auto* animation = new QVariantAnimation(this);
    resizeAnimation_ = animation;
    animation->setDuration(resizeDurationMs);
    animation->setStartValue(ui()->contentView->size());
    animation->setEndValue(size);
    animation->setEasingCurve(QEasingCurve::InOutQuad);
    connect(animation, &QVariantAnimation::valueChanged, this,
            [this](const QVariant& value) { applyWindowSize(value.toSize()); });
    animation->start(QAbstractAnimation::DeleteWhenStopped);
}

void TQMainWindowController::applyWindowSize(QSize size)
{
    if (!size.isValid()) size = QSize(0, 0);
    QWidget* content = ui()->contentView;
    QWidget* w = window();
    if (!resizable_) {
        // A fixed window follows its content: the layout keeps the window at its size hint.
        content->setFixedSize(size);
        return;
    }
    content->setMinimumSize(size.boundedTo(minimumResizableContent));
    content->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    if (w->layout()) w->layout()->activate();
    w->resize(w->size() + (size - content->size()));
}

void TQMainWindowController::setResizable(bool resizable)
{
    QWidget* w = window();
    QWidget* content = ui()->contentView;
    if (resizable == resizable_ && w->layout() &&
        w->layout()->sizeConstraint() == (resizable ? QLayout::SetDefaultConstraint : QLayout::SetFixedSize))
        return;
    resizable_ = resizable;
    const QSize current = content->size();
    if (resizable) {
        w->layout()->setSizeConstraint(QLayout::SetDefaultConstraint);
        content->setMinimumSize(current.boundedTo(minimumResizableContent));
        content->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
        w->setMinimumSize(0, 0);
        w->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    } else {
        content->setFixedSize(current);
        w->layout()->setSizeConstraint(QLayout::SetFixedSize);
    }
}

// ---- Drop view

void TQMainWindowController::dropViewDidEnter(KZDropView*)
{
    ui()->dropZoneView->startAnimation();
}

void TQMainWindowController::dropViewDidExit(KZDropView*)
{
    ui()->dropZoneView->stopAnimation();
}

void TQMainWindowController::dropViewFileWasDropped(KZDropView*)
{
    ui()->dropZoneView->stopAnimation();
    updateUI();
}

bool TQMainWindowController::dropViewShouldAcceptFile(KZDropView*, const std::string& path)
{
    return shouldAcceptFolderAtPath(path);
}

bool TQMainWindowController::shouldAcceptFolderAtPath(const std::string& path)
{
    if (path.empty()) return false;
    // The item itself, never what a link points to: the scanner never follows links either.
    const std::string item = kz::pathWithoutTrailingSlash(path);
    struct stat st {};
    if (::lstat(item.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return false;
    if (kz_isPackageAtPath(item)) return false;
    KZIgnoreList ignoreList = KZIgnoreList::ignoreList();
    const Preferences& preferences = Preferences::sharedPreferences();
    ignoreList.setIgnoredPaths(preferences.ignoredPaths());
    ignoreList.setIgnoredExtensions(preferences.ignoreList());
    return !ignoreList.filePathIsIgnored(item == "/" ? item : item + "/");
}
