#include "app/KZLCDStatusViewController.h"

#include "ui_KZLCDStatusViewController.h"

#include "app/KZLCDLabel.h"
#include "kit/KZProgressIndicator.h"

#include <QEvent>
#include <QFontMetrics>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

KZ_INTERFACE_FILE_IMPL(KZLCDStatusViewController)

namespace {
// Steps of the push transition: about sixty a second.
constexpr double kFrameInterval = 1.0 / 60.0;
// The face of the display lies this far inside the panel's rim; the states slide under it.
constexpr int kFaceInset = 2;
} // namespace

KZLCDStatusViewController::KZLCDStatusViewController(QObject* parent) : KZViewController(parent) {}

KZLCDStatusViewController::~KZLCDStatusViewController() = default;

void KZLCDStatusViewController::awakeFromNib()
{
    KZViewController::awakeFromNib();
    QWidget* panel = view();
    defaultNoResultsText_ = ui()->noDuplicatesDetailLabel->text();

    // The container holds the state on show (two of them during a transition) and clips
    // what slides past its edges.
    animationContainer_ = new QWidget(panel);
    animationContainer_->setObjectName(QStringLiteral("animationContainer"));
    auto* layout = new QVBoxLayout(panel);
    layout->setContentsMargins(kFaceInset, kFaceInset, kFaceInset, kFaceInset);
    layout->addWidget(animationContainer_);
    for (QWidget* state : {ui()->availableSpaceView, ui()->scanningView, ui()->finishedView, ui()->noDuplicatesView,
                           ui()->congratsView, ui()->workingView}) {
        state->setParent(animationContainer_);
        state->hide();
    }
    animationContainer_->installEventFilter(this);
    panel->layout()->activate();
    // The dots keep one width while they cycle, so a long title doesn't re-elide on each tick.
    ui()->dotsLabel->setFixedWidth(QFontMetrics(ui()->dotsLabel->font()).horizontalAdvance(QStringLiteral("...")) + 2);
    ui()->dotsLabel->hide();

    // The first state shows without a transition: nothing was on show.
    showAvailableSpaceView();
    setProgress(0.0);
}

QWidget* KZLCDStatusViewController::availableSpaceView()
{
    ensureLoaded();
    return ui()->availableSpaceView;
}

QWidget* KZLCDStatusViewController::scanningView()
{
    ensureLoaded();
    return ui()->scanningView;
}

QWidget* KZLCDStatusViewController::finishedView()
{
    ensureLoaded();
    return ui()->finishedView;
}

QWidget* KZLCDStatusViewController::noDuplicatesView()
{
    ensureLoaded();
    return ui()->noDuplicatesView;
}

QWidget* KZLCDStatusViewController::congratsView()
{
    ensureLoaded();
    return ui()->congratsView;
}

QWidget* KZLCDStatusViewController::workingView()
{
    ensureLoaded();
    return ui()->workingView;
}

KZLCDLabel* KZLCDStatusViewController::workingTitleLabel()
{
    ensureLoaded();
    return ui()->workingTitleLabel;
}

KZProgressIndicator* KZLCDStatusViewController::workingProgressBar()
{
    ensureLoaded();
    return ui()->workingProgressBar;
}

KZLCDLabel* KZLCDStatusViewController::scanningTitleLabel()
{
    ensureLoaded();
    return ui()->scanningTitleLabel;
}

KZLCDLabel* KZLCDStatusViewController::dotsLabel()
{
    ensureLoaded();
    return ui()->dotsLabel;
}

KZLCDLabel* KZLCDStatusViewController::noDuplicatesDetailLabel()
{
    ensureLoaded();
    return ui()->noDuplicatesDetailLabel;
}

KZProgressIndicator* KZLCDStatusViewController::progressBar()
{
    ensureLoaded();
    return ui()->progressBar;
}

void KZLCDStatusViewController::showAvailableSpaceView()
{
    setCurrentView(availableSpaceView());
}

void KZLCDStatusViewController::showScanningView()
{
    stopScanningTimer();
    scanningTitleLabel()->setText(QStringLiteral("Scanning"));
    setCurrentView(scanningView());
    toggleScanningTimer();
}

void KZLCDStatusViewController::showFinishedView()
{
    setCurrentView(finishedView());
}

void KZLCDStatusViewController::showNoDuplicatesView()
{
    showNoDuplicatesView(QString());
}

void KZLCDStatusViewController::showNoDuplicatesView(const QString& reason)
{
    const QString text = reason.isEmpty() ? defaultNoResultsText_ : reason;
    noDuplicatesDetailLabel()->setText(text);
    noDuplicatesDetailLabel()->setToolTip(reason);
    // A screen reader reads the whole reason, however little of it the panel shows.
    noDuplicatesDetailLabel()->setAccessibleName(text);
    noDuplicatesView()->setAccessibleName(QStringLiteral("No Results"));
    noDuplicatesView()->setAccessibleDescription(text);
    setCurrentView(noDuplicatesView());
}

void KZLCDStatusViewController::showCongratsView()
{
    setCurrentView(congratsView());
}

void KZLCDStatusViewController::showWorkingView(const QString& title, double progress)
{
    workingTitleLabel()->setText(title);
    workingView()->setAccessibleName(title);
    KZProgressIndicator* bar = workingProgressBar();
    progress = std::isfinite(progress) ? std::clamp(progress, 0.0, 1.0) : 0.0;
    if (progress != bar->progress()) bar->setProgress(progress, bar->progress() >= 0);
    setCurrentView(workingView());
}

void KZLCDStatusViewController::setProgress(double progress)
{
    KZProgressIndicator* bar = progressBar();
    if (progress != bar->progress()) bar->setProgress(progress, false);
    // An empty track says nothing: the bar shows only once there is progress to show.
    bar->setVisible(bar->progress() > 0);
}

void KZLCDStatusViewController::setCurrentView(QWidget* view)
{
    setCurrentView(view, true);
}

void KZLCDStatusViewController::setCurrentView(QWidget* view, bool animated)
{
    ensureLoaded();
    if (!view || view == currentView_) return;
    const QSize size = animationContainer_->size();
    view->setGeometry(0, 0, size.width(), size.height());

    QWidget* old = currentView_;
    if (old) {
        // A swap during a transition lands the running one first.
        if (isTransitioning()) finishTransition();
        if (animated) {
            transition_.from = old;
            transition_.to = view;
            transition_.start = KZAnimationClock::shared().now();
            view->move(0, size.height());
            view->show();
            view->raise();
            transition_.timer = KZAnimationClock::shared().schedule(kFrameInterval, true, [this] { transitionStep(); });
        } else {
            old->hide();
            view->move(0, 0);
            view->show();
        }
    } else {
        view->move(0, 0);
        view->show();
    }
    if (old == ui()->scanningView) stopScanningTimer();
    currentView_ = view;
}

void KZLCDStatusViewController::transitionStep()
{
    const double t = std::clamp((KZAnimationClock::shared().now() - transition_.start) / transitionDuration, 0.0, 1.0);
    if (t >= 1.0 - 1e-9) {
        finishTransition();
        return;
    }
    // The incoming state rises from the bottom edge and pushes the outgoing one out at the top.
    const int h = animationContainer_->height();
    const int y = int(std::lround(h * (1.0 - t)));
    if (transition_.to) transition_.to->move(0, y);
    if (transition_.from) transition_.from->move(0, y - h);
}

void KZLCDStatusViewController::finishTransition()
{
    // The handle may be the one whose tick called us: the clocks allow dropping it there.
    transition_.timer.reset();
    if (transition_.from) {
        transition_.from->hide();
        transition_.from->move(0, 0);
    }
    if (transition_.to) transition_.to->move(0, 0);
    transition_.from = nullptr;
    transition_.to = nullptr;
}

void KZLCDStatusViewController::layoutStateViews()
{
    const QSize size = animationContainer_->size();
    for (QObject* child : animationContainer_->children()) {
        auto* state = qobject_cast<QWidget*>(child);
        if (!state) continue;
        state->resize(size);
        if (!isTransitioning()) state->move(0, 0);
    }
}

bool KZLCDStatusViewController::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == animationContainer_ && event->type() == QEvent::Resize) layoutStateViews();
    return KZViewController::eventFilter(watched, event);
}

void KZLCDStatusViewController::toggleScanningTimer()
{
    if (scanningTimer_) {
        stopScanningTimer();
        return;
    }
    KZLCDLabel* dots = dotsLabel();
    dots->setText(QString());
    dots->show();
    scanningTimer_ =
        KZTimer::timerWithInterval(dotsInterval, true, QVariant(), [dots = QPointer<KZLCDLabel>(dots)](KZTimer&) {
            if (!dots) return;
            const QString text = dots->text();
            dots->setText(text == QStringLiteral("...") ? QString() : text + QLatin1Char('.'));
        });
}

void KZLCDStatusViewController::stopScanningTimer()
{
    if (!scanningTimer_) return;
    dotsLabel()->hide();
    scanningTimer_->invalidate();
    scanningTimer_.reset();
}
