#pragma once
// Named notifications between components: observers register a handler for a name and are
// called synchronously, on the posting thread, in registration order. Removal is by token,
// or for every handler tied to a context object; both are safe during a delivery, and a
// handler whose context has been destroyed is never called.

#include <QPointer>
#include <QString>
#include <QVariantMap>

#include <functional>
#include <mutex>
#include <vector>

struct KZNotification {
    QString name;
    QVariantMap userInfo;
};

class KZNotificationCenter {
public:
    using Token = quint64;
    using Handler = std::function<void(const KZNotification&)>;

    static KZNotificationCenter& defaultCenter();

    KZNotificationCenter() = default;
    KZNotificationCenter(const KZNotificationCenter&) = delete;
    KZNotificationCenter& operator=(const KZNotificationCenter&) = delete;

    Token addObserver(const QString& name, Handler handler, const QObject* context = nullptr);
    void removeObserver(Token token);
    void removeObservers(const QObject* context);
    void post(const QString& name, const QVariantMap& userInfo = {});
    int observerCount(const QString& name) const;

private:
    struct Entry {
        Token token;
        QString name;
        std::shared_ptr<Handler> handler;
        QPointer<QObject> context;
        bool hasContext;
    };
    mutable std::mutex mutex_;
    std::vector<Entry> entries_;
    Token nextToken_ = 1;
};

// Removes its observer when it goes out of scope.
class KZObserverToken {
public:
    KZObserverToken() = default;
    KZObserverToken(KZNotificationCenter* center, KZNotificationCenter::Token token) : center_(center), token_(token) {}
    KZObserverToken(KZObserverToken&& o) noexcept { *this = std::move(o); }
    KZObserverToken& operator=(KZObserverToken&& o) noexcept
    {
        if (this != &o) {
            reset();
            center_ = o.center_;
            token_ = o.token_;
            o.center_ = nullptr;
        }
        return *this;
    }
    ~KZObserverToken() { reset(); }
    void reset()
    {
        if (center_) center_->removeObserver(token_);
        center_ = nullptr;
    }

private:
    KZNotificationCenter* center_ = nullptr;
    KZNotificationCenter::Token token_ = 0;
};
