#pragma once
// Finding the font size at which a string fits a box.

#include <QFont>
#include <QSizeF>
#include <QString>

#include <optional>

// The smaller of (box width - padding) / width and (box height - padding) / height.
double kz_scaleToAspectFit(QSizeF size, QSizeF box, double padding);
// The base font at the size where the string fits the box: measured at 12 pixels and scaled.
// None for an empty string, and (so a control keeps its font) for a box or a measure that
// gives no positive finite size.
std::optional<QFont> kz_fontToFitSize(const QString& string, QSizeF box, const QFont& baseFont);
