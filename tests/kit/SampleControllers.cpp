#include "tests/kit/SampleControllers.h"

#include "ui_KZSampleViewController.h"
#include "ui_KZSampleWindowController.h"

#include <QKeyEvent>

KZ_INTERFACE_FILE_IMPL(KZSampleViewController)
KZ_INTERFACE_FILE_IMPL(KZSampleWindowController)

void KZSampleViewController::awakeFromNib()
{
    calls << QStringLiteral("awakeFromNib");
    addButtonHadHoverAtAwake = ui() && ui()->addButton && !ui()->addButton->highlightedImage().isNull();
}

bool KZSampleViewController::keyDown(QKeyEvent* event)
{
    if (event->key() != Qt::Key_Space) return false;
    calls << QStringLiteral("space");
    return true;
}
