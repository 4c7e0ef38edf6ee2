#include "kit/KZToolbarStatusView.h"

#include "platform/widgets/KZImage.h"

#include <QPainter>

KZToolbarStatusView::KZToolbarStatusView(QWidget* parent) : QWidget(parent) {}

void KZToolbarStatusView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    KZImage::named(QStringLiteral("background-status")).draw(painter, QRectF(rect()));
}
