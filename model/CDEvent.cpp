#include "model/CDEvent.h"

#include "platform/KZPathString.h"

#include <QFile>
#include <QVariantMap>

#include <cstdio>

CDEventPtr CDEvent::eventWithIdentifier(uint64_t identifier, QDateTime date, std::string path, uint32_t flags)
{
    return std::make_shared<const CDEvent>(Key{}, identifier, std::move(date), std::move(path), flags);
}

CDEvent::CDEvent(Key, uint64_t identifier, QDateTime date, std::string path, uint32_t flags)
    : identifier_(identifier), date_(std::move(date)), path_(std::move(path)), flags_(flags)
{
}

QUrl CDEvent::URL() const
{
    return QUrl::fromLocalFile(kz::pathToQString(path_));
}

void CDEvent::encode(QDataStream& out) const
{
    QVariantMap map;
    map.insert(QStringLiteral("identifier"), QVariant::fromValue<quint64>(identifier_));
    map.insert(QStringLiteral("flags"), QVariant::fromValue<quint64>(flags_));
    map.insert(QStringLiteral("date"), date_);
    map.insert(QStringLiteral("URL"), URL());
    map.insert(QStringLiteral("path"), kz::toByteArray(path_));
    out << map;
}

CDEventPtr CDEvent::decode(QDataStream& in)
{
    QVariantMap map;
    in >> map;
    if (in.status() != QDataStream::Ok) return nullptr;
    std::string path = kz::toStdString(map.value(QStringLiteral("path")).toByteArray());
    if (path.empty()) path = kz::pathFromQString(map.value(QStringLiteral("URL")).toUrl().toLocalFile());
    return eventWithIdentifier(map.value(QStringLiteral("identifier")).toULongLong(),
                               map.value(QStringLiteral("date")).toDateTime(), std::move(path),
                               uint32_t(map.value(QStringLiteral("flags")).toULongLong()));
}

std::string CDEvent::description() const
{
    char head[96];
    std::snprintf(head, sizeof head, "<CDEvent: %p { identifier = %llu, URL = ", static_cast<const void*>(this),
                  static_cast<unsigned long long>(identifier_));
    char flags[48];
    std::snprintf(flags, sizeof flags, ", flags = %lu, date = ", static_cast<unsigned long>(flags_));
    return std::string(head) + URL().toString().toStdString() + flags +
           date_.toString(Qt::ISODateWithMs).toStdString() + " }>";
}
