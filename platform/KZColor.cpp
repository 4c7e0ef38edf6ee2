#include "platform/KZColor.h"

#include <algorithm>
#include <cmath>

namespace {
double linearized(double c)
{
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}
} // namespace

double kz_luminance(const QColor& color)
{
    if (!color.isValid()) return 0;
    const QColor rgb = color.toRgb();
    // Relative luminance Y of sRGB (D65), then L* against the white point's Y of 1.
    const double y = 0.2126729 * linearized(rgb.redF()) + 0.7151522 * linearized(rgb.greenF()) +
                     0.0721750 * linearized(rgb.blueF());
    constexpr double epsilon = 216.0 / 24389.0;
    constexpr double kappa = 24389.0 / 27.0;
    const double lightness = y > epsilon ? 116.0 * std::cbrt(y) - 16.0 : kappa * y;
    return std::clamp(lightness, 0.0, 100.0) / 100.0;
}

bool kz_isDarkColor(const QColor& color)
{
    return kz_luminance(color) < 0.6;
}

QColor kz_legibleTextColor(const QColor& background)
{
    if (kz_isDarkColor(background)) return QColor::fromRgbF(1.0f, 1.0f, 1.0f, 0.9f);
    return kz_colorWithEasyHue(12, 0, 20);
}

QColor kz_colorWithEasyHue(double hue, double saturation, double brightness, double alpha)
{
    const double h = std::clamp(hue / 360.0, 0.0, 1.0);
    return QColor::fromHsvF(float(h >= 1.0 ? 0.0 : h), float(std::clamp(saturation / 100.0, 0.0, 1.0)),
                            float(std::clamp(brightness / 100.0, 0.0, 1.0)), float(std::clamp(alpha, 0.0, 1.0)));
}

QColor kz_blendedColor(const QColor& color, double fraction, const QColor& other)
{
    const QColor a = color.toRgb(), b = other.toRgb();
    const float f = float(std::clamp(fraction, 0.0, 1.0));
    auto mix = [f](float x, float y) { return x + (y - x) * f; };
    return QColor::fromRgbF(mix(a.redF(), b.redF()), mix(a.greenF(), b.greenF()), mix(a.blueF(), b.blueF()),
                            mix(a.alphaF(), b.alphaF()));
}
