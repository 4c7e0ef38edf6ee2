#include "platform/widgets/KZTextStyle.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPalette>
#include <QRectF>

#include <algorithm>

KZTextStyle KZTextStyle::applying(const KZTextAttributes& attributes) const
{
    KZTextStyle copy = *this;
    if (attributes.foreground) copy.color = attributes.foreground;
    if (attributes.kern) copy.letterSpacing = *attributes.kern;
    if (attributes.shadow) copy.shadow = attributes.shadow;
    return copy;
}

QFont KZTextStyle::effectiveFont(const std::optional<QFont>& runFont) const
{
    QFont f = runFont ? *runFont : font;
    if (letterSpacing != 0) f.setLetterSpacing(QFont::AbsoluteSpacing, letterSpacing);
    return f;
}

QSizeF KZTextStyle::size(const QString& text) const
{
    return size(QList<Run>{Run{text, std::nullopt}});
}

QSizeF KZTextStyle::size(const QList<Run>& runs) const
{
    qreal width = 0, ascent = 0, descent = 0;
    for (const Run& run : runs) {
        const QFontMetricsF fm(effectiveFont(run.font));
        width += fm.horizontalAdvance(run.text);
        ascent = std::max(ascent, fm.ascent());
        descent = std::max(descent, fm.descent());
    }
    if (runs.isEmpty()) {
        const QFontMetricsF fm(effectiveFont());
        ascent = fm.ascent();
        descent = fm.descent();
    }
    return QSizeF(width, ascent + descent);
}

QColor KZTextStyle::resolvedColor(const QPalette& palette) const
{
    return color ? *color : palette.color(QPalette::Active, QPalette::WindowText);
}

QRectF KZTextStyle::draw(QPainter& painter, const QRectF& rect, const QString& text, const QPalette& palette) const
{
    QString shown = text;
    if (elideMode != Qt::ElideNone) {
        const QFontMetricsF fm(effectiveFont());
        shown = fm.elidedText(text, elideMode, std::max<qreal>(0, rect.width()));
    }
    return draw(painter, rect, QList<Run>{Run{shown, std::nullopt}}, palette);
}

QRectF KZTextStyle::draw(QPainter& painter, const QRectF& rect, const QList<Run>& runs, const QPalette& palette) const
{
    const QSizeF total = size(runs);
    qreal ascent = 0;
    for (const Run& run : runs) ascent = std::max(ascent, QFontMetricsF(effectiveFont(run.font)).ascent());
    if (runs.isEmpty()) return {};

    qreal x = rect.left();
    if (alignment & Qt::AlignHCenter)
        x = rect.left() + (rect.width() - total.width()) / 2;
    else if (alignment & Qt::AlignRight)
        x = rect.right() - total.width();
    qreal y = rect.top();
    if (alignment & Qt::AlignVCenter)
        y = rect.top() + (rect.height() - total.height()) / 2;
    else if (alignment & Qt::AlignBottom)
        y = rect.bottom() - total.height();
    const qreal baseline = y + ascent;

    auto paintRuns = [&](const QColor& colour, QPointF offset) {
        painter.setPen(colour);
        qreal cx = x;
        for (const Run& run : runs) {
            const QFont f = effectiveFont(run.font);
            painter.setFont(f);
            painter.drawText(QPointF(cx, baseline) + offset, run.text);
            cx += QFontMetricsF(f).horizontalAdvance(run.text);
        }
    };

    painter.save();
    if (shadow && shadow->color.alpha() > 0) {
        if (shadow->blurRadius <= 0) {
            paintRuns(shadow->color, shadow->offset);
        } else {
            // A soft shadow: a few faint copies around the offset.
            QColor faint = shadow->color;
            faint.setAlphaF(shadow->color.alphaF() / 4);
            const qreal r = shadow->blurRadius / 2;
            for (QPointF d : {QPointF(-r, 0), QPointF(r, 0), QPointF(0, -r), QPointF(0, r)})
                paintRuns(faint, shadow->offset + d);
        }
    }
    paintRuns(resolvedColor(palette), QPointF());
    painter.restore();
    return QRectF(QPointF(x, y), total);
}
