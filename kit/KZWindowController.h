#pragma once
// Base of every window controller. The window is loaded when it is first asked for, from the
// interface file named after the class (see KZInterfaceFile.h) or as a plain main window;
// windowDidLoad runs once per window. Every window keeps the light ("Aqua") look whatever
// the desktop's colour scheme. The controller owns its window.

#include "kit/KZInterfaceFile.h"

#include <QObject>
#include <QPointer>

class KZWindowController : public QObject {
    Q_OBJECT
public:
    explicit KZWindowController(QObject* parent = nullptr);
    ~KZWindowController() override;

    QWidget* window();
    bool isWindowLoaded() const { return !window_.isNull(); }
    // Loads the window if needed, shows it and brings it to the front.
    void showWindow();

protected:
    // The window from the class's interface file; nullptr when the class has none.
    virtual QWidget* loadInterface() { return nullptr; }
    virtual void awakeFromNib() {}
    // Subclasses that override this call the base first: it applies the light look.
    virtual void windowDidLoad();

private:
    QPointer<QWidget> window_;
};
