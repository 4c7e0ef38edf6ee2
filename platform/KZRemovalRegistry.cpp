#include "platform/KZRemovalRegistry.h"

#include <algorithm>

KZRemovalRegistry& KZRemovalRegistry::shared()
{
    static auto* registry = new KZRemovalRegistry; // used by background work until exit
    return *registry;
}

KZRemovalRegistry::Token KZRemovalRegistry::beginRemoval(const kz::ItemIdentity& item)
{
    std::lock_guard lock(mutex_);
    const Token token = next_++;
    removals_.emplace(token, item);
    for (auto& [window, items] : windows_) items.push_back(item);
    running_.store(removals_.size(), std::memory_order_release);
    generation_.fetch_add(1, std::memory_order_acq_rel);
    return token;
}

void KZRemovalRegistry::endRemoval(Token token)
{
    std::lock_guard lock(mutex_);
    if (!removals_.erase(token)) return;
    running_.store(removals_.size(), std::memory_order_release);
    generation_.fetch_add(1, std::memory_order_acq_rel);
}

std::vector<kz::ItemIdentity> KZRemovalRegistry::itemsBeingRemoved() const
{
    std::lock_guard lock(mutex_);
    std::vector<kz::ItemIdentity> items;
    items.reserve(removals_.size());
    for (const auto& [token, item] : removals_) items.push_back(item);
    return items;
}

bool KZRemovalRegistry::isBeingRemoved(const kz::ItemIdentity& item) const
{
    if (!anyRemovalRunning()) return false;
    std::lock_guard lock(mutex_);
    return std::any_of(removals_.begin(), removals_.end(), [&](const auto& entry) { return entry.second == item; });
}

KZRemovalRegistry::Token KZRemovalRegistry::openWindow()
{
    std::lock_guard lock(mutex_);
    const Token token = next_++;
    std::vector<kz::ItemIdentity>& items = windows_[token];
    for (const auto& [removal, item] : removals_) items.push_back(item);
    return token;
}

std::vector<kz::ItemIdentity> KZRemovalRegistry::closeWindow(Token window)
{
    std::vector<kz::ItemIdentity> items;
    {
        std::lock_guard lock(mutex_);
        auto it = windows_.find(window);
        if (it == windows_.end()) return items;
        items = std::move(it->second);
        windows_.erase(it);
    }
    auto byValue = [](const kz::ItemIdentity& a, const kz::ItemIdentity& b) {
        return a.device != b.device ? a.device < b.device : a.inode < b.inode;
    };
    std::sort(items.begin(), items.end(), byValue);
    items.erase(std::unique(items.begin(), items.end()), items.end());
    return items;
}
