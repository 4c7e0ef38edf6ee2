#pragma once
// The paths the program itself is changing (deleting, moving to the Trash, writing an
// archive), so that the file-system watcher doesn't report them as changes made by someone
// else. An operation registers the path it works on for as long as it runs; the path (and
// everything below it) keeps counting as the program's own for a grace period afterwards,
// because the watcher reads the system's reports a little later. One shared registry serves
// the whole process; every method is thread-safe.

#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>

class KZSelfChangeRegistry {
public:
    using Clock = std::chrono::steady_clock;
    using Token = uint64_t;

    static KZSelfChangeRegistry& shared();

    explicit KZSelfChangeRegistry(std::chrono::milliseconds gracePeriod = std::chrono::seconds(5));
    KZSelfChangeRegistry(const KZSelfChangeRegistry&) = delete;
    KZSelfChangeRegistry& operator=(const KZSelfChangeRegistry&) = delete;

    // Marks the path (with everything below it) as being changed by the program.
    Token beginChange(std::string_view path);
    // The operation is over; the path stays marked for the grace period.
    void endChange(Token token);
    // True when the path, or a folder above it, is marked.
    bool isOwnChange(std::string_view path) const;

    std::chrono::milliseconds gracePeriod() const { return grace_; }
    // Replaces the clock (tests).
    void setClock(std::function<Clock::time_point()> now);

private:
    struct Entry {
        int active = 0;
        Clock::time_point until{};
    };
    Clock::time_point now() const { return clock_ ? clock_() : Clock::now(); }
    void prune(Clock::time_point now);

    mutable std::mutex mutex_;
    std::chrono::milliseconds grace_;
    std::function<Clock::time_point()> clock_;
    std::unordered_map<std::string, Entry> entries_;
    std::unordered_map<Token, std::string> tokens_;
    Token nextToken_ = 1;
    size_t pruneAt_ = 64;
};

// Marks a path for the lifetime of the object.
class KZSelfChange {
public:
    explicit KZSelfChange(std::string_view path, KZSelfChangeRegistry& registry = KZSelfChangeRegistry::shared())
        : registry_(&registry), token_(registry.beginChange(path))
    {
    }
    KZSelfChange(const KZSelfChange&) = delete;
    KZSelfChange& operator=(const KZSelfChange&) = delete;
    ~KZSelfChange() { registry_->endChange(token_); }

private:
    KZSelfChangeRegistry* registry_;
    KZSelfChangeRegistry::Token token_;
};
