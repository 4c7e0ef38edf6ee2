#pragma once
// Helpers for the screen tests: fresh settings for one test, an empty shared delete queue,
// and the fakes every screen test wants (alerts, clock, notifier, application services,
// workspace).

#include "model/Preferences.h"
#include "model/TQDeleteQueue.h"
#include "platform/KZAnimationClock.h"
#include "platform/KZNotifier.h"
#include "platform/KZUserDefaults.h"
#include "platform/widgets/KZAlertService.h"
#include "platform/widgets/KZApplicationServices.h"
#include "platform/widgets/KZWorkspace.h"

#include <QTemporaryDir>

namespace kztest {

// The shared settings read from a new, empty store for the life of the object (defaults
// registered), and the shared delete queue emptied at both ends.
class ScopedSettings {
public:
    ScopedSettings()
    {
        KZUserDefaults::setStandardLocation(dir_.filePath(QStringLiteral("settings.json")));
        reload();
        TQDeleteQueue::sharedInstance().clearQueue();
    }
    ~ScopedSettings()
    {
        TQDeleteQueue::sharedInstance().clearQueue();
        KZUserDefaults::setStandardLocation(dir_.filePath(QStringLiteral("unused.json")));
        reload();
    }
    Preferences& preferences() { return Preferences::sharedPreferences(); }

private:
    static void reload()
    {
        Preferences& p = Preferences::sharedPreferences();
        p.setupDefaults();
        p.populateProperties();
    }
    QTemporaryDir dir_;
};

// Everything a screen test fakes, installed for the life of the object.
struct ScreenTestEnvironment {
    ScopedSettings settings;
    KZScopedAlertService alerts;
    KZManualAnimationClock clock;
    KZScopedNotifier notifier;
    KZScopedApplicationServices application;
    KZRecordingWorkspace workspace;
    ScreenTestEnvironment() { KZWorkspace::setShared(&workspace); }
    ~ScreenTestEnvironment() { KZWorkspace::setShared(nullptr); }
};

} // namespace kztest
