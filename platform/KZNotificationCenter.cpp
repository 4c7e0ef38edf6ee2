#include "platform/KZNotificationCenter.h"

#include <algorithm>

KZNotificationCenter& KZNotificationCenter::defaultCenter()
{
    static KZNotificationCenter center;
    return center;
}

KZNotificationCenter::Token KZNotificationCenter::addObserver(const QString& name, Handler handler,
                                                              const QObject* context)
{
    std::lock_guard lock(mutex_);
    const Token token = nextToken_++;
    entries_.push_back(Entry{token, name, std::make_shared<Handler>(std::move(handler)),
                             QPointer<QObject>(const_cast<QObject*>(context)), context != nullptr});
    return token;
}

void KZNotificationCenter::removeObserver(Token token)
{
    std::lock_guard lock(mutex_);
    std::erase_if(entries_, [token](const Entry& e) { return e.token == token; });
}

void KZNotificationCenter::removeObservers(const QObject* context)
{
    std::lock_guard lock(mutex_);
    std::erase_if(entries_,
                  [context](const Entry& e) { return e.hasContext && (!e.context || e.context.data() == context); });
}

void KZNotificationCenter::post(const QString& name, const QVariantMap& userInfo)
{
    std::vector<Token> tokens;
    {
        std::lock_guard lock(mutex_);
        std::erase_if(entries_, [](const Entry& e) { return e.hasContext && !e.context; });
        for (const auto& e : entries_)
            if (e.name == name) tokens.push_back(e.token);
    }
    const KZNotification note{name, userInfo};
    for (Token token : tokens) {
        std::shared_ptr<Handler> handler;
        {
            // Looked up again: an earlier handler may have removed this one.
            std::lock_guard lock(mutex_);
            auto it =
                std::find_if(entries_.begin(), entries_.end(), [token](const Entry& e) { return e.token == token; });
            if (it == entries_.end() || (it->hasContext && !it->context)) continue;
            handler = it->handler;
        }
        if (handler && *handler) (*handler)(note);
    }
}

int KZNotificationCenter::observerCount(const QString& name) const
{
    std::lock_guard lock(mutex_);
    return int(std::count_if(entries_.begin(), entries_.end(),
                             [&](const Entry& e) { return e.name == name && (!e.hasContext || e.context); }));
}
