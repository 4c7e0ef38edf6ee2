#pragma once
// What the screens ask of the running application: whether it is the active one, asking for
// the user's attention, the system beep, and ending the program. One shared instance; tests install a recording
// one (the offscreen platform is never "active" and has no bell).

#include <QPointer>
#include <QWidget>

#include <functional>
#include <vector>

class KZApplicationServices {
public:
    virtual ~KZApplicationServices() = default;

    // True while one of the program's windows has the focus.
    virtual bool isActive() const = 0;
    // Marks the window as wanting attention (the task bar entry flashes) until it is activated.
    virtual void requestUserAttention(QWidget* window) = 0;
    virtual void beep() = 0;
    // Asks the program to end, through the same path as Quit in the menu (which may still ask
    // the user, and may be refused).
    virtual void terminate() = 0;

    static KZApplicationServices& shared();
    // Replaces the shared services (tests); null restores the real ones.
    static void setShared(KZApplicationServices* services);
};

class KZDesktopApplicationServices : public KZApplicationServices {
public:
    bool isActive() const override;
    void requestUserAttention(QWidget* window) override;
    void beep() override;
    void terminate() override;
    // What terminate() runs; the application sets its quit path here (default: quit the event loop).
    static void setTerminateHandler(std::function<void()> handler);
};

// Records calls (tests); isActive answers `active`.
class KZRecordingApplicationServices : public KZApplicationServices {
public:
    bool isActive() const override { return active; }
    void requestUserAttention(QWidget* window) override { attentionRequests.push_back(window); }
    void beep() override { ++beeps; }
    void terminate() override { ++terminations; }

    bool active = true;
    int beeps = 0;
    int terminations = 0;
    std::vector<QPointer<QWidget>> attentionRequests;
};

// Installs recording services for the lifetime of the object (tests).
class KZScopedApplicationServices {
public:
    KZScopedApplicationServices() { KZApplicationServices::setShared(&services); }
    ~KZScopedApplicationServices() { KZApplicationServices::setShared(nullptr); }
    KZRecordingApplicationServices services;
};

// The system beep, through the shared services.
void kz_beep();
