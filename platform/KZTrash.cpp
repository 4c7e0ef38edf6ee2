#include "platform/KZTrash.h"

#include "platform/KZFreedesktopTrash.h"

#include <atomic>
#include <mutex>
#include <unordered_map>

namespace {
std::atomic<KZTrash*> replacement{nullptr};
}

KZTrash& KZTrash::shared()
{
    if (KZTrash* t = replacement.load()) return *t;
    static auto* trash = new KZFreedesktopTrash; // used by background work until exit
    return *trash;
}

void KZTrash::setShared(KZTrash* trash)
{
    replacement = trash;
}

namespace kz {

namespace {

struct MovedNames {
    unsigned names = 0;
    int64_t changeTime = 0;
};

struct IdentityHash {
    size_t operator()(const ItemIdentity& id) const { return std::hash<uint64_t>()(id.inode * 31 + id.device); }
};

struct MovedNamesTable {
    std::mutex mutex;
    std::unordered_map<ItemIdentity, MovedNames, IdentityHash> files;
};

MovedNamesTable& movedNames()
{
    static auto* table = new MovedNamesTable; // used by background work until exit
    return *table;
}

// Past this many files the table starts again: counts can only fall short, never double.
constexpr size_t kMaxMovedFiles = 1 << 16;

} // namespace

unsigned namesMovedToTrash(const ItemIdentity& file, int64_t changeTime)
{
    MovedNamesTable& table = movedNames();
    std::lock_guard lock(table.mutex);
    const auto it = table.files.find(file);
    if (it == table.files.end()) return 0;
    if (it->second.changeTime != changeTime) {
        table.files.erase(it);
        return 0;
    }
    return it->second.names;
}

void rememberNamesMovedToTrash(const ItemIdentity& file, unsigned names, int64_t changeTime)
{
    MovedNamesTable& table = movedNames();
    std::lock_guard lock(table.mutex);
    if (table.files.size() >= kMaxMovedFiles) table.files.clear();
    table.files[file] = {names, changeTime};
}

} // namespace kz
