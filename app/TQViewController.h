#pragma once
// Base of the screens the main window shows one after another (scanning, results, finished),
// of the delete-queue popover's content and of the colour-theme pane. It carries the two
// references a screen needs from its window, neither owned: the status panel in the main
// window's toolbar (given to the scanning screen) and the window the screen is shown in
// (given to the results and finished screens).

#include "kit/KZViewController.h"

#include <QPointer>
#include <QWidget>

class KZLCDStatusViewController;

class TQViewController : public KZViewController {
    Q_OBJECT
public:
    explicit TQViewController(QObject* parent = nullptr) : KZViewController(parent) {}

    KZLCDStatusViewController* lcdViewController() const;
    void setLcdViewController(KZLCDStatusViewController* controller);
    QWidget* parentWindow() const { return parentWindow_; }
    void setParentWindow(QWidget* window) { parentWindow_ = window; }

private:
    QPointer<QObject> lcdViewController_;
    QPointer<QWidget> parentWindow_;
};
