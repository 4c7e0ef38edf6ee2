#include "app/KZLCDStatusViewController.h"
#include "app/TQNotifications.h"
#include "app/TQViewController.h"
#include "kit/KZController.h"
#include "platform/KZNotificationCenter.h"
#include "tests/app/AppTestSupport.h"
#include "tests/app/ScanTestSupport.h"

#include <QMainWindow>
#include <gtest/gtest.h>

TEST(ScreenBase, WindowReferencesAreNotOwnedAndClearWhenTheyGo)
{
    auto screen = controller<TQViewController>();
    auto panel = controller<KZLCDStatusViewController>();
    auto window = std::make_unique<QMainWindow>();
    screen->setLcdViewController(panel.get());
    screen->setParentWindow(window.get());
    EXPECT_EQ(screen->lcdViewController(), panel.get());
    EXPECT_EQ(screen->parentWindow(), window.get());
    panel.reset();
    window.reset();
    EXPECT_EQ(screen->lcdViewController(), nullptr);
    EXPECT_EQ(screen->parentWindow(), nullptr);
}

TEST(ScreenBase, WizardNamesAreElevenAndDistinct)
{
    // The list the wizard tests record by: every name, each once.
    const QStringList names = kztest::WizardRecorder::allNames();
    EXPECT_EQ(QSet<QString>(names.begin(), names.end()).size(), 11);
    EXPECT_TRUE(TQNotifcation_HideCancelButton.startsWith(QStringLiteral("TQNotifcation_")));
    EXPECT_TRUE(TQNotification_GoNext.startsWith(QStringLiteral("TQNotification_")));
}

TEST(ScreenBase, ScopedSettingsStartFromTheDefaultsAndLeaveNothingBehind)
{
    {
        kztest::ScopedSettings settings;
        EXPECT_TRUE(settings.preferences().useTrash());
        settings.preferences().setUseTrash(false);
        EXPECT_FALSE(settings.preferences().useTrash());
    }
    kztest::ScopedSettings again;
    EXPECT_TRUE(again.preferences().useTrash());
}
