// The status panel: its six states, the push transition on the manual clock (and a swap in
// the middle of one), the scanning dots and the progress bar.

#include "app/KZLCDLabel.h"
#include "app/KZLCDStatusViewController.h"
#include "kit/KZController.h"
#include "kit/KZProgressIndicator.h"
#include "tests/app/AppTestSupport.h"

#include <QPointer>

#include <cmath>

#include <gtest/gtest.h>

namespace {

struct PanelFixture {
    KZManualAnimationClock clock;
    std::unique_ptr<KZLCDStatusViewController> panel = controller<KZLCDStatusViewController>();

    // The states shown (visible inside the panel) at the moment.
    QList<QWidget*> shownStates()
    {
        QList<QWidget*> shown;
        for (QWidget* v : {panel->availableSpaceView(), panel->scanningView(), panel->finishedView(),
                           panel->noDuplicatesView(), panel->congratsView(), panel->workingView()})
            if (v->isVisibleTo(panel->view())) shown << v;
        return shown;
    }
    int height() { return panel->animationContainer()->height(); }
};

} // namespace

TEST(StatusPanel, WakesIdleWithoutATransitionAndNoProgressBar)
{
    PanelFixture f;
    QWidget* view = f.panel->view();
    EXPECT_EQ(view->size(), QSize(300, 40));
    EXPECT_EQ(f.panel->currentView(), f.panel->availableSpaceView());
    EXPECT_FALSE(f.panel->isTransitioning());
    EXPECT_EQ(f.shownStates(), QList<QWidget*>{f.panel->availableSpaceView()});
    EXPECT_EQ(f.panel->availableSpaceView()->geometry(), QRect(QPoint(0, 0), f.panel->animationContainer()->size()));
    EXPECT_TRUE(view->rect().contains(f.panel->animationContainer()->geometry()));
    EXPECT_EQ(f.panel->progressBar()->progress(), 0.0);
    EXPECT_FALSE(f.panel->progressBar()->isVisibleTo(view));
    EXPECT_EQ(f.clock.activeTimerCount(), 0);
}

TEST(StatusPanel, StatesArePushedInFromTheBottomInPointThreeSeconds)
{
    PanelFixture f;
    const int h = f.height();
    ASSERT_GT(h, 0);
    f.panel->showFinishedView();
    EXPECT_EQ(f.panel->currentView(), f.panel->finishedView());
    EXPECT_TRUE(f.panel->isTransitioning());
    EXPECT_EQ(f.panel->outgoingView(), f.panel->availableSpaceView());
    f.clock.advance(0.15);
    EXPECT_EQ(f.shownStates().size(), 2);
    EXPECT_NEAR(f.panel->finishedView()->y(), h / 2.0, 1.0);
    EXPECT_NEAR(f.panel->availableSpaceView()->y(), -h / 2.0, 1.0);
    f.clock.advance(0.15);
    EXPECT_FALSE(f.panel->isTransitioning());
    EXPECT_EQ(f.shownStates(), QList<QWidget*>{f.panel->finishedView()});
    EXPECT_EQ(f.panel->finishedView()->pos(), QPoint(0, 0));
    EXPECT_EQ(f.clock.activeTimerCount(), 0);

    // The state on show again: nothing happens. Without animation: at once.
    f.panel->showFinishedView();
    EXPECT_FALSE(f.panel->isTransitioning());
    f.panel->setCurrentView(f.panel->congratsView(), false);
    EXPECT_FALSE(f.panel->isTransitioning());
    EXPECT_EQ(f.shownStates(), QList<QWidget*>{f.panel->congratsView()});
}

TEST(StatusPanel, ASwapDuringATransitionLandsTheRunningOneFirst)
{
    PanelFixture f;
    const int h = f.height();
    f.panel->showFinishedView();
    f.clock.advance(0.1);
    f.panel->showNoDuplicatesView();
    // The finished state has landed and is now the one pushed out; idle is gone.
    EXPECT_EQ(f.panel->outgoingView(), f.panel->finishedView());
    EXPECT_FALSE(f.panel->availableSpaceView()->isVisibleTo(f.panel->view()));
    EXPECT_EQ(f.panel->finishedView()->pos(), QPoint(0, 0));
    EXPECT_EQ(f.panel->noDuplicatesView()->y(), h);
    f.clock.advance(0.3);
    EXPECT_EQ(f.shownStates(), QList<QWidget*>{f.panel->noDuplicatesView()});

    // Back to the state being pushed out, in the middle of its exit.
    f.panel->showCongratsView();
    f.clock.advance(0.1);
    f.panel->showNoDuplicatesView();
    EXPECT_EQ(f.panel->outgoingView(), f.panel->congratsView());
    f.clock.advance(0.3);
    EXPECT_EQ(f.shownStates(), QList<QWidget*>{f.panel->noDuplicatesView()});
    EXPECT_EQ(f.panel->noDuplicatesView()->pos(), QPoint(0, 0));
    EXPECT_EQ(f.clock.activeTimerCount(), 0);
}

TEST(StatusPanel, DotsCycleEveryHalfSecondAndStopWithTheScanningState)
{
    PanelFixture f;
    f.panel->showScanningView();
    EXPECT_EQ(f.panel->scanningTitleLabel()->text(), QStringLiteral("Scanning"));
    EXPECT_TRUE(f.panel->isScanningTimerRunning());
    EXPECT_TRUE(f.panel->dotsLabel()->isVisibleTo(f.panel->scanningView()));
    QStringList seen{f.panel->dotsLabel()->text()};
    for (int i = 0; i < 5; ++i) {
        f.clock.advance(0.5);
        seen << f.panel->dotsLabel()->text();
    }
    EXPECT_EQ(seen, (QStringList{"", ".", "..", "...", "", "."}));

    // Shown again while on show: the dots restart, no transition.
    f.panel->scanningTitleLabel()->setText(QStringLiteral("/home/someone/Pictures/"));
    f.panel->showScanningView();
    EXPECT_FALSE(f.panel->isTransitioning());
    EXPECT_EQ(f.panel->dotsLabel()->text(), QString());
    EXPECT_EQ(f.panel->scanningTitleLabel()->text(), QStringLiteral("Scanning"));
    EXPECT_TRUE(f.panel->isScanningTimerRunning());

    // Another state replaces it: the dots stop and hide at once.
    f.panel->showFinishedView();
    EXPECT_FALSE(f.panel->isScanningTimerRunning());
    EXPECT_FALSE(f.panel->dotsLabel()->isVisibleTo(f.panel->scanningView()));
    f.clock.advance(1.0);
    EXPECT_EQ(f.clock.activeTimerCount(), 0);

    // A toggle with the dots running stops them.
    f.panel->toggleScanningTimer();
    EXPECT_TRUE(f.panel->isScanningTimerRunning());
    f.panel->toggleScanningTimer();
    EXPECT_FALSE(f.panel->isScanningTimerRunning());
}

TEST(StatusPanel, NoResultsTellsWhyWhenItKnows)
{
    PanelFixture f;
    const QString usual = f.panel->noDuplicatesDetailLabel()->text();
    EXPECT_FALSE(usual.isEmpty());
    f.panel->showNoDuplicatesView(QStringLiteral("The folder could not be opened."));
    EXPECT_EQ(f.panel->noDuplicatesDetailLabel()->text(), QStringLiteral("The folder could not be opened."));
    f.panel->showNoDuplicatesView();
    EXPECT_EQ(f.panel->noDuplicatesDetailLabel()->text(), usual);
}

TEST(StatusPanel, TheProgressBarShowsOnlyProgress)
{
    PanelFixture f;
    KZProgressIndicator* bar = f.panel->progressBar();
    f.panel->setProgress(0.5);
    EXPECT_EQ(bar->progress(), 0.5);
    EXPECT_FALSE(bar->isAnimating()) << "set without animation";
    EXPECT_TRUE(bar->isVisibleTo(f.panel->scanningView()));
    f.panel->setProgress(0.0);
    EXPECT_EQ(bar->progress(), 0.0);
    EXPECT_FALSE(bar->isVisibleTo(f.panel->scanningView()));
}

TEST(StatusPanel, GoingAwayMidTransitionLeavesNoTimerBehind)
{
    PanelFixture f;
    f.panel->showScanningView();
    f.clock.advance(0.1);
    EXPECT_GT(f.clock.activeTimerCount(), 0);
    QPointer<QWidget> view = f.panel->view();
    f.panel.reset();
    EXPECT_TRUE(view.isNull());
    EXPECT_EQ(f.clock.activeTimerCount(), 0);
    f.clock.advance(1.0);
}

TEST(StatusPanel, WorkStillRunningShowsItsTitleAndBarUntilCongratulations)
{
    PanelFixture f;
    f.panel->showWorkingView(QStringLiteral("Still deleting"), 0.25);
    f.clock.advance(1);
    EXPECT_EQ(f.panel->currentView(), f.panel->workingView());
    EXPECT_EQ(f.shownStates(), QList<QWidget*>{f.panel->workingView()});
    EXPECT_EQ(f.panel->workingTitleLabel()->text(), QStringLiteral("Still deleting"));
    EXPECT_EQ(f.panel->workingView()->accessibleName(), QStringLiteral("Still deleting"));
    EXPECT_EQ(f.panel->workingProgressBar()->progress(), 0.25);
    // Shown again: no new transition, the title and the bar follow.
    f.panel->showWorkingView(QStringLiteral("Still deleting and compressing"), 0.5);
    EXPECT_FALSE(f.panel->isTransitioning());
    EXPECT_EQ(f.panel->workingTitleLabel()->text(), QStringLiteral("Still deleting and compressing"));
    EXPECT_EQ(f.panel->workingProgressBar()->progress(), 0.5);
    f.panel->showWorkingView(QStringLiteral("Still deleting"), std::nan(""));
    EXPECT_EQ(f.panel->workingProgressBar()->progress(), 0.0);
    f.panel->showCongratsView();
    f.clock.advance(1);
    EXPECT_EQ(f.shownStates(), QList<QWidget*>{f.panel->congratsView()});
}
