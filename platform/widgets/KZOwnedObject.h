#pragma once
// The owning pointer for a QObject that its holder owns but must not destroy at once: the
// object may be in the middle of one of its own signals or callbacks when its holder lets it
// go (a popover reporting its close, a toolbar whose button was just clicked), so it is
// released with deleteLater(). Holding one says "ours"; a QPointer member says "someone
// else's, watched".
//
// An owned object is given no Qt parent that could destroy it first, or is taken back from
// that parent before its holder lets it go.

#include <QObject>

#include <memory>

struct KZDeleteLater {
    void operator()(QObject* object) const
    {
        if (object) object->deleteLater();
    }
};

template <class T>
using KZOwnedObject = std::unique_ptr<T, KZDeleteLater>;

// Makes an owned object: kz_makeOwned<QToolBar>(title).
template <class T, class... Args>
KZOwnedObject<T> kz_makeOwned(Args&&... args)
{
    return KZOwnedObject<T>(new T(std::forward<Args>(args)...));
}
