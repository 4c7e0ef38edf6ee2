#pragma once
// Helpers for the scanning-screen and status-panel tests: settling background work, recording
// the wizard's notifications, a gate that holds a scan in the middle of its walk, and a screen
// whose scanner reports can be played by hand.

#include "app/TQFileScanViewController.h"
#include "app/TQNotifications.h"
#include "model/KZFileScanner.h"
#include "platform/KZDispatch.h"
#include "platform/KZNotificationCenter.h"
#include "tests/support/TestSupport.h"

#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <QStringList>
#include <QThreadPool>

#include <condition_variable>
#include <mutex>

namespace kztest {

// Everything the scan and its reports started has run its course.
inline void settle()
{
    drainBackgroundWork();
}

// Every wizard notification posted while the object lives, in order.
class WizardRecorder {
public:
    WizardRecorder()
    {
        for (const QString& name : allNames())
            KZNotificationCenter::defaultCenter().addObserver(
                name, [this](const KZNotification& n) { names << n.name; }, &context_);
    }
    static QStringList allNames()
    {
        return {TQNotification_EnableNextButton,
                TQNotifcation_DisableNextButton,
                TQNotifcation_ShowCancelButton,
                TQNotifcation_HideCancelButton,
                TQNotification_StartOver,
                TQNotification_Rescan,
                TQNotification_EmptyTrash,
                TQNotification_EmptyTrashAndFinish,
                TQNotification_EmptyTrashAndQuit,
                TQNotification_Finish,
                TQNotification_GoNext};
    }
    qsizetype count(const QString& name) const { return names.count(name); }
    QStringList names;

private:
    QObject context_;
};

// Holds every scanning thread that asks about an item whose path ends with `suffix` until
// open() (also on destruction, so a failed test can't hang the pool).
class ScanGate {
public:
    explicit ScanGate(std::string suffix) : suffix_(std::move(suffix)) {}
    ~ScanGate() { open(); }
    void install(KZFileScanner& scanner)
    {
        scanner.setReadabilityCheck([this](const std::string& path, bool) {
            if (path.size() >= suffix_.size() &&
                path.compare(path.size() - suffix_.size(), suffix_.size(), suffix_) == 0) {
                std::unique_lock lock(mutex_);
                reached_ = true;
                changed_.notify_all();
                changed_.wait(lock, [this] { return open_; });
            }
            return true;
        });
    }
    // Waits (on the test's thread) until a scanning thread is held.
    void waitUntilReached()
    {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return reached_ || open_; });
    }
    void open()
    {
        std::lock_guard lock(mutex_);
        open_ = true;
        changed_.notify_all();
    }

private:
    std::string suffix_;
    std::mutex mutex_;
    std::condition_variable changed_;
    bool reached_ = false;
    bool open_ = false;
};

// A scanning screen whose scanner reports a test can play directly.
class ScanScreenProbe : public TQFileScanViewController {
public:
    using TQFileScanViewController::scanDidComplete;
    using TQFileScanViewController::scanDidCount;
    using TQFileScanViewController::scanDidFail;
    using TQFileScanViewController::scanDidMeasure;
    using TQFileScanViewController::scanDidReachPath;
    using TQFileScanViewController::scanWasCancelled;
};

} // namespace kztest
