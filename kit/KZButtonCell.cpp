#include "kit/KZButtonCell.h"

#include "kit/KZButton.h"
#include "kit/KZMavericksButtonCell.h"
#include "kit/KZNavigationButtonCell.h"

#include <QPainter>
#include <QStyle>
#include <QStyleOptionButton>

std::unique_ptr<KZButtonCell> KZButtonCell::cellWithClassName(const QString& className)
{
    if (className == QLatin1String("KZMavericksButtonCell")) return std::make_unique<KZMavericksButtonCell>();
    if (className == QLatin1String("KZNavigationButtonCell")) return std::make_unique<KZNavigationButtonCell>();
    return std::make_unique<KZButtonCell>();
}

void KZButtonCell::draw(QPainter& painter, const KZButton& button)
{
    const QRectF frame(button.rect());
    if (button.isTransparent()) return;
    if (button.isBordered() || button.bezelStyle() != 0) drawBezel(painter, frame, button);
    if (!button.image().isNull()) drawImage(painter, frame, button);
    if (!button.title().isEmpty()) drawTitle(painter, button.title(), titleRect(frame, button), button);
}

void KZButtonCell::drawBezel(QPainter& painter, const QRectF& frame, const KZButton& button)
{
    QStyleOptionButton option;
    option.initFrom(&button);
    option.rect = frame.toRect();
    option.state |= button.isHighlighted() ? QStyle::State_Sunken : QStyle::State_Raised;
    button.style()->drawControl(QStyle::CE_PushButtonBevel, &option, &painter, &button);
}

void KZButtonCell::drawImage(QPainter& painter, const QRectF& frame, const KZButton& button)
{
    const KZImage image = button.image();
    QSizeF size = image.size();
    if (size.width() > frame.width() || size.height() > frame.height()) size.scale(frame.size(), Qt::KeepAspectRatio);
    QRectF target(QPointF(0, 0), size);
    if (button.title().isEmpty())
        target.moveCenter(frame.center());
    else
        target.moveTopLeft(QPointF(frame.left() + 4, frame.top() + (frame.height() - size.height()) / 2));
    target = QRectF(target.toRect());
    const qreal opacity = button.isEnabled() ? 1.0 : 0.5;
    if (!button.isHighlighted()) {
        image.draw(painter, target, opacity);
        return;
    }
    // Pressed in: the image darkened.
    const qreal dpr = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    QImage pixels = image.render((target.size() * dpr).toSize());
    {
        QPainter shade(&pixels);
        shade.setCompositionMode(QPainter::CompositionMode_SourceAtop);
        shade.fillRect(pixels.rect(), QColor(0, 0, 0, 90));
    }
    painter.save();
    painter.setOpacity(opacity);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(target, pixels);
    painter.restore();
}

QRectF KZButtonCell::titleRect(const QRectF& frame, const KZButton& button) const
{
    if (button.image().isNull()) return frame;
    const qreal left = 4 + button.image().size().width() + 4;
    return frame.adjusted(left, 0, 0, 0);
}

QRectF KZButtonCell::drawTitle(QPainter& painter, const QString& title, const QRectF& frame, const KZButton& button)
{
    KZTextStyle style = button.titleStyle();
    if (!button.isEnabled() && !style.color)
        style.color = button.palette().color(QPalette::Disabled, QPalette::ButtonText);
    return style.draw(painter, frame, title, button.palette());
}
