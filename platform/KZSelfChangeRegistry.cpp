#include "platform/KZSelfChangeRegistry.h"

namespace {

std::string_view withoutTrailingSlash(std::string_view path)
{
    while (path.size() > 1 && path.back() == '/') path.remove_suffix(1);
    return path;
}

} // namespace

KZSelfChangeRegistry& KZSelfChangeRegistry::shared()
{
    static auto* registry = new KZSelfChangeRegistry; // used by background work until exit
    return *registry;
}

KZSelfChangeRegistry::KZSelfChangeRegistry(std::chrono::milliseconds gracePeriod) : grace_(gracePeriod) {}

void KZSelfChangeRegistry::setClock(std::function<Clock::time_point()> now)
{
    std::lock_guard lock(mutex_);
    clock_ = std::move(now);
}

KZSelfChangeRegistry::Token KZSelfChangeRegistry::beginChange(std::string_view path)
{
    std::lock_guard lock(mutex_);
    const Clock::time_point t = now();
    if (entries_.size() >= pruneAt_) prune(t);
    std::string key(withoutTrailingSlash(path));
    ++entries_[key].active;
    const Token token = nextToken_++;
    tokens_.emplace(token, std::move(key));
    return token;
}

void KZSelfChangeRegistry::endChange(Token token)
{
    std::lock_guard lock(mutex_);
    auto it = tokens_.find(token);
    if (it == tokens_.end()) return;
    auto entry = entries_.find(it->second);
    if (entry != entries_.end()) {
        if (entry->second.active > 0) --entry->second.active;
        entry->second.until = now() + grace_;
    }
    tokens_.erase(it);
}

bool KZSelfChangeRegistry::isOwnChange(std::string_view path) const
{
    path = withoutTrailingSlash(path);
    if (path.empty()) return false;
    std::lock_guard lock(mutex_);
    if (entries_.empty()) return false;
    const Clock::time_point t = now();
    auto marked = [&](std::string_view p) {
        auto it = entries_.find(std::string(p));
        return it != entries_.end() && (it->second.active > 0 || it->second.until > t);
    };
    // The path itself, then every folder above it.
    if (marked(path)) return true;
    for (size_t slash = path.rfind('/'); slash != std::string_view::npos && slash > 0; slash = path.rfind('/', slash - 1)) {
        if (marked(path.substr(0, slash))) return true;
    }
    return path.front() == '/' && marked("/");
}

void KZSelfChangeRegistry::prune(Clock::time_point t)
{
    for (auto it = entries_.begin(); it != entries_.end();) {
        if (it->second.active == 0 && it->second.until <= t) {
            it = entries_.erase(it);
        } else {
            ++it;
        }
    }
    pruneAt_ = std::max<size_t>(64, entries_.size() * 2);
}
