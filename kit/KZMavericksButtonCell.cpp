#include "kit/KZMavericksButtonCell.h"

#include "kit/KZButton.h"

#include <QLinearGradient>
#include <QPainter>

std::unique_ptr<KZMavericksButtonTheme> KZMavericksButtonCell::buttonTheme(int bezelStyle)
{
    if (bezelStyle == Rounded) return KZPushButtonTheme::theme();
    if (bezelStyle == TexturedRounded) return KZTexturedButtonTheme::theme();
    return nullptr;
}

void KZMavericksButtonCell::drawBezel(QPainter& painter, const QRectF& frame, const KZButton& button)
{
    const auto theme = buttonTheme(button.bezelStyle());
    if (!theme) {
        KZButtonCell::drawBezel(painter, frame, button);
        return;
    }
    const QPainterPath path = theme->drawingPathForFrame(frame);
    const QRectF box = path.boundingRect();
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    if (auto stops = theme->backgroundGradient()) {
        // At rest the start colour lies at the bottom; pressed, at the top.
        QLinearGradient g = button.isHighlighted() ? QLinearGradient(box.topLeft(), box.bottomLeft())
                                                   : QLinearGradient(box.bottomLeft(), box.topLeft());
        g.setStops(*stops);
        painter.fillPath(path, g);
    }
    if (auto stroke = theme->strokeColor()) {
        painter.setPen(QPen(*stroke, 1));
        painter.setBrush(Qt::NoBrush);
        painter.drawPath(path);
    }
    painter.restore();
}

KZTextStyle KZMavericksButtonCell::themedTitleStyle(const KZTextStyle& base, const KZTextAttributes& attributes,
                                                    bool enabled)
{
    KZTextAttributes a = attributes;
    if (!enabled && a.foreground) a.foreground->setAlphaF(0.6f);
    return base.applying(a);
}

QRectF KZMavericksButtonCell::themedTitleRect(const QRectF& frame, int bezelStyle, qreal controlHeight,
                                              qreal titleHeight)
{
    QRectF r = frame;
    if (bezelStyle == TexturedRounded) r.moveTop(controlHeight * 0.5 - titleHeight * 0.5 - 1);
    return r;
}

QRectF KZMavericksButtonCell::drawTitle(QPainter& painter, const QString& title, const QRectF& frame,
                                        const KZButton& button)
{
    const auto theme = buttonTheme(button.bezelStyle());
    const auto attributes = theme ? theme->titleAttributes() : std::nullopt;
    if (!attributes) return KZButtonCell::drawTitle(painter, title, frame, button);
    const KZTextStyle style = themedTitleStyle(button.titleStyle(), *attributes, button.isEnabled());
    const qreal th = style.size(title).height();
    QRectF r = themedTitleRect(frame, button.bezelStyle(), button.height(), th);
    if (button.bezelStyle() == TexturedRounded) r.setHeight(th);
    style.draw(painter, r, title, button.palette());
    return r;
}
