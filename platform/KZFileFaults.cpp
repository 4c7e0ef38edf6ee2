#include "platform/KZFileFaults.h"

#include <atomic>
#include <memory>
#include <mutex>

namespace kz {

namespace {
std::mutex faultMutex;
std::shared_ptr<FileFaultHook> faultHook;
std::atomic<bool> faultInstalled{false};
} // namespace

FileFaultHook setFileFaultHook(FileFaultHook hook)
{
    std::lock_guard lock(faultMutex);
    FileFaultHook previous = faultHook ? *faultHook : FileFaultHook();
    faultHook = hook ? std::make_shared<FileFaultHook>(std::move(hook)) : nullptr;
    faultInstalled = faultHook != nullptr;
    return previous;
}

bool hasFileFaultHook()
{
    return faultInstalled.load(std::memory_order_relaxed);
}

int fileFault(FileOperation operation, const std::string& path)
{
    if (!hasFileFaultHook()) return 0;
    std::shared_ptr<FileFaultHook> hook;
    {
        std::lock_guard lock(faultMutex);
        hook = faultHook;
    }
    return hook ? (*hook)(operation, path) : 0;
}

} // namespace kz
