#pragma once
// Desktop notifications ("Finished scanning: ...", "Compression Completed"): one shared
// notifier, on the session bus's org.freedesktop.Notifications service. When no
// notification server runs, a notification is dropped silently. Tests install a recording
// notifier instead.

#include <QString>

#include <vector>

struct KZUserNotification {
    QString title;
    QString subtitle;
    QString informativeText;
    QString actionButtonTitle; // empty: no action button
    bool playsSound = false;   // the desktop's default notification sound
};

class KZNotifier {
public:
    virtual ~KZNotifier() = default;
    virtual void deliver(const KZUserNotification& notification) = 0;

    static KZNotifier& shared();
    // Replaces the shared notifier (tests); null restores the real one.
    static void setShared(KZNotifier* notifier);
};

// The real notifier: an asynchronous Notify call; never blocks and never fails loudly.
class KZDBusNotifier : public KZNotifier {
public:
    void deliver(const KZUserNotification& notification) override;
};

// Records what would have been shown (tests).
class KZRecordingNotifier : public KZNotifier {
public:
    void deliver(const KZUserNotification& notification) override { delivered.push_back(notification); }
    std::vector<KZUserNotification> delivered;
};

// Installs a recording notifier for the lifetime of the object (tests).
class KZScopedNotifier {
public:
    KZScopedNotifier() { KZNotifier::setShared(&notifier); }
    ~KZScopedNotifier() { KZNotifier::setShared(nullptr); }
    KZRecordingNotifier notifier;
};
