#pragma once
// The changes the program itself is making (deleting, moving to the Trash, writing an
// archive), so that the file-system watcher doesn't report them as changes made by someone
// else. An operation marks the path it is about to change, with the kinds of change it will
// cause there (a removal marks removals, a move marks the move away), just before the change
// happens and for as long as it runs; the mark then holds for a grace period, because the
// watcher reads the system's reports a little later. A mark covers the path and everything
// below it, and only its own kinds: an item that another program creates at a path the
// program has just removed is still reported. One shared registry serves the whole process;
// every method is thread-safe.

#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// The kinds of change a mark covers (a watcher event has one of them).
namespace KZChange {
enum Kind : uint32_t {
    Created = 1 << 0,
    Removed = 1 << 1,
    RenamedFrom = 1 << 2, // an item moved away from the path
    RenamedTo = 1 << 3,   // an item moved to the path
    Modified = 1 << 4,    // contents written
    Metadata = 1 << 5,    // permissions, times, owner ...
    Any = Created | Removed | RenamedFrom | RenamedTo | Modified | Metadata,
};
}

class KZSelfChangeRegistry {
public:
    using Clock = std::chrono::steady_clock;
    using Token = uint64_t;

    static KZSelfChangeRegistry& shared();

    explicit KZSelfChangeRegistry(std::chrono::milliseconds gracePeriod = std::chrono::seconds(5));
    KZSelfChangeRegistry(const KZSelfChangeRegistry&) = delete;
    KZSelfChangeRegistry& operator=(const KZSelfChangeRegistry&) = delete;

    // Marks changes of the given kinds (KZChange bits) at the path and below it as the
    // program's own.
    Token beginChange(std::string_view path, uint32_t kinds = KZChange::Any);
    // The operation is over; the mark holds for the grace period.
    void endChange(Token token);
    // The change did not happen after all: the mark goes at once.
    void discardChange(Token token);
    // True when a mark at the path, or at a folder above it, covers one of the kinds.
    bool isOwnChange(std::string_view path, uint32_t kinds = KZChange::Any) const;

    std::chrono::milliseconds gracePeriod() const { return grace_; }
    // Replaces the clock (tests).
    void setClock(std::function<Clock::time_point()> now);

private:
    struct Mark {
        Token token = 0;
        uint32_t kinds = 0;
        bool active = true;
        Clock::time_point until{};
    };
    Clock::time_point now() const { return clock_ ? clock_() : Clock::now(); }
    void prune(Clock::time_point now);

    mutable std::mutex mutex_;
    std::chrono::milliseconds grace_;
    std::function<Clock::time_point()> clock_;
    std::unordered_map<std::string, std::vector<Mark>> marks_;
    std::unordered_map<Token, std::string> tokens_;
    Token nextToken_ = 1;
    size_t pruneAt_ = 64;
};

// Marks a path for the lifetime of the object.
class KZSelfChange {
public:
    explicit KZSelfChange(std::string_view path, uint32_t kinds = KZChange::Any,
                          KZSelfChangeRegistry& registry = KZSelfChangeRegistry::shared())
        : registry_(&registry), token_(registry.beginChange(path, kinds))
    {
    }
    KZSelfChange(const KZSelfChange&) = delete;
    KZSelfChange& operator=(const KZSelfChange&) = delete;
    ~KZSelfChange() { registry_->endChange(token_); }
    // The change did not happen: nothing stays marked.
    void discard() { registry_->discardChange(token_); }

private:
    KZSelfChangeRegistry* registry_;
    KZSelfChangeRegistry::Token token_;
};
