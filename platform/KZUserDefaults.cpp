#include "platform/KZUserDefaults.h"

#include "platform/KZLog.h"
#include "platform/KZPathString.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QStandardPaths>

#include <cmath>
#include <limits>
#include <memory>

namespace {

std::unique_ptr<KZUserDefaults>& standardInstance()
{
    static std::unique_ptr<KZUserDefaults> instance;
    return instance;
}

QString& overriddenLocation()
{
    static QString path;
    return path;
}

std::mutex& standardMutex()
{
    static std::mutex m;
    return m;
}

const QString kBytesKey = QStringLiteral("$bytes");

bool carriesRawBytes(const QString& s)
{
    for (QChar c : s)
        if (c.unicode() >= 0xDC80 && c.unicode() <= 0xDCFF) return true;
    return false;
}

// JSON can't hold the escaped bytes, so such strings are written as {"$bytes": base64}.
QJsonValue toJson(const QVariant& v)
{
    if (v.metaType().id() == QMetaType::QString) {
        const QString s = v.toString();
        if (carriesRawBytes(s)) {
            const std::string raw = kz::pathFromQString(s);
            return QJsonObject{{kBytesKey, QString::fromLatin1(kz::toByteArray(raw).toBase64())}};
        }
        return s;
    }
    if (v.metaType().id() == QMetaType::QStringList || v.metaType().id() == QMetaType::QVariantList) {
        QJsonArray a;
        for (const QVariant& e : v.toList()) a.append(toJson(e));
        return a;
    }
    if (v.metaType().id() == QMetaType::QVariantMap) {
        QJsonObject o;
        const QVariantMap m = v.toMap();
        for (auto it = m.begin(); it != m.end(); ++it) o.insert(it.key(), toJson(it.value()));
        return o;
    }
    return QJsonValue::fromVariant(v);
}

QVariant fromJson(const QJsonValue& v)
{
    if (v.isObject()) {
        const QJsonObject o = v.toObject();
        if (o.size() == 1 && o.value(kBytesKey).isString()) {
            const QByteArray raw = QByteArray::fromBase64(o.value(kBytesKey).toString().toLatin1());
            return kz::pathToQString(std::string_view(raw.constData(), size_t(raw.size())));
        }
        QVariantMap m;
        for (auto it = o.begin(); it != o.end(); ++it) m.insert(it.key(), fromJson(it.value()));
        return m;
    }
    if (v.isArray()) {
        QVariantList l;
        for (const QJsonValue& e : v.toArray()) l.append(fromJson(e));
        return l;
    }
    return v.toVariant();
}

bool isStringList(const QVariant& v)
{
    if (v.metaType().id() == QMetaType::QStringList) return true;
    if (v.metaType().id() != QMetaType::QVariantList) return false;
    for (const QVariant& e : v.toList())
        if (e.metaType().id() != QMetaType::QString) return false;
    return true;
}

bool isNumber(const QVariant& v)
{
    switch (v.metaType().id()) {
    case QMetaType::Double:
    case QMetaType::Float:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
        return true;
    default:
        return false;
    }
}

} // namespace

KZUserDefaults& KZUserDefaults::standardUserDefaults()
{
    std::lock_guard lock(standardMutex());
    auto& instance = standardInstance();
    if (!instance) instance = std::make_unique<KZUserDefaults>(standardLocation());
    return *instance;
}

QString KZUserDefaults::standardLocation()
{
    if (!overriddenLocation().isEmpty()) return overriddenLocation();
    QString base = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    if (base.isEmpty()) base = QDir::homePath() + QStringLiteral("/.config");
    return base + QStringLiteral("/Sizemere/settings.json");
}

void KZUserDefaults::setStandardLocation(const QString& filePath)
{
    {
        std::lock_guard lock(standardMutex());
        overriddenLocation() = filePath;
        auto& instance = standardInstance();
        if (instance) {
            std::lock_guard inner(instance->mutex_);
            instance->filePath_ = standardLocation();
            instance->load();
            return;
        }
    }
}

KZUserDefaults::KZUserDefaults(QString filePath) : filePath_(std::move(filePath))
{
    load();
}

void KZUserDefaults::registerDefaults(const QVariantMap& defaults)
{
    std::lock_guard lock(mutex_);
    for (auto it = defaults.begin(); it != defaults.end(); ++it) registered_.insert(it.key(), it.value());
}

QVariantMap KZUserDefaults::registeredDefaults() const
{
    std::lock_guard lock(mutex_);
    return registered_;
}

QVariant KZUserDefaults::objectForKey(const QString& key) const
{
    std::lock_guard lock(mutex_);
    auto it = stored_.find(key);
    if (it != stored_.end()) return it.value();
    return registered_.value(key);
}

bool KZUserDefaults::hasStoredValue(const QString& key) const
{
    std::lock_guard lock(mutex_);
    return stored_.contains(key);
}

std::optional<QVariant> KZUserDefaults::typed(const QString& key, int metaType) const
{
    std::lock_guard lock(mutex_);
    auto accept = [metaType](const QVariant& v) -> bool {
        switch (metaType) {
        case QMetaType::Bool:
            return v.metaType().id() == QMetaType::Bool || isNumber(v);
        case QMetaType::Double:
            return isNumber(v) && std::isfinite(v.toDouble());
        case QMetaType::LongLong:
            return isNumber(v) && std::isfinite(v.toDouble());
        case QMetaType::QString:
            return v.metaType().id() == QMetaType::QString;
        case QMetaType::QStringList:
            return isStringList(v);
        default:
            return false;
        }
    };
    auto s = stored_.find(key);
    if (s != stored_.end() && accept(s.value())) return s.value();
    auto r = registered_.find(key);
    if (r != registered_.end() && accept(r.value())) return r.value();
    return std::nullopt;
}

bool KZUserDefaults::boolForKey(const QString& key) const
{
    auto v = typed(key, QMetaType::Bool);
    if (!v) return false;
    if (v->metaType().id() == QMetaType::Bool) return v->toBool();
    return v->toDouble() != 0.0;
}

double KZUserDefaults::doubleForKey(const QString& key) const
{
    auto v = typed(key, QMetaType::Double);
    return v ? v->toDouble() : 0.0;
}

qint64 KZUserDefaults::integerForKey(const QString& key) const
{
    auto v = typed(key, QMetaType::LongLong);
    if (!v) return 0;
    const double d = v->toDouble();
    if (d >= 9.2e18) return std::numeric_limits<qint64>::max();
    if (d <= -9.2e18) return std::numeric_limits<qint64>::min();
    return v->metaType().id() == QMetaType::Double ? qint64(d) : v->toLongLong();
}

QString KZUserDefaults::stringForKey(const QString& key) const
{
    auto v = typed(key, QMetaType::QString);
    return v ? v->toString() : QString();
}

std::optional<QStringList> KZUserDefaults::stringArrayForKey(const QString& key) const
{
    auto v = typed(key, QMetaType::QStringList);
    if (!v) return std::nullopt;
    return v->toStringList();
}

void KZUserDefaults::setObject(const QString& key, const QVariant& value)
{
    std::lock_guard lock(mutex_);
    if (!value.isValid() || value.isNull()) {
        stored_.remove(key);
    } else {
        stored_.insert(key, value);
    }
    save();
}

void KZUserDefaults::removeObject(const QString& key)
{
    std::lock_guard lock(mutex_);
    stored_.remove(key);
    save();
}

bool KZUserDefaults::synchronize()
{
    std::lock_guard lock(mutex_);
    return save();
}

void KZUserDefaults::reload()
{
    std::lock_guard lock(mutex_);
    load();
}

void KZUserDefaults::load()
{
    stored_.clear();
    QFile file(filePath_);
    if (!file.exists()) return;
    if (!file.open(QIODevice::ReadOnly)) {
        KZSystemLog(QStringLiteral("Could not read the settings at %1: %2").arg(filePath_, file.errorString()));
        return;
    }
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(file.readAll(), &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject()) {
        KZSystemLog(QStringLiteral("The settings at %1 are damaged; using defaults").arg(filePath_));
        return;
    }
    const QJsonObject root = doc.object();
    for (auto it = root.begin(); it != root.end(); ++it) stored_.insert(it.key(), fromJson(it.value()));
}

bool KZUserDefaults::save()
{
    QDir().mkpath(QFileInfo(filePath_).absolutePath());
    QJsonObject root;
    for (auto it = stored_.begin(); it != stored_.end(); ++it) root.insert(it.key(), toJson(it.value()));
    QSaveFile file(filePath_);
    if (!file.open(QIODevice::WriteOnly) || file.write(QJsonDocument(root).toJson(QJsonDocument::Indented)) < 0 ||
        !file.commit()) {
        KZSystemLog(QStringLiteral("Could not write the settings at %1: %2").arg(filePath_, file.errorString()));
        return false;
    }
    return true;
}
