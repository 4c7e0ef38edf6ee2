#include "platform/KZDispatch.h"

#include "platform/KZAnimationClock.h"

#include <QCoreApplication>
#include <QEvent>
#include <QPointer>
#include <QThread>
#include <QThreadPool>
#include <QTimer>

#include <atomic>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <unordered_map>

namespace {

std::atomic<int> pendingBlocks{0};

// One event carrying one block; posted events to one receiver are delivered in order.
class BlockEvent : public QEvent {
public:
    static QEvent::Type eventType()
    {
        static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
        return type;
    }
    BlockEvent(KZBlock b, const QObject* ctx)
        : QEvent(eventType()), block(std::move(b)), context(const_cast<QObject*>(ctx)), hasContext(ctx)
    {
        pendingBlocks.fetch_add(1, std::memory_order_relaxed);
    }
    ~BlockEvent() override { pendingBlocks.fetch_sub(1, std::memory_order_relaxed); }
    KZBlock block;
    QPointer<QObject> context;
    bool hasContext;
};

class MainDispatcher : public QObject {
public:
    bool event(QEvent* e) override
    {
        if (e->type() != BlockEvent::eventType()) return QObject::event(e);
        auto* be = static_cast<BlockEvent*>(e);
        if (be->hasContext && !be->context) return true;
        if (be->block) be->block();
        return true;
    }

    // Main thread only: runs the block once the program's clock has moved on by `seconds`.
    void schedule(KZBlock block, double seconds, const QObject* context)
    {
        const quint64 id = nextId_++;
        QPointer<QObject> guard(const_cast<QObject*>(context));
        const bool hasContext = context != nullptr;
        timers_[id] = KZAnimationClock::shared().schedule(seconds, false,
                                                          [this, id, guard, hasContext, block = std::move(block)] {
                                                              // Keep the handle until the block has run; dropping it stops nothing now.
                                                              auto handle = std::move(timers_[id]);
                                                              timers_.erase(id);
                                                              if (hasContext && !guard) return;
                                                              if (block) block();
                                                          });
    }

private:
    quint64 nextId_ = 1;
    std::unordered_map<quint64, std::unique_ptr<KZAnimationClock::Timer>> timers_;
};

MainDispatcher* dispatcher()
{
    // Created on first use and moved to the application's thread; lives until exit.
    static MainDispatcher* d = [] {
        Q_ASSERT_X(QCoreApplication::instance(), "KZRunOnMainThread", "needs an application object");
        auto* obj = new MainDispatcher;
        obj->moveToThread(QCoreApplication::instance()->thread());
        return obj;
    }();
    return d;
}

void post(KZBlock block, const QObject* context)
{
    // Late work of a program that is shutting down has nowhere to go.
    if (!QCoreApplication::instance()) return;
    QCoreApplication::postEvent(dispatcher(), new BlockEvent(std::move(block), context));
}

class BackgroundRunnable : public QRunnable {
public:
    explicit BackgroundRunnable(KZBlock b) : block(std::move(b)) { setAutoDelete(true); }
    void run() override
    {
        kz::lowerCurrentThreadPriority();
        if (block) block();
    }
    KZBlock block;
};

} // namespace

namespace kz {

QThreadPool& backgroundPool()
{
    static QThreadPool* pool = [] {
        auto* p = new QThreadPool;
        p->setMaxThreadCount(std::max(4, QThread::idealThreadCount()));
        p->setExpiryTimeout(30000);
        // Let pending work finish at exit instead of tearing threads down under it.
        if (auto* app = QCoreApplication::instance())
            QObject::connect(app, &QObject::destroyed, [p] { p->waitForDone(); });
        return p;
    }();
    return *pool;
}

void lowerCurrentThreadPriority()
{
    thread_local bool lowered = false;
    if (lowered) return;
    lowered = true;
    const auto tid = static_cast<id_t>(::syscall(SYS_gettid));
    const int current = ::getpriority(PRIO_PROCESS, tid);
    if (current < 10) ::setpriority(PRIO_PROCESS, tid, 10);
}

int pendingMainThreadBlocks()
{
    return pendingBlocks.load(std::memory_order_relaxed);
}

bool isMainThread()
{
    auto* app = QCoreApplication::instance();
    return app && QThread::currentThread() == app->thread();
}

} // namespace kz

void KZRunInBackground(KZBlock block)
{
    kz::backgroundPool().start(new BackgroundRunnable(std::move(block)));
}

void KZRunOnMainThread(KZBlock block, const QObject* context)
{
    post(std::move(block), context);
}

void KZRunOnMainThreadAfterDelay(KZBlock block, double seconds, const QObject* context)
{
    if (!(seconds > 0)) {
        post(std::move(block), context);
        return;
    }
    if (!kz::isMainThread()) {
        // The clock's timers live on the main thread: start the delay there.
        QPointer<QObject> guard(const_cast<QObject*>(context));
        const bool hasContext = context != nullptr;
        post(
            [block = std::move(block), seconds, guard, hasContext]() mutable {
                if (hasContext && !guard) return;
                dispatcher()->schedule(std::move(block), seconds, hasContext ? guard.data() : nullptr);
            },
            context);
        return;
    }
    dispatcher()->schedule(std::move(block), seconds, context);
}

void KZRunInBackgroundAfterDelay(KZBlock block, double seconds)
{
    KZRunOnMainThreadAfterDelay([b = std::move(block)]() mutable { KZRunInBackground(std::move(b)); }, seconds);
}
