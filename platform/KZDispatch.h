#pragma once
// Hands blocks to the background pool or to the main thread's event loop.
// Background work runs on one dedicated pool at lowered CPU priority; main-thread work is
// always queued (never run inline) and runs in the order it was queued; without an application
// object (the program is ending) it is dropped.

#include <functional>

class QObject;
class QThreadPool;

using KZBlock = std::function<void()>;

// Queues the block on the background pool.
void KZRunInBackground(KZBlock block);
// Queues the block on the main thread, also when called there. With a context, the block is
// dropped if the context is destroyed before it runs.
void KZRunOnMainThread(KZBlock block, const QObject* context = nullptr);
// Runs the block on the main thread once the delay (seconds, from now) has passed on the
// program's clock (KZAnimationClock, which tests drive by hand).
void KZRunOnMainThreadAfterDelay(KZBlock block, double seconds, const QObject* context = nullptr);
// Hands the block to the background pool once the delay has passed.
void KZRunInBackgroundAfterDelay(KZBlock block, double seconds);

namespace kz {
// The pool behind KZRunInBackground (tests wait on it).
QThreadPool& backgroundPool();
// Lowers the calling thread's CPU priority to the background level (a nice value, never idle).
void lowerCurrentThreadPriority();
// True on the thread of the application object.
bool isMainThread();
// Blocks queued for the main thread that have neither run nor been dropped yet (tests wait
// for 0: the main queue is drained).
int pendingMainThreadBlocks();
} // namespace kz
