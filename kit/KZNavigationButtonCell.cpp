#include "kit/KZNavigationButtonCell.h"

#include "kit/KZButton.h"

KZTextStyle KZNavigationButtonCell::navigationTitleStyle(const KZTextStyle& base, bool enabled)
{
    KZTextStyle style = base;
    style.shadow = KZShadow{Qt::white, QPointF(0, 1), 0};
    style.color = enabled ? QColor(Qt::black) : QColor::fromRgbF(0.4f, 0.4f, 0.4f, 1.0f);
    style.letterSpacing = -0.1;
    return style;
}

QRectF KZNavigationButtonCell::navigationTitleRect(const QRectF& frame, int tag)
{
    return frame.translated(tag == 1 ? 3 : -3, 2);
}

QRectF KZNavigationButtonCell::drawTitle(QPainter& painter, const QString& title, const QRectF& frame,
                                         const KZButton& button)
{
    // A bordered button's title area stops short of the bezel's lower edge, which leaves
    // room for the bezel's shadow; the nudge then brings the title to the bezel's centre.
    const QRectF r = navigationTitleRect(frame.adjusted(0, 0, 0, -4), button.tag());
    navigationTitleStyle(button.titleStyle(), button.isEnabled()).draw(painter, r, title, button.palette());
    return r;
}
