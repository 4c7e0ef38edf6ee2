#include "platform/KZColorUtilities.h"

#include <algorithm>
#include <cmath>

QColor kz_colorWithEasyHue(double hue, double saturation, double brightness, double alpha)
{
    auto unit = [](double v) { return float(std::clamp(v, 0.0, 1.0)); };
    double h = hue / 360.0;
    h -= std::floor(h); // 360 degrees is red again
    return QColor::fromHsvF(unit(h), unit(saturation / 100.0), unit(brightness / 100.0), unit(alpha));
}

std::optional<std::array<double, 3>> kz_labColor(const QColor& color)
{
    if (!color.isValid()) return std::nullopt;
    const QColor rgb = color.toRgb();
    auto linear = [](double c) { return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4); };
    const double r = linear(rgb.redF()), g = linear(rgb.greenF()), b = linear(rgb.blueF());
    // sRGB to XYZ (D65).
    const double x = 0.4124564 * r + 0.3575761 * g + 0.1804375 * b;
    const double y = 0.2126729 * r + 0.7151522 * g + 0.0721750 * b;
    const double z = 0.0193339 * r + 0.1191920 * g + 0.9503041 * b;
    constexpr double xn = 0.95047, yn = 1.0, zn = 1.08883;
    auto f = [](double t) {
        constexpr double d = 6.0 / 29.0;
        return t > d * d * d ? std::cbrt(t) : t / (3 * d * d) + 4.0 / 29.0;
    };
    const double fx = f(x / xn), fy = f(y / yn), fz = f(z / zn);
    return std::array<double, 3>{116.0 * fy - 16.0, 500.0 * (fx - fy), 200.0 * (fy - fz)};
}

double kz_luminance(const QColor& color)
{
    const auto lab = kz_labColor(color);
    return lab ? (*lab)[0] / 100.0 : 0.0;
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
