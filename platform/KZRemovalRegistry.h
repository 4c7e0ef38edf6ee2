#pragma once
// The items the program is removing, by device and inode, so that a scan running meanwhile
// never records one. The remover moves an item to a private name beside it and empties it
// there: a scan that lists the folder then would find it under that name, or under its own
// name just before the move. The remover marks the item just before it changes anything and
// until the removal has ended (gone, moved back under its name, or left); a scan leaves a
// marked item out when it meets it.
//
// A scan also opens a window for the time it walks: at its end it learns every item whose
// removal ran at any moment of the window, so that a record it made before such a removal
// began can go too (KZParallelScan). One shared registry serves the whole process; every
// method is thread-safe, and whether anything is being removed costs one atomic load.

#include "platform/KZDirectoryIO.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <unordered_map>
#include <vector>

class KZRemovalRegistry {
public:
    using Token = uint64_t;

    static KZRemovalRegistry& shared();

    KZRemovalRegistry() = default;
    KZRemovalRegistry(const KZRemovalRegistry&) = delete;
    KZRemovalRegistry& operator=(const KZRemovalRegistry&) = delete;

    // The item (device as kz::deviceOf gives it, inode) is being removed from now on.
    Token beginRemoval(const kz::ItemIdentity& item);
    // Its removal has ended, whatever came of it.
    void endRemoval(Token token);

    // True while some removal runs.
    bool anyRemovalRunning() const { return running_.load(std::memory_order_acquire) != 0; }
    // Moves whenever a removal begins or ends: a copy of itemsBeingRemoved() taken at one
    // generation holds until the generation moves.
    uint64_t generation() const { return generation_.load(std::memory_order_acquire); }
    // The items being removed now.
    std::vector<kz::ItemIdentity> itemsBeingRemoved() const;
    bool isBeingRemoved(const kz::ItemIdentity& item) const;

    // A scan's window: from now until it is closed, every item whose removal runs is noted.
    Token openWindow();
    // Closes the window and answers the items whose removal ran at some moment while it was
    // open (those running when it opened included), each once.
    std::vector<kz::ItemIdentity> closeWindow(Token window);

private:
    mutable std::mutex mutex_;
    std::unordered_map<Token, kz::ItemIdentity> removals_;
    std::unordered_map<Token, std::vector<kz::ItemIdentity>> windows_;
    Token next_ = 1;
    std::atomic<uint64_t> running_{0};
    std::atomic<uint64_t> generation_{0};
};

// Marks an item as being removed for the lifetime of the object.
class KZRemovalMark {
public:
    explicit KZRemovalMark(const kz::ItemIdentity& item, KZRemovalRegistry& registry = KZRemovalRegistry::shared())
        : registry_(registry), token_(registry.beginRemoval(item))
    {
    }
    ~KZRemovalMark() { registry_.endRemoval(token_); }
    KZRemovalMark(const KZRemovalMark&) = delete;
    KZRemovalMark& operator=(const KZRemovalMark&) = delete;

private:
    KZRemovalRegistry& registry_;
    KZRemovalRegistry::Token token_;
};

// A scan's window for the lifetime of the object (closed unheard unless taken).
class KZRemovalWindow {
public:
    explicit KZRemovalWindow(KZRemovalRegistry& registry = KZRemovalRegistry::shared())
        : registry_(registry), token_(registry.openWindow())
    {
    }
    ~KZRemovalWindow()
    {
        if (open_) registry_.closeWindow(token_);
    }
    KZRemovalWindow(const KZRemovalWindow&) = delete;
    KZRemovalWindow& operator=(const KZRemovalWindow&) = delete;
    // Closes it: the items whose removal ran while it was open.
    std::vector<kz::ItemIdentity> close()
    {
        if (!open_) return {};
        open_ = false;
        return registry_.closeWindow(token_);
    }

private:
    KZRemovalRegistry& registry_;
    KZRemovalRegistry::Token token_;
    bool open_ = true;
};
