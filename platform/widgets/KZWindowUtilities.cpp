#include "platform/widgets/KZWindowUtilities.h"

#include <QPropertyAnimation>
#include <QScreen>
#include <QWidget>

QSize kz_contentSize(const QWidget* window)
{
    return window ? window->size() : QSize();
}

void kz_setContentSize(QWidget* window, QSize size, bool animated)
{
    if (!window) return;
    const QSize current = kz_contentSize(window);
    const int dw = size.width() - current.width();
    const int dh = size.height() - current.height();
    QRect frame = window->geometry();
    frame.setWidth(frame.width() + dw);
    frame.setHeight(frame.height() + dh);
    frame.moveLeft(frame.left() - dw / 2);
    if (const QScreen* screen = window->screen()) {
        const QRect visible = screen->availableGeometry();
        if (!visible.isEmpty() && frame.bottom() > visible.bottom())
            frame.moveTop(std::max(visible.top(), frame.top() - (frame.bottom() - visible.bottom())));
    }
    if (animated && window->isVisible()) {
        auto* anim = new QPropertyAnimation(window, "geometry", window);
        anim->setDuration(200);
        anim->setEndValue(frame);
        anim->start(QAbstractAnimation::DeleteWhenStopped);
    } else {
        window->setGeometry(frame);
    }
}

void kz_makeResizable(QWidget* window)
{
    if (!window) return;
    window->setMinimumSize(0, 0);
    window->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
}

void kz_removeResizing(QWidget* window)
{
    if (!window) return;
    window->setFixedSize(window->size());
}
