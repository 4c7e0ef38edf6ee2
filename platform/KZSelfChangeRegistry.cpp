#include "platform/KZSelfChangeRegistry.h"

#include "platform/KZPathString.h"

#include <algorithm>

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

KZSelfChangeRegistry::Token KZSelfChangeRegistry::beginChange(std::string_view path, uint32_t kinds)
{
    std::lock_guard lock(mutex_);
    const Clock::time_point t = now();
    if (tokens_.size() + marks_.size() >= pruneAt_) prune(t);
    std::string key = kz::pathWithoutTrailingSlash(path);
    const Token token = nextToken_++;
    marks_[key].push_back(Mark{token, kinds, true, {}});
    tokens_.emplace(token, std::move(key));
    return token;
}

void KZSelfChangeRegistry::endChange(Token token)
{
    std::lock_guard lock(mutex_);
    auto it = tokens_.find(token);
    if (it == tokens_.end()) return;
    auto marks = marks_.find(it->second);
    if (marks != marks_.end()) {
        for (Mark& m : marks->second) {
            if (m.token != token) continue;
            m.active = false;
            m.until = now() + grace_;
        }
    }
    tokens_.erase(it);
}

void KZSelfChangeRegistry::discardChange(Token token)
{
    std::lock_guard lock(mutex_);
    auto it = tokens_.find(token);
    if (it == tokens_.end()) return;
    auto marks = marks_.find(it->second);
    if (marks != marks_.end()) {
        auto& list = marks->second;
        list.erase(std::remove_if(list.begin(), list.end(), [&](const Mark& m) { return m.token == token; }),
                   list.end());
        if (list.empty()) marks_.erase(marks);
    }
    tokens_.erase(it);
}

bool KZSelfChangeRegistry::isOwnChange(std::string_view path, uint32_t kinds) const
{
    path = kz::withoutTrailingSlash(path);
    if (path.empty()) return false;
    std::lock_guard lock(mutex_);
    if (marks_.empty()) return false;
    const Clock::time_point t = now();
    auto marked = [&](std::string_view p) {
        auto it = marks_.find(std::string(p));
        if (it == marks_.end()) return false;
        return std::any_of(it->second.begin(), it->second.end(),
                           [&](const Mark& m) { return (m.kinds & kinds) && (m.active || m.until > t); });
    };
    // The path itself, then every folder above it.
    if (marked(path)) return true;
    for (size_t slash = path.rfind('/'); slash != std::string_view::npos && slash > 0;
         slash = path.rfind('/', slash - 1)) {
        if (marked(path.substr(0, slash))) return true;
    }
    return path.front() == '/' && marked("/");
}

void KZSelfChangeRegistry::prune(Clock::time_point t)
{
    for (auto it = marks_.begin(); it != marks_.end();) {
        auto& list = it->second;
        list.erase(std::remove_if(list.begin(), list.end(), [&](const Mark& m) { return !m.active && m.until <= t; }),
                   list.end());
        it = list.empty() ? marks_.erase(it) : std::next(it);
    }
    pruneAt_ = std::max<size_t>(64, (marks_.size() + tokens_.size()) * 2);
}
