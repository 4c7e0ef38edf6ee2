#include "kit/KZToolbarStatusView.h"

#include "platform/widgets/KZAccessibleWidget.h"
#include "platform/widgets/KZImage.h"

#include <QPainter>

KZToolbarStatusView::KZToolbarStatusView(QWidget* parent) : QWidget(parent)
{
    // The panel's lines of text are its children.
    KZAccessibleWidget::registerClass(staticMetaObject, {QAccessible::StatusBar, {}, [](const QWidget*) {
                                                             return QStringLiteral("Status");
                                                         }});
}

void KZToolbarStatusView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    KZImage::named(QStringLiteral("background-status")).draw(painter, QRectF(rect()));
}
