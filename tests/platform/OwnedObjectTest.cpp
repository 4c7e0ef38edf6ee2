// The owning pointer that lets a QObject go on a later turn of the event loop.
#include "platform/widgets/KZOwnedObject.h"

#include <QCoreApplication>
#include <QPointer>
#include <gtest/gtest.h>

namespace {

void runDeferredDeletes()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

TEST(OwnedObject, LetsItsObjectGoOnALaterTurnEvenFromInsideTheObjectsOwnSignal)
{
    QPointer<QObject> watched;
    {
        KZOwnedObject<QObject> owned = kz_makeOwned<QObject>();
        watched = owned.get();
    }
    EXPECT_FALSE(watched.isNull()) << "not at once";
    runDeferredDeletes();
    EXPECT_TRUE(watched.isNull());

    // Let go inside its own signal: the object finishes the signal alive.
    KZOwnedObject<QObject> owned = kz_makeOwned<QObject>();
    watched = owned.get();
    bool aliveAfterReset = false;
    QObject::connect(owned.get(), &QObject::objectNameChanged, [&] {
        owned.reset();
        aliveAfterReset = !watched.isNull();
    });
    watched->setObjectName(QStringLiteral("x"));
    EXPECT_TRUE(aliveAfterReset);
    EXPECT_FALSE(owned);
    runDeferredDeletes();
    EXPECT_TRUE(watched.isNull());

    // Nothing owned: nothing happens.
    KZOwnedObject<QObject> none;
    none.reset();
}

} // namespace
