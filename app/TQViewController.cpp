#include "app/TQViewController.h"

#include "app/KZLCDStatusViewController.h"

KZLCDStatusViewController* TQViewController::lcdViewController() const
{
    return static_cast<KZLCDStatusViewController*>(lcdViewController_.data());
}

void TQViewController::setLcdViewController(KZLCDStatusViewController* controller)
{
    lcdViewController_ = controller;
}
