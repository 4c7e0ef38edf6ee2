#include "model/KZMemoryFormatter.h"

#include <algorithm>

KZMemoryFormatter::KZMemoryFormatter()
    : unitStrings_{QStringLiteral("bytes"), QStringLiteral("KB"), QStringLiteral("MB"), QStringLiteral("GB"),
                   QStringLiteral("TB"),    QStringLiteral("PB"), QStringLiteral("EB")}
{
}

double KZMemoryFormatter::convertBytes(double bytes, int unit) const
{
    double value = bytes;
    for (int i = 0; i < unit; ++i) value /= 1000.0;
    return value;
}

std::pair<double, QString> KZMemoryFormatter::arrayFromBytes(double bytes) const
{
    double value = convertBytes(bytes, minimumUnit_);
    int unit = minimumUnit_;
    do {
        if (!(value >= 1000.0)) break;
        value /= 1000.0;
        ++unit;
    } while (unit < maximumUnit_);
    const int index = std::clamp(std::min(unit, maximumUnit_), 0, int(unitStrings_.size()) - 1);
    return {value, unitStrings_.at(index)};
}

QString KZMemoryFormatter::stringFromBytes(double bytes) const
{
    const auto [value, unit] = arrayFromBytes(bytes);
    return QString::asprintf("%0.1f", value) + QLatin1Char(' ') + unit;
}

double KZMemoryFormatter::convertValue(double value, int fromUnit, int toUnit) const
{
    if (fromUnit == 0) return convertBytes(value, toUnit);
    if (toUnit >= fromUnit) return value;
    for (int i = toUnit; i < fromUnit; ++i) value *= 1000.0;
    return value;
}
