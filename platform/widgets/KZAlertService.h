#pragma once
// Alerts and sheets. Every alert the program shows goes through the one shared service, so
// tests can script the answers. The real service shows a QMessageBox: a sheet is window-modal
// (open()), never shown inside the call that asks for it, but on a later turn of the main
// thread; a modal alert runs its own loop.

#include <QPointer>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <functional>
#include <memory>
#include <utility>
#include <vector>

// Response codes: the first button answers 1000, the second 1001, the third 1002; a modal
// alert that the program ended (abortModal()) answers KZModalResponseAbort.
enum KZModalResponse : int {
    KZAlertFirstButtonReturn = 1000,
    KZAlertSecondButtonReturn = 1001,
    KZAlertThirdButtonReturn = 1002,
    KZModalResponseCancel = 0,
    KZModalResponseAbort = -1001,
};

struct KZAlert {
    enum class Style { Warning, Informational, Critical };
    QString messageText;
    QString informativeText;
    QStringList buttons; // in order; the first performs the action
    Style style = Style::Warning;
    bool showsSuppressionButton = false;
    QString suppressionTitle; // empty: "Do not show this message again"
    bool suppressionState = false;
};

struct KZAlertResult {
    int response = KZModalResponseCancel;
    bool suppressionState = false;
};

class KZAlertService {
public:
    using Completion = std::function<void(const KZAlertResult&)>;
    virtual ~KZAlertService() = default;

    // Shows the alert as a sheet on the window after the delay (also for 0: never inside
    // this call) and hands the answer to the completion.
    virtual void beginSheet(const KZAlert& alert, QWidget* window, double delaySeconds, Completion completion) = 0;
    // Shows the alert modally and answers when it closes.
    virtual KZAlertResult runModal(const KZAlert& alert) = 0;
    // Ends the modal alert that runModal(alert) shows now, for this very `alert` object, as if
    // nobody had answered: that runModal() answers KZModalResponseAbort. Other alerts, one
    // shown above it included, stay. Nothing happens when that alert is not showing. For an
    // alert that what it says no longer holds.
    virtual void abortModal(const KZAlert& alert) = 0;

    static KZAlertService& shared();
    // Replaces the shared service (tests); null restores the real one.
    static void setShared(KZAlertService* service);
};

// The real service on QMessageBox.
class KZMessageBoxAlertService : public KZAlertService {
public:
    void beginSheet(const KZAlert& alert, QWidget* window, double delaySeconds, Completion completion) override;
    KZAlertResult runModal(const KZAlert& alert) override;
    void abortModal(const KZAlert& alert) override;

private:
    // The modal alerts showing, innermost last, with the alert each shows.
    std::vector<std::pair<const KZAlert*, QPointer<QWidget>>> modal_;
};

// A service for tests: records every alert and answers from a queue (else the first button).
class KZScriptedAlertService : public KZAlertService {
public:
    struct Shown {
        KZAlert alert;
        QPointer<QWidget> window;
        bool sheet;
        int response = KZModalResponseCancel; // the answer it got
    };
    void beginSheet(const KZAlert& alert, QWidget* window, double delaySeconds, Completion completion) override;
    KZAlertResult runModal(const KZAlert& alert) override;
    // Only while `whileModal` runs is a modal alert showing.
    void abortModal(const KZAlert& alert) override;
    void answerNext(int response, bool suppression = false) { answers_.push_back({response, suppression}); }
    // Runs inside the next modal alerts, while they show and before they answer (the program
    // goes on meanwhile; alerts it shows answer at once); null: they answer at once.
    void setWhileModal(std::function<void()> whileModal) { whileModal_ = std::move(whileModal); }
    const std::vector<Shown>& shown() const { return shown_; }
    void clear()
    {
        shown_.clear();
        answers_.clear();
    }

private:
    KZAlertResult nextAnswer();
    std::vector<KZAlertResult> answers_;
    std::vector<Shown> shown_;
    std::function<void()> whileModal_;
    // The modal alerts showing, innermost last, and whether each was ended.
    std::vector<std::pair<const KZAlert*, bool>> modal_;
};

// Sheet helpers in the shape the screens use.
void kz_beginSheetModalForWindow(const KZAlert& alert, QWidget* window, KZAlertService::Completion completion);
void kz_beginSheetModalForWindow(const KZAlert& alert, QWidget* window, double delaySeconds,
                                 KZAlertService::Completion completion);

// Installs a scripted service for the lifetime of the object (tests).
class KZScopedAlertService {
public:
    KZScopedAlertService() { KZAlertService::setShared(&service); }
    ~KZScopedAlertService() { KZAlertService::setShared(nullptr); }
    KZScriptedAlertService service;
};
