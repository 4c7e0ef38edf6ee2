#pragma once
// Colour helpers shared by the treemap and the controls: perceived lightness (CIE L* of the
// colour taken as sRGB, D65 white), a dark test, a text colour that reads on a background,
// and colours from hue in degrees with saturation and brightness in percent.

#include <QColor>

// L* / 100 (0 black to 1 white); 0 for an invalid colour.
double kz_luminance(const QColor& color);
// True when the luminance is below 0.6 (exactly 0.6 is not dark).
bool kz_isDarkColor(const QColor& color);
// White at alpha 0.9 on a dark colour, else a near-black grey (brightness 0.2).
QColor kz_legibleTextColor(const QColor& background);
// Hue in degrees (0-360), saturation and brightness in percent (0-100).
QColor kz_colorWithEasyHue(double hue, double saturation, double brightness, double alpha = 1.0);
// The colour moved `fraction` of the way towards `other` in RGB (0 keeps it, 1 gives other).
QColor kz_blendedColor(const QColor& color, double fraction, const QColor& other);
