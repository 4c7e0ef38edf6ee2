#include "kit/KZMavericksButtonTheme.h"

QRectF KZMavericksButtonTheme::drawingRectForFrame(const QRectF&) const
{
    return {};
}

QPainterPath KZMavericksButtonTheme::drawingPathForFrame(const QRectF&) const
{
    return {};
}

namespace {
QPainterPath roundedPath(const QRectF& rect)
{
    QPainterPath path;
    path.addRoundedRect(rect, 3, 3);
    return path;
}
} // namespace

std::optional<QColor> KZPushButtonTheme::strokeColor() const
{
    return QColor::fromRgbF(0.6039f, 0.6039f, 0.6039f, 1.0f);
}

std::optional<QGradientStops> KZPushButtonTheme::backgroundGradient() const
{
    static const QGradientStops stops{{0.0, QColor::fromHsvF(0, 0, 0.94f)},
                                      {0.4, QColor::fromHsvF(0, 0, 0.94f)},
                                      {0.5, QColor::fromHsvF(0, 0, 1.0f)},
                                      {1.0, QColor::fromHsvF(0, 0, 1.0f)}};
    return stops;
}

std::optional<KZTextAttributes> KZPushButtonTheme::titleAttributes() const
{
    return KZTextAttributes{QColor(Qt::black), -0.1, std::nullopt};
}

QRectF KZPushButtonTheme::drawingRectForFrame(const QRectF& frame) const
{
    QRectF r = frame.adjusted(7.5, 4.5, -7.5, -4.5);
    r.setHeight(r.height() - 3);
    return r;
}

QPainterPath KZPushButtonTheme::drawingPathForFrame(const QRectF& frame) const
{
    return roundedPath(drawingRectForFrame(frame));
}

std::optional<QColor> KZTexturedButtonTheme::strokeColor() const
{
    return QColor::fromRgbF(0.5569f, 0.5569f, 0.5569f, 1.0f);
}

std::optional<QGradientStops> KZTexturedButtonTheme::backgroundGradient() const
{
    static const QGradientStops stops{{0.0, QColor::fromRgbF(0.9333f, 0.9333f, 0.9333f)},
                                      {1.0, QColor::fromRgbF(0.9843f, 0.9843f, 0.9843f)}};
    return stops;
}

std::optional<KZTextAttributes> KZTexturedButtonTheme::titleAttributes() const
{
    return KZTextAttributes{QColor::fromRgbF(0.2f, 0.2f, 0.2f, 1.0f), std::nullopt,
                            KZShadow{QColor::fromRgbF(1, 1, 1, 0.7f), QPointF(0, 1), 0}};
}

QRectF KZTexturedButtonTheme::drawingRectForFrame(const QRectF& frame) const
{
    QRectF r = frame.adjusted(0.5, 1.5, -0.5, -1.5);
    r.setHeight(r.height() - 1);
    return r;
}

QPainterPath KZTexturedButtonTheme::drawingPathForFrame(const QRectF& frame) const
{
    return roundedPath(drawingRectForFrame(frame));
}
