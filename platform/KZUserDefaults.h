#pragma once
// The settings store: one JSON object in a file under the XDG config folder, rewritten
// atomically on every change, with registered defaults held in memory only. A value of the
// wrong type (a hand-edited file) reads as the registered default, else as false, 0 or null.
// Strings that carry bytes which are not UTF-8 (see KZPathString) survive a round trip.

#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantMap>

#include <mutex>
#include <optional>

class KZUserDefaults {
public:
    // The process-wide store at standardLocation().
    static KZUserDefaults& standardUserDefaults();
    // $XDG_CONFIG_HOME/Sizemere/settings.json unless replaced with setStandardLocation().
    static QString standardLocation();
    // Points the process-wide store at another file and reloads it (tests).
    static void setStandardLocation(const QString& filePath);

    explicit KZUserDefaults(QString filePath);

    void registerDefaults(const QVariantMap& defaults);
    QVariantMap registeredDefaults() const;

    // The stored value, else the registered default, else an invalid QVariant.
    QVariant objectForKey(const QString& key) const;
    bool boolForKey(const QString& key) const;
    double doubleForKey(const QString& key) const;
    qint64 integerForKey(const QString& key) const;
    QString stringForKey(const QString& key) const;
    // Null when neither stored nor registered value is a list of strings.
    std::optional<QStringList> stringArrayForKey(const QString& key) const;
    bool hasStoredValue(const QString& key) const;

    void setObject(const QString& key, const QVariant& value);
    void setBool(const QString& key, bool value) { setObject(key, value); }
    void setDouble(const QString& key, double value) { setObject(key, value); }
    void setInteger(const QString& key, qint64 value) { setObject(key, value); }
    void removeObject(const QString& key);
    // Writes the file now; false (and a log line) when it can't be written.
    bool synchronize();
    void reload();
    QString filePath() const { return filePath_; }

private:
    std::optional<QVariant> typed(const QString& key, int metaType) const;
    void load();
    bool save();

    mutable std::recursive_mutex mutex_;
    QString filePath_;
    QVariantMap stored_;
    QVariantMap registered_;
};
