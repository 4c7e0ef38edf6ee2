#include "platform/KZNotificationCenter.h"
#include "platform/widgets/KZAppearance.h"
#include "platform/widgets/KZCHappinessManager.h"
#include "platform/widgets/KZCWelcomeNotifications.h"
#include "platform/widgets/KZCWindow.h"
#include "platform/widgets/KZCore.h"
#include "tests/app/AppTestSupport.h"
#include "tests/support/TestSupport.h"

#include <QDir>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

namespace {

class OstrelTest : public ::testing::Test {
protected:
    void SetUp() override { KZCore::sharedInstance().resetForTesting(); }
    void TearDown() override
    {
        KZCore::sharedInstance().resetForTesting();
        KZCore::setWelcomeWindowAllowed(std::nullopt);
        drain();
    }
    static void drain() { QCoreApplication::sendPostedEvents(); }
    static KZCConfig config()
    {
        KZCConfig c;
        c.setAppStoreID(QStringLiteral("1234567890"));
        c.setShowsRunAtLoginButton(false);
        return c;
    }

    kztest::ScreenTestEnvironment env;
};

} // namespace

TEST_F(OstrelTest, TestsNeverSeeTheWelcomeWindow)
{
    EXPECT_FALSE(KZCore::welcomeWindowAllowed());
    KZCore& core = KZCore::sharedInstance();
    core.applicationDidLaunchWithConfig(config());
    EXPECT_EQ(core.welcomeWindow(), nullptr);
    EXPECT_TRUE(core.canShowMainWindow());
    EXPECT_EQ(core.config().appStoreID(), QStringLiteral("1234567890"));
    EXPECT_FALSE(core.config().showsRunAtLoginButton());
}

TEST_F(OstrelTest, WelcomeWindowOnTheFirstRunHoldsTheMainWindowBackUntilItCloses)
{
    KZCore::setWelcomeWindowAllowed(true);
    KZCore& core = KZCore::sharedInstance();
    QObject observer;
    QStringList heard;
    for (const QString& name :
         {KZCWelcomeNotifications.welcomeWindowDidOpen, KZCWelcomeNotifications.welcomeWindowDidClose})
        KZNotificationCenter::defaultCenter().addObserver(
            name,
            [&heard, &core](const KZNotification& n) {
                heard << n.name + (core.canShowMainWindow() ? QStringLiteral(" yes") : QStringLiteral(" no"));
            },
            &observer);

    core.applicationDidLaunchWithConfig(config());
    ASSERT_NE(core.welcomeWindow(), nullptr);
    EXPECT_TRUE(core.welcomeWindow()->isVisible());
    EXPECT_FALSE(core.canShowMainWindow());
    EXPECT_TRUE(heard.isEmpty()); // announced on a later turn, after the launch has set its observers
    drain();
    EXPECT_EQ(heard, QStringList{KZCWelcomeNotifications.welcomeWindowDidOpen + " no"});

    // Calling again does not open a second one.
    QPointer<KZCWindow> welcome = core.welcomeWindow();
    core.applicationDidLaunchWithConfig(config());
    EXPECT_EQ(core.welcomeWindow(), welcome.data());

    QTest::mouseClick(welcome->defaultButton(), Qt::LeftButton); // "Get Started"
    EXPECT_TRUE(core.canShowMainWindow());
    drain();
    EXPECT_EQ(heard, (QStringList{KZCWelcomeNotifications.welcomeWindowDidOpen + " no",
                                  KZCWelcomeNotifications.welcomeWindowDidClose + " yes"}));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(welcome.isNull());

    // The next launch is not a first run.
    core.resetForTesting();
    core.applicationDidLaunchWithConfig(config());
    EXPECT_EQ(core.welcomeWindow(), nullptr);
    EXPECT_TRUE(core.canShowMainWindow());
}

TEST_F(OstrelTest, WindowsAndRatingOpenWebPagesOnly)
{
    KZCore& core = KZCore::sharedInstance();
    core.rateApp();
    ASSERT_EQ(env.workspace.urls.size(), 1u);
    EXPECT_EQ(env.workspace.urls[0], KZCore::ratingPageURL());

    core.showWindow();
    QPointer<KZCWindow> news = core.mailingListWindow();
    ASSERT_NE(news, nullptr);
    EXPECT_TRUE(news->isVisible());
    EXPECT_TRUE(core.canShowMainWindow()); // only the welcome window holds the main window back
    core.showWindow();
    EXPECT_EQ(core.mailingListWindow(), news.data());
    core.showAnyVisibleWindows();
    QTest::mouseClick(news->defaultButton(), Qt::LeftButton);
    ASSERT_EQ(env.workspace.urls.size(), 2u);
    EXPECT_EQ(env.workspace.urls[1], KZCore::mailingListURL());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(news.isNull());
    core.showAnyVisibleWindows(); // nothing left to bring forward
}

TEST_F(OstrelTest, RatingPromptAsksUntilAnswered)
{
    KZCHappinessManager& happiness = KZCHappinessManager::sharedInstance();
    env.alerts.service.answerNext(KZModalResponseCancel); // closed without a choice
    happiness.start();
    ASSERT_EQ(env.alerts.service.shown().size(), 1u);
    const KZAlert& prompt = env.alerts.service.shown()[0].alert;
    EXPECT_EQ(prompt.messageText, KZCHappinessManager::PromptMessage);
    EXPECT_EQ(prompt.buttons, (QStringList{KZCHappinessManager::RateButton, KZCHappinessManager::DeclineButton}));
    EXPECT_FALSE(happiness.hasAnswered());
    EXPECT_TRUE(env.workspace.urls.empty());

    happiness.start(); // "Rate Sizemere"
    ASSERT_EQ(env.alerts.service.shown().size(), 2u);
    EXPECT_TRUE(happiness.hasAnswered());
    ASSERT_EQ(env.workspace.urls.size(), 1u);
    EXPECT_EQ(env.workspace.urls[0], KZCore::ratingPageURL());

    happiness.start();
    EXPECT_EQ(env.alerts.service.shown().size(), 2u);
}

TEST_F(OstrelTest, DecliningTheRatingPromptEndsIt)
{
    KZCHappinessManager& happiness = KZCHappinessManager::sharedInstance();
    env.alerts.service.answerNext(KZAlertSecondButtonReturn);
    happiness.start();
    EXPECT_TRUE(happiness.hasAnswered());
    EXPECT_TRUE(env.workspace.urls.empty());
    happiness.start();
    EXPECT_EQ(env.alerts.service.shown().size(), 1u);
}

TEST_F(OstrelTest, Screenshots)
{
    KZAppearance::install();
    const QString folder = kztest::outputFolder() + QStringLiteral("/app");
    QDir().mkpath(folder);
    for (KZCWindow* window : {KZCWindow::welcomeWindow(), KZCWindow::mailingListWindow()}) {
        window->show();
        QApplication::processEvents();
        EXPECT_TRUE(window->grab().toImage().save(
            folder + QStringLiteral("/ostrel-") +
            (window->title().startsWith(QStringLiteral("Welcome")) ? "welcome" : "mailing-list") +
            QStringLiteral(".png")));
        delete window;
    }
}
