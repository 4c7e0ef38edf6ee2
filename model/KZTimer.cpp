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
    timer_ = std::make_unique<QTimer>();
    timer_->setTimerType(Qt::PreciseTimer);
    timer_->setSingleShot(!repeats_);
    timer_->setInterval(int(std::lround(std::max(0.0, interval_) * 1000.0)));
    QObject::connect(timer_.get(), &QTimer::timeout, [this] { timerDidFinish(); });
    timer_->start();
}

void KZTimer::invalidate()
{
    invalidateTimerOnly();
    block_ = nullptr;
}

void KZTimer::invalidateTimerOnly()
{
    if (timer_) {
        timer_->stop();
        // The timer may be the one firing right now; let its event finish first.
        timer_.release()->deleteLater();
    }
}

void KZTimer::timerDidFinish()
{
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
