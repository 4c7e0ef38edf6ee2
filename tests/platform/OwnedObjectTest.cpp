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

TEST(OwnedWidget, DestroysItsObjectWithItsHolderUnlessSomethingElseDidFirst)
{
    QPointer<QObject> watched;
    {
        KZOwnedWidget<QObject> owned(new QObject);
        watched = owned.get();
    }
    EXPECT_TRUE(watched.isNull()) << "at once, with its holder";

    // A parent that goes first takes the object with it: the holder reads null and leaves it.
    auto* parent = new QObject;
    KZOwnedWidget<QObject> child(new QObject(parent));
    delete parent;
    EXPECT_TRUE(child.isNull());
    EXPECT_EQ(child.get(), nullptr);

    // Holding another object destroys the first.
    KZOwnedWidget<QObject> held(new QObject);
    watched = held.get();
    held.reset(new QObject);
    EXPECT_TRUE(watched.isNull());
    EXPECT_FALSE(held.isNull());
}

} // namespace
