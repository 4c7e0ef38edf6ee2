#pragma once
// The status panel in the main window's toolbar: one state view at a time (idle, scanning
// with the current path and running dots, finished, no results, work still running,
// congratulations), swapped
// with a push-from-bottom transition of 0.3 s on the program's clock. Owned by the main
// window for the life of the window; the scanning screen drives the scanning, finished and
// no-results states. Main thread only.
//
// Every operation loads the view first, so the panel can be driven before it is placed.

#include "kit/KZViewController.h"
#include "model/KZTimer.h"
#include "platform/KZAnimationClock.h"

#include <QPointer>

#include <memory>

class KZLCDLabel;
class KZProgressIndicator;
class QLabel;

KZ_INTERFACE_CLASS(KZLCDStatusViewController)

class KZLCDStatusViewController : public KZViewController {
    Q_OBJECT
    KZ_INTERFACE_FILE(KZLCDStatusViewController)
public:
    static constexpr double transitionDuration = 0.3;
    static constexpr double dotsInterval = 0.5;

    explicit KZLCDStatusViewController(QObject* parent = nullptr);
    ~KZLCDStatusViewController() override;

    void showAvailableSpaceView();
    // Restarts the dots; the title reads "Scanning" until the scanning screen writes a path.
    void showScanningView();
    void showFinishedView();
    void showNoDuplicatesView();
    // The no-results state with a line saying why (a scan that failed); empty: the usual line.
    void showNoDuplicatesView(const QString& reason);
    void showCongratsView();
    // Work of the run still going on: its title ("Still deleting") and how far it has come
    // (0 to 1). Shown again, it only updates the title and the bar.
    void showWorkingView(const QString& title, double progress);
    // A fraction of 0 to 1, shown under the scanning title (the bar hides at 0).
    void setProgress(double progress);

    // The state swap: a view already on show changes nothing; a swap while a transition runs
    // finishes that transition first.
    void setCurrentView(QWidget* view);
    void setCurrentView(QWidget* view, bool animated);
    QWidget* currentView() const { return currentView_; }
    bool isTransitioning() const { return transition_.timer != nullptr; }
    // The view being pushed out while a transition runs.
    QWidget* outgoingView() const { return transition_.from; }

    // Dots: started (or, when running, stopped) by toggle; stopped and hidden by stop.
    void toggleScanningTimer();
    void stopScanningTimer();
    bool isScanningTimerRunning() const { return scanningTimer_ != nullptr; }

    // Outlets.
    QWidget* availableSpaceView();
    QWidget* scanningView();
    QWidget* finishedView();
    QWidget* noDuplicatesView();
    QWidget* congratsView();
    QWidget* workingView();
    KZLCDLabel* workingTitleLabel();
    KZProgressIndicator* workingProgressBar();
    KZLCDLabel* scanningTitleLabel();
    KZLCDLabel* dotsLabel();
    KZLCDLabel* noDuplicatesDetailLabel();
    KZProgressIndicator* progressBar();
    QWidget* animationContainer()
    {
        ensureLoaded();
        return animationContainer_;
    }

protected:
    void awakeFromNib() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ensureLoaded() { view(); }
    void transitionStep();
    void finishTransition();
    void layoutStateViews();

    QPointer<QWidget> currentView_;
    QWidget* animationContainer_ = nullptr;
    struct Transition {
        QPointer<QWidget> from;
        QPointer<QWidget> to;
        double start = 0;
        std::unique_ptr<KZAnimationClock::Timer> timer;
    } transition_;
    std::unique_ptr<KZTimer> scanningTimer_;
    QString defaultNoResultsText_;
};
