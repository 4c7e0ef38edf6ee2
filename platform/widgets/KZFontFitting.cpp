#include "platform/widgets/KZFontFitting.h"

#include <QFontMetricsF>

#include <algorithm>
#include <cmath>

double kz_scaleToAspectFit(QSizeF size, QSizeF box, double padding)
{
    return std::min((box.width() - padding) / size.width(), (box.height() - padding) / size.height());
}

std::optional<QFont> kz_fontToFitSize(const QString& string, QSizeF box, const QFont& baseFont)
{
    if (string.isEmpty()) return std::nullopt;
    QFont reference = baseFont;
    reference.setPixelSize(12);
    const QFontMetricsF fm(reference);
    const QSizeF measured(fm.horizontalAdvance(string), fm.height());
    if (measured.width() <= 0 || measured.height() <= 0) return std::nullopt;
    const double factor = kz_scaleToAspectFit(measured, box, 0);
    const double pixels = 12.0 * factor;
    if (!std::isfinite(pixels) || pixels < 1) return std::nullopt;
    QFont fitted = baseFont;
    fitted.setPixelSize(int(std::floor(pixels)));
    return fitted;
}
