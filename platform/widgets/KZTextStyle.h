#pragma once
// One line of styled text, as the kit's buttons, labels and path bar draw it: font, colour,
// letter spacing, a hard shadow, alignment and elision. A run list lets part of the line use
// another font (the size label's unit). Geometry is in device-independent pixels; a shadow
// offset of (0, 1) lies one pixel below the text.

#include <QColor>
#include <QFont>
#include <QList>
#include <QPointF>
#include <QString>

#include <optional>

class QPainter;
class QPalette;
class QRectF;
class QSizeF;

struct KZShadow {
    QColor color = Qt::white;
    QPointF offset = QPointF(0, 1);
    qreal blurRadius = 0;
    friend bool operator==(const KZShadow&, const KZShadow&) = default;
};

// Attributes laid over a style (a theme's title attributes): only what is set changes.
struct KZTextAttributes {
    std::optional<QColor> foreground;
    std::optional<qreal> kern;
    std::optional<KZShadow> shadow;
};

class KZTextStyle {
public:
    struct Run {
        QString text;
        std::optional<QFont> font; // the style's font when unset
    };

    QFont font;
    // Unset: the palette's text colour.
    std::optional<QColor> color;
    // Extra space after every character, in pixels (the kern of a text attribute).
    qreal letterSpacing = 0;
    std::optional<KZShadow> shadow;
    Qt::Alignment alignment = Qt::AlignCenter;
    Qt::TextElideMode elideMode = Qt::ElideNone;

    // A copy with the attributes laid over it.
    KZTextStyle applying(const KZTextAttributes& attributes) const;
    // The font with the letter spacing applied.
    QFont effectiveFont(const std::optional<QFont>& runFont = std::nullopt) const;
    QSizeF size(const QString& text) const;
    QSizeF size(const QList<Run>& runs) const;
    // The colour the text is drawn in, given the palette of the widget that draws it.
    QColor resolvedColor(const QPalette& palette) const;

    // Draws the text in the rectangle (elided to its width when asked); returns the rectangle
    // the text took.
    QRectF draw(QPainter& painter, const QRectF& rect, const QString& text, const QPalette& palette) const;
    QRectF draw(QPainter& painter, const QRectF& rect, const QList<Run>& runs, const QPalette& palette) const;
};
