#pragma once
// Base of every window controller. The window is loaded when it is first asked for, from the
// interface file named after the class (see KZInterfaceFile.h) or as a plain main window;
// windowDidLoad runs once per window. Every window keeps the light ("Aqua") look whatever
// the desktop's colour scheme. The controller owns its window.
//
// Closing: every attempt of the user to close the window (its close button, Escape in a
// dialog, performClose) first asks windowShouldClose(); when the window does close (by the
// user, the program's close(), or a dialog ending), windowWillClose() runs and willClose()
// is emitted, once per showing.
// A window may also be shown as a sheet of another window: window-modal, over that window,
// until endSheet().

#include "kit/KZInterfaceFile.h"
#include "platform/widgets/KZOwnedObject.h"

#include <QObject>

class KZWindowController : public QObject {
    Q_OBJECT
public:
    explicit KZWindowController(QObject* parent = nullptr);
    ~KZWindowController() override;

    QWidget* window();
    bool isWindowLoaded() const { return !window_.isNull(); }
    // Loads the window if needed, shows it and brings it to the front.
    void showWindow();
    // Closes the window as its close button would, asking windowShouldClose() first.
    // Answers whether it closed.
    bool performClose();

    // Shows the window as a sheet of `parentWindow`: window-modal and centred over it. The
    // parent window then owns the window too (it goes if the parent goes first).
    void beginSheet(QWidget* parentWindow);
    // Takes the sheet off the screen; no close hook runs.
    void endSheet();
    bool isSheet() const { return isSheet_; }

Q_SIGNALS:
    // The window is closing; emitted after windowWillClose().
    void willClose();

protected:
    // The window from the class's interface file; nullptr when the class has none.
    virtual QWidget* loadInterface() { return nullptr; }
    virtual void awakeFromNib() {}
    // Subclasses that override this call the base first: it applies the light look.
    virtual void windowDidLoad();
    // Asked before the user closes the window; false keeps it open.
    virtual bool windowShouldClose() { return true; }
    // The window is closing. Don't destroy the controller here: release it on a later turn.
    virtual void windowWillClose() {}

    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void notifyWillClose();

    // Ours (a window may also delete itself when it closes).
    KZOwnedWidget<QWidget> window_;
    bool closeNotified_ = false;
    bool userClose_ = false;
    bool isSheet_ = false;
};
