#pragma once
// Formats byte counts with decimal units ("bytes", "KB" ... "EB", steps of 1000) and converts
// values typed in one unit into another.

#include <QString>
#include <QStringList>

#include <utility>

class KZMemoryFormatter {
public:
    KZMemoryFormatter();

    // The value scaled into the largest unit (between minimumUnit and maximumUnit) that keeps
    // it at least 1, and that unit's name.
    std::pair<double, QString> arrayFromBytes(double bytes) const;
    // "12.3 MB": the value with one decimal, a blank, the unit.
    QString stringFromBytes(double bytes) const;
    // Bytes divided by 1000 once per unit step; unit indexes below 1 return the bytes.
    double convertBytes(double bytes, int unit) const;
    double convertValue(double value, int fromUnit, int toUnit) const;

    int minimumUnit() const { return minimumUnit_; }
    void setMinimumUnit(int unit) { minimumUnit_ = unit; }
    int maximumUnit() const { return maximumUnit_; }
    void setMaximumUnit(int unit) { maximumUnit_ = unit; }
    const QStringList& unitStrings() const { return unitStrings_; }
    // The number of units (the valid indexes are 0 ..< unitCount()).
    static int unitCount() { return 7; }

private:
    int minimumUnit_ = 0;
    int maximumUnit_ = 6;
    QStringList unitStrings_;
};
