// Sizemere: shows where the space on a disk goes and helps free it.

#include "app/TQAppDelegate.h"
#include "platform/widgets/KZAccessibleWidget.h"
#include "platform/widgets/KZAppearance.h"
#include "treemap/KZTreemapAccessibility.h"

#include <QApplication>
#include <QIcon>
#include <QTimer>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Sizemere"));
    QApplication::setApplicationDisplayName(QStringLiteral("Sizemere"));
    QApplication::setApplicationVersion(QStringLiteral(SIZEMERE_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("sizemere"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/desktop/sizemere.svg")));
    KZAppearance::install();
    KZAccessibleWidget::install();
    kz_installTreemapAccessibility();

    TQAppDelegate delegate;
    QTimer::singleShot(0, &delegate, [&delegate] { delegate.applicationDidFinishLaunching(); });
    return app.exec();
}
