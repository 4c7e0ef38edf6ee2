#pragma once
// The flat looks of KZMavericksButtonCell: an outline colour, a background gradient, title
// attributes and the outline's shape. The base theme has none of them.

#include "platform/widgets/KZTextStyle.h"

#include <QColor>
#include <QGradientStops>
#include <QPainterPath>
#include <QRectF>

#include <memory>
#include <optional>

class KZMavericksButtonTheme {
public:
    virtual ~KZMavericksButtonTheme() = default;
    static std::unique_ptr<KZMavericksButtonTheme> theme() { return std::make_unique<KZMavericksButtonTheme>(); }

    virtual std::optional<QColor> strokeColor() const { return std::nullopt; }
    // Stops from the start colour (0) to the end colour (1).
    virtual std::optional<QGradientStops> backgroundGradient() const { return std::nullopt; }
    virtual std::optional<KZTextAttributes> titleAttributes() const { return std::nullopt; }
    // The outline's rectangle for a button frame; empty in the base theme.
    virtual QRectF drawingRectForFrame(const QRectF& frame) const;
    // The outline for a button frame; empty in the base theme.
    virtual QPainterPath drawingPathForFrame(const QRectF& frame) const;
};

// Rounded push buttons (bezel style 1).
class KZPushButtonTheme : public KZMavericksButtonTheme {
public:
    static std::unique_ptr<KZMavericksButtonTheme> theme() { return std::make_unique<KZPushButtonTheme>(); }
    std::optional<QColor> strokeColor() const override;
    std::optional<QGradientStops> backgroundGradient() const override;
    std::optional<KZTextAttributes> titleAttributes() const override;
    QRectF drawingRectForFrame(const QRectF& frame) const override;
    QPainterPath drawingPathForFrame(const QRectF& frame) const override;
};

// Textured rounded buttons (bezel style 11).
class KZTexturedButtonTheme : public KZMavericksButtonTheme {
public:
    static std::unique_ptr<KZMavericksButtonTheme> theme() { return std::make_unique<KZTexturedButtonTheme>(); }
    std::optional<QColor> strokeColor() const override;
    std::optional<QGradientStops> backgroundGradient() const override;
    std::optional<KZTextAttributes> titleAttributes() const override;
    QRectF drawingRectForFrame(const QRectF& frame) const override;
    QPainterPath drawingPathForFrame(const QRectF& frame) const override;
};
