#include "platform/KZNotifier.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QVariantMap>

namespace {
KZNotifier* overridden = nullptr;

const QString service = QStringLiteral("org.freedesktop.Notifications");
} // namespace

KZNotifier& KZNotifier::shared()
{
    static KZDBusNotifier real;
    return overridden ? *overridden : real;
}

void KZNotifier::setShared(KZNotifier* notifier)
{
    overridden = notifier;
}

void KZDBusNotifier::deliver(const KZUserNotification& n)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return;
    if (auto* iface = bus.interface(); !iface || !iface->isServiceRegistered(service)) return;

    // The freedesktop call has a summary and a body; the subtitle leads the body.
    QString body = n.subtitle;
    if (!n.informativeText.isEmpty()) body += (body.isEmpty() ? QString() : QStringLiteral("\n")) + n.informativeText;
    QStringList actions;
    if (!n.actionButtonTitle.isEmpty()) actions << QStringLiteral("default") << n.actionButtonTitle;
    QVariantMap hints;
    if (n.playsSound) hints.insert(QStringLiteral("sound-name"), QStringLiteral("message-new-instant"));

    QDBusMessage call = QDBusMessage::createMethodCall(service, QStringLiteral("/org/freedesktop/Notifications"),
                                                       service, QStringLiteral("Notify"));
    call << QStringLiteral("Sizemere") << uint(0) << QStringLiteral("sizemere") << n.title << body << actions << hints
         << int(-1);
    bus.asyncCall(call); // the reply (an id, or an error) is of no use to us
}
