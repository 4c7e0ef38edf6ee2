#include "kit/KZWindowController.h"

#include "platform/widgets/KZAppearance.h"

#include <QCloseEvent>
#include <QDialog>
#include <QKeyEvent>
#include <QMainWindow>

KZWindowController::KZWindowController(QObject* parent) : QObject(parent) {}

KZWindowController::~KZWindowController()
{
    if (window_) window_->removeEventFilter(this);
}

QWidget* KZWindowController::window()
{
    if (window_) return window_;
    QWidget* loaded = loadInterface();
    const bool fromInterface = loaded != nullptr;
    if (!loaded) loaded = new QMainWindow;
    window_.reset(loaded);
    loaded->installEventFilter(this);
    if (auto* dialog = qobject_cast<QDialog*>(loaded))
        connect(dialog, &QDialog::finished, this, [this] { notifyWillClose(); });
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

bool KZWindowController::performClose()
{
    if (!window_ || !window_->isVisible()) return false;
    userClose_ = true;
    const bool closed = window_->close();
    userClose_ = false;
    return closed;
}

void KZWindowController::beginSheet(QWidget* parentWindow)
{
    QWidget* w = window();
    isSheet_ = true;
    if (parentWindow) {
        parentWindow = parentWindow->window();
        w->setParent(parentWindow, Qt::Dialog);
        w->setWindowModality(Qt::WindowModal);
        w->adjustSize();
        const QRect frame = parentWindow->geometry();
        w->move(frame.x() + (frame.width() - w->width()) / 2, frame.y() + 40);
    } else {
        w->setWindowModality(Qt::ApplicationModal);
    }
    w->show();
    w->raise();
    w->activateWindow();
}

void KZWindowController::endSheet()
{
    if (!window_) return;
    isSheet_ = false;
    closeNotified_ = true; // hiding a sheet is not a close
    window_->hide();
}

void KZWindowController::windowDidLoad()
{
    KZAppearance::applyAqua(window_);
}

void KZWindowController::notifyWillClose()
{
    if (closeNotified_) return;
    closeNotified_ = true;
    windowWillClose();
    Q_EMIT willClose();
}

bool KZWindowController::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != window_.get()) return QObject::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::Show:
        closeNotified_ = false;
        break;
    case QEvent::KeyPress: {
        // A dialog ends itself on Escape without a close event; route it through the close.
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Escape && key->modifiers() == Qt::NoModifier && qobject_cast<QDialog*>(window_)) {
            performClose();
            return true;
        }
        break;
    }
    case QEvent::Close:
        // The user's attempts (the window manager's close button, Escape, performClose) may be
        // refused; the program's own close() may not.
        if ((event->spontaneous() || userClose_) && !windowShouldClose()) {
            event->ignore();
            return true;
        }
        notifyWillClose();
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}
