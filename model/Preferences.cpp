#include "model/Preferences.h"

#include "platform/KZUserDefaults.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>

namespace {

// The checks of the table: what a loaded or set value becomes.
template <class T>
T anyValue(T value)
{
    return value;
}
// A size below zero counts as zero.
double notNegative(double value)
{
    return value < 0 ? 0 : value;
}
// A unit index the formatter doesn't have would index past its unit names.
qint64 formatterUnit(qint64 value)
{
    return std::clamp<qint64>(value, 0, KZMemoryFormatter::unitCount() - 1);
}

// Each type's reading from the store and its stored form (invalid: remove the key).
template <class T>
struct StoredForm;
template <>
struct StoredForm<bool> {
    static bool read(const KZUserDefaults& d, const QString& key) { return d.boolForKey(key); }
    static QVariant write(bool v) { return QVariant(v); }
};
template <>
struct StoredForm<double> {
    static double read(const KZUserDefaults& d, const QString& key) { return d.doubleForKey(key); }
    static QVariant write(double v) { return QVariant(v); }
};
template <>
struct StoredForm<qint64> {
    static qint64 read(const KZUserDefaults& d, const QString& key) { return d.integerForKey(key); }
    static QVariant write(qint64 v) { return QVariant::fromValue(v); }
};
template <>
struct StoredForm<QString> {
    static QString read(const KZUserDefaults& d, const QString& key) { return d.stringForKey(key); }
    static QVariant write(const QString& v) { return v.isNull() ? QVariant() : QVariant(v); }
};
template <>
struct StoredForm<std::optional<QStringList>> {
    static std::optional<QStringList> read(const KZUserDefaults& d, const QString& key)
    {
        return d.stringArrayForKey(key);
    }
    static QVariant write(const std::optional<QStringList>& v) { return v ? QVariant(*v) : QVariant(); }
};

// A registered default as the store takes it; none for std::nullopt.
std::optional<QVariant> registeredDefault(std::nullopt_t)
{
    return std::nullopt;
}
template <class T>
std::optional<QVariant> registeredDefault(const T& value)
{
    return QVariant(value);
}

} // namespace

Preferences& Preferences::sharedPreferences()
{
    static Preferences* shared = new Preferences(KZUserDefaults::standardUserDefaults());
    return *shared;
}

Preferences::Preferences(KZUserDefaults& defaults, QObject* parent) : QObject(parent), defaults_(defaults)
{
#define SIZEMERE_PREFERENCE_MAP(Type, name, Name, key, registered, check)                                              \
    propertyMap_.insert(QStringLiteral(#name), Name##Key);
    SIZEMERE_PREFERENCES(SIZEMERE_PREFERENCE_MAP)
#undef SIZEMERE_PREFERENCE_MAP
    setupDefaults();
    populateProperties();
}

Preferences::~Preferences() = default;

QStringList Preferences::defaultIgnoredPaths()
{
    QFile file(QStringLiteral(":/IgnoreList.json"));
    if (!file.open(QIODevice::ReadOnly)) return {};
    const QJsonDocument doc = QJsonDocument::fromJson(file.readAll());
    if (!doc.isObject()) return {};
    const QJsonValue list = doc.object().value(QStringLiteral("Preferences"));
    if (!list.isArray()) return {};
    QStringList out;
    for (const QJsonValue& v : list.toArray())
        if (v.isString()) out.append(v.toString());
    return out;
}

void Preferences::setupDefaults()
{
    QVariantMap registered;
#define SIZEMERE_PREFERENCE_DEFAULT(Type, name, Name, key, value, check)                                               \
    if (const std::optional<QVariant> v = registeredDefault(value)) registered.insert(Name##Key, *v);
    SIZEMERE_PREFERENCES(SIZEMERE_PREFERENCE_DEFAULT)
#undef SIZEMERE_PREFERENCE_DEFAULT
    defaults_.registerDefaults(registered);
}

void Preferences::populateProperties()
{
    // Loaded without writing anything back.
#define SIZEMERE_PREFERENCE_LOAD(Type, name, Name, key, registered, check)                                             \
    name##_ = check(StoredForm<Type>::read(defaults_, Name##Key));
    SIZEMERE_PREFERENCES(SIZEMERE_PREFERENCE_LOAD)
#undef SIZEMERE_PREFERENCE_LOAD
}

void Preferences::writeThrough(const QString& key, const QVariant& value)
{
    if (!value.isValid() || value.isNull()) {
        defaults_.removeObject(key);
    } else {
        defaults_.setObject(key, value);
    }
}

#define SIZEMERE_PREFERENCE_SETTER(Type, name, Name, key, registered, check)                                           \
    void Preferences::set##Name(PreferenceArgument<Type> value)                                                        \
    {                                                                                                                  \
        name##_ = check(Type(value));                                                                                  \
        writeThrough(Name##Key, StoredForm<Type>::write(name##_));                                                     \
        Q_EMIT name##Changed();                                                                                        \
        Q_EMIT propertyChanged(QStringLiteral(#name));                                                                 \
    }
SIZEMERE_PREFERENCES(SIZEMERE_PREFERENCE_SETTER)
#undef SIZEMERE_PREFERENCE_SETTER

void Preferences::incrementTimesRun()
{
    setTimesRun(timesRun_ + 1);
}

void Preferences::addIgnoredFilePaths(const QStringList& paths)
{
    QStringList added = paths;
    if (ignoredPaths_) {
        const QStringList& current = *ignoredPaths_;
        added.erase(std::remove_if(added.begin(), added.end(),
                                   [&current](const QString& p) { return current.contains(p); }),
                    added.end());
        setIgnoredPaths(current + added);
    } else {
        setIgnoredPaths(added);
    }
}
