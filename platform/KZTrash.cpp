#include "platform/KZTrash.h"

#include "platform/KZFreedesktopTrash.h"

#include <atomic>

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
