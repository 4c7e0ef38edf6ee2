#pragma once
// Colour helpers: colours from hue in degrees and saturation/brightness in percent, the
// CIE L*a*b* value of a colour (D65 white), its luminance, and a text colour that reads on it.

#include <QColor>

#include <array>
#include <optional>

// Hue in degrees (0-360), saturation and brightness in percent (0-100).
QColor kz_colorWithEasyHue(double hue, double saturation, double brightness, double alpha = 1.0);
// L* (0-100), a*, b* of the colour taken as sRGB; nullopt for an invalid colour.
std::optional<std::array<double, 3>> kz_labColor(const QColor& color);
// L* / 100 (0 to 1); 0 for a colour that can't be converted.
double kz_luminance(const QColor& color);
// Luminance below 0.6.
bool kz_isDarkColor(const QColor& color);
// White at 0.9 alpha on a dark colour, else a near-black grey (brightness 0.2).
QColor kz_legibleTextColor(const QColor& background);
