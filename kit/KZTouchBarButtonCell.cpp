#include "kit/KZTouchBarButtonCell.h"

#include "platform/widgets/KZImage.h"
#include "platform/widgets/KZTextStyle.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPalette>

#include <cmath>

std::unique_ptr<KZTouchBarButtonCell> KZTouchBarButtonCell::cellWithClassName(const QString& className)
{
    if (className == QLatin1String("KZRedTouchBarButtonCell")) return std::make_unique<KZRedTouchBarButtonCell>();
    if (className == QLatin1String("KZBlueTouchBarButtonCell")) return std::make_unique<KZBlueTouchBarButtonCell>();
    if (className == QLatin1String("KZNormalTouchBarButtonCell")) return std::make_unique<KZNormalTouchBarButtonCell>();
    return std::make_unique<KZTouchBarButtonCell>();
}

QPalette KZTouchBarButtonCell::touchBarPalette()
{
    QPalette p;
    for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        p.setColor(group, QPalette::WindowText, Qt::white);
        p.setColor(group, QPalette::ButtonText, Qt::white);
        p.setColor(group, QPalette::Window, Qt::black);
        p.setColor(group, QPalette::Button, QColor(66, 66, 66));
        p.setColor(group, QPalette::Highlight, QColor(0, 122, 255));
    }
    return p;
}

QColor KZTouchBarButtonCell::titleColor(const QPalette&) const
{
    return titleColor_;
}
QColor KZTouchBarButtonCell::titleColorPressed(const QPalette&) const
{
    return titleColorPressed_;
}
QColor KZTouchBarButtonCell::backgroundColor(const QPalette&) const
{
    return backgroundColor_;
}
QColor KZTouchBarButtonCell::backgroundColorPressed(const QPalette&) const
{
    return backgroundColorPressed_;
}

void KZTouchBarButtonCell::drawBezel(QPainter& painter, const QRectF& frame, const QPalette& palette) const
{
    const QColor fill = mouseDown_ ? backgroundColorPressed(palette) : backgroundColor(palette);
    const auto gradient = mouseDown_ ? backgroundGradientPressed_ : backgroundGradient_;
    const QColor stroke = mouseDown_ ? strokeColorPressed_ : strokeColor_;
    QPainterPath path;
    path.addRoundedRect(frame.adjusted(0.5, 0.5, -0.5, -0.5), cornerRadius(), cornerRadius());
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    if (fill.isValid()) painter.fillPath(path, fill);
    if (gradient) {
        const QRectF box = path.boundingRect();
        QLinearGradient g(box.topLeft(), box.bottomLeft());
        g.setStops(*gradient);
        painter.fillPath(path, g);
    }
    if (stroke.isValid()) painter.strokePath(path, QPen(stroke, 1));
    painter.restore();
}

QRectF KZTouchBarButtonCell::titleRect(const QRectF& frame, qreal titleHeight, bool hasImage)
{
    const qreal x = hasImage ? 32 : frame.x();
    const qreal y = std::floor(frame.height() * 0.5 - titleHeight * 0.5) + 1;
    return QRectF(x, y, frame.width(), frame.height());
}

QRectF KZTouchBarButtonCell::imageRect(const QRectF& frame)
{
    return QRectF(10, std::floor(frame.height() * 0.5 - 8) + 1, 16, 16);
}

void KZTouchBarButtonCell::drawInterior(QPainter& painter, const QRectF& frame, const QString& title,
                                        const KZImage& image, const QPalette& palette) const
{
    const bool hasImage = !image.isNull();
    KZTextStyle style;
    style.font.setPixelSize(13);
    style.color = mouseDown_ ? titleColorPressed(palette) : titleColor(palette);
    style.alignment = (hasImage ? Qt::AlignLeft : Qt::AlignHCenter) | Qt::AlignTop;
    const QRectF r = titleRect(frame, style.size(title).height(), hasImage);
    // A centred title centres in the frame's own width.
    style.draw(painter, hasImage ? r : QRectF(frame.x(), r.y(), frame.width(), r.height()), title, palette);
    if (hasImage) {
        const QRectF ir = imageRect(frame);
        painter.save();
        QPainterPath clip;
        clip.addRoundedRect(ir, 2, 2);
        painter.setClipPath(clip);
        image.draw(painter, ir);
        painter.restore();
    }
}

namespace {
QColor labelColor(const QPalette& p)
{
    return p.color(QPalette::Active, QPalette::WindowText);
}
} // namespace

QColor KZRedTouchBarButtonCell::titleColor(const QPalette& p) const
{
    return labelColor(p);
}
QColor KZRedTouchBarButtonCell::titleColorPressed(const QPalette& p) const
{
    return labelColor(p);
}
QColor KZRedTouchBarButtonCell::backgroundColor(const QPalette&) const
{
    return QColor::fromRgbF(1.0f, 0.2863f, 0.4f, 1.0f);
}
QColor KZRedTouchBarButtonCell::backgroundColorPressed(const QPalette&) const
{
    return QColor::fromRgbF(1.0f, 0.2863f, 0.4f, 0.8f);
}

QColor KZBlueTouchBarButtonCell::titleColor(const QPalette& p) const
{
    return labelColor(p);
}
QColor KZBlueTouchBarButtonCell::titleColorPressed(const QPalette& p) const
{
    return labelColor(p);
}
QColor KZBlueTouchBarButtonCell::backgroundColor(const QPalette&) const
{
    return QColor::fromRgbF(0.0f, 0.5686f, 1.0f, 1.0f);
}
QColor KZBlueTouchBarButtonCell::backgroundColorPressed(const QPalette&) const
{
    return QColor::fromRgbF(0.0f, 0.5686f, 1.0f, 0.8f);
}

QColor KZNormalTouchBarButtonCell::titleColor(const QPalette& p) const
{
    return labelColor(p);
}
QColor KZNormalTouchBarButtonCell::titleColorPressed(const QPalette& p) const
{
    return labelColor(p);
}
QColor KZNormalTouchBarButtonCell::backgroundColor(const QPalette& p) const
{
    return p.color(QPalette::Active, QPalette::Button);
}
QColor KZNormalTouchBarButtonCell::backgroundColorPressed(const QPalette& p) const
{
    return p.color(QPalette::Active, QPalette::Highlight);
}
