#include "kit/KZWindowController.h"

#include "platform/widgets/KZAppearance.h"

#include <QMainWindow>

KZWindowController::KZWindowController(QObject* parent) : QObject(parent) {}

KZWindowController::~KZWindowController()
{
    delete window_.data();
}

QWidget* KZWindowController::window()
{
    if (window_) return window_;
    QWidget* loaded = loadInterface();
    const bool fromInterface = loaded != nullptr;
    if (!loaded) loaded = new QMainWindow;
    window_ = loaded;
    if (fromInterface) awakeFromNib();
    windowDidLoad();
    return window_;
}

void KZWindowController::showWindow()
{
    QWidget* w = window();
    w->show();
    w->raise();
    w->activateWindow();
}

void KZWindowController::windowDidLoad()
{
    KZAppearance::applyAqua(window_);
}
