#include "platform/KZDispatch.h"

#include <QCoreApplication>
#include <QEvent>
#include <QPointer>
#include <QThread>
#include <QThreadPool>
#include <QTimer>

#include <chrono>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

// One event carrying one block; posted events to one receiver are delivered in order.
class BlockEvent : public QEvent {
public:
    static QEvent::Type eventType()
    {
        static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
        return type;
    }
    BlockEvent(KZBlock b, const QObject* ctx, Clock::time_point due)
        : QEvent(eventType()), block(std::move(b)), context(const_cast<QObject*>(ctx)), hasContext(ctx),
          due(due)
    {
    }
    KZBlock block;
    QPointer<QObject> context;
    bool hasContext;
    Clock::time_point due;
};

class MainDispatcher : public QObject {
public:
    bool event(QEvent* e) override
    {
        if (e->type() != BlockEvent::eventType()) return QObject::event(e);
        auto* be = static_cast<BlockEvent*>(e);
        if (be->hasContext && !be->context) return true;
        const auto now = Clock::now();
        if (be->due > now) {
            const auto ms = std::chrono::ceil<std::chrono::milliseconds>(be->due - now).count();
            QObject* ctx = be->hasContext ? be->context.data() : this;
            QTimer::singleShot(int(ms), Qt::PreciseTimer, ctx, std::move(be->block));
            return true;
        }
        if (be->block) be->block();
        return true;
    }
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

void post(KZBlock block, const QObject* context, Clock::time_point due)
{
    QCoreApplication::postEvent(dispatcher(), new BlockEvent(std::move(block), context, due));
}

Clock::time_point deadline(double seconds)
{
    if (!(seconds > 0)) return Clock::now();
    const auto ns = static_cast<long long>(seconds * 1000000000.0);
    return Clock::now() + std::chrono::nanoseconds(ns);
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
    post(std::move(block), context, Clock::now());
}

void KZRunOnMainThreadAfterDelay(KZBlock block, double seconds, const QObject* context)
{
    post(std::move(block), context, deadline(seconds));
}

void KZRunInBackgroundAfterDelay(KZBlock block, double seconds)
{
    post([b = std::move(block)]() mutable { KZRunInBackground(std::move(b)); }, nullptr, deadline(seconds));
}
