#pragma once
// The owning pointer for a QObject that its holder owns but must not destroy at once: the
// object may be in the middle of one of its own signals or callbacks when its holder lets it
// go (a popover reporting its close, a toolbar whose button was just clicked), so it is
// released with deleteLater(). Holding one (or a KZOwnedWidget, below) says "ours"; a
// QPointer member says "someone else's, watched".
//
// An owned object is given no Qt parent that could destroy it first, or is taken back from
// that parent before its holder lets it go.

#include <QObject>
#include <QPointer>

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

// The owning pointer for an object that its holder owns while a Qt parent it is placed in may
// destroy it first (a controller's view inside a window's layout, a dialog that deletes itself
// when it closes): the holder destroys it when it goes, if it is still there; once something
// else has destroyed it, it reads null.
template <class T>
class KZOwnedWidget {
public:
    KZOwnedWidget() = default;
    explicit KZOwnedWidget(T* object) : object_(object) {}
    ~KZOwnedWidget() { delete object_.data(); }
    KZOwnedWidget(const KZOwnedWidget&) = delete;
    KZOwnedWidget& operator=(const KZOwnedWidget&) = delete;

    // Destroys what it held (if still there) and holds `object`.
    void reset(T* object = nullptr)
    {
        if (object_.data() != object) delete object_.data();
        object_ = object;
    }
    T* get() const { return object_.data(); }
    T* operator->() const { return object_.data(); }
    operator T*() const { return object_.data(); }
    bool isNull() const { return object_.isNull(); }

private:
    QPointer<T> object_;
};
