#include "model/KZTimer.h"

#include <cmath>
#include <cstdio>

std::unique_ptr<KZTimer> KZTimer::timerWithInterval(double seconds, bool repeats, QVariant userInfo, Block block)
{
    auto timer = std::make_unique<KZTimer>(seconds, repeats, std::move(userInfo), std::move(block));
    timer->run();
    return timer;
}

KZTimer::KZTimer(double seconds, bool repeats, QVariant userInfo, Block block)
    : repeats_(repeats), interval_(seconds), userInfo_(std::move(userInfo)), block_(std::move(block))
{
}

KZTimer::~KZTimer()
{
    invalidate();
}

void KZTimer::run()
{
    invalidateTimerOnly();
    timer_ = KZAnimationClock::shared().schedule(std::max(0.0, interval_), repeats_, [this] { timerDidFinish(); });
}

void KZTimer::invalidate()
{
    invalidateTimerOnly();
    block_ = nullptr;
}

void KZTimer::invalidateTimerOnly()
{
    timer_.reset();
}

void KZTimer::timerDidFinish()
{
    if (!repeats_) timer_.reset(); // a one-shot timer has run its course
    if (block_) {
        Block block = block_; // the block may invalidate or destroy this timer
        block(*this);
    }
}

std::string KZTimer::description() const
{
    char buffer[200];
    std::snprintf(buffer, sizeof buffer, "<KZTimer %p, interval=%f, repeats=%s, userInfo=%s>",
                  static_cast<const void*>(this), interval_, repeats_ ? "YES" : "NO",
                  userInfo_.toString().toUtf8().constData());
    return buffer;
}
