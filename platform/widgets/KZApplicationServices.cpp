#include "platform/widgets/KZApplicationServices.h"

#include <QApplication>

namespace {
KZApplicationServices* overridden = nullptr;

std::function<void()>& terminateHandler()
{
    static std::function<void()> handler;
    return handler;
}
} // namespace

KZApplicationServices& KZApplicationServices::shared()
{
    static KZDesktopApplicationServices real;
    return overridden ? *overridden : real;
}

void KZApplicationServices::setShared(KZApplicationServices* services)
{
    overridden = services;
}

bool KZDesktopApplicationServices::isActive() const
{
    return QGuiApplication::applicationState() == Qt::ApplicationActive;
}

void KZDesktopApplicationServices::requestUserAttention(QWidget* window)
{
    if (window) QApplication::alert(window->window(), 0);
}

void KZDesktopApplicationServices::beep()
{
    QApplication::beep();
}

void KZDesktopApplicationServices::terminate()
{
    if (const auto& handler = terminateHandler()) {
        handler();
    } else {
        QCoreApplication::quit();
    }
}

void KZDesktopApplicationServices::setTerminateHandler(std::function<void()> handler)
{
    terminateHandler() = std::move(handler);
}

void kz_beep()
{
    KZApplicationServices::shared().beep();
}
