#pragma once
// A restartable, optionally repeating timer that calls a block on the thread that started it.
// It runs on the program's clock (KZAnimationClock), so tests drive it by hand.

#include "platform/KZAnimationClock.h"

#include <QVariant>

#include <functional>
#include <memory>
#include <string>

class KZTimer {
public:
    using Block = std::function<void(KZTimer&)>;

    // A timer with these values, already running.
    static std::unique_ptr<KZTimer> timerWithInterval(double seconds, bool repeats, QVariant userInfo, Block block);

    KZTimer(double seconds, bool repeats, QVariant userInfo, Block block);
    ~KZTimer();
    KZTimer(const KZTimer&) = delete;
    KZTimer& operator=(const KZTimer&) = delete;

    // (Re)starts the count from zero on the calling thread's event loop.
    void run();
    // Stops the timer and drops the block; a later run() fires without effect.
    void invalidate();
    // Stops the timer and keeps the block, so run() can start it again.
    void invalidateTimerOnly();
    bool isRunning() const { return timer_ != nullptr; }

    bool repeats() const { return repeats_; }
    void setRepeats(bool v) { repeats_ = v; }
    double interval() const { return interval_; }
    void setInterval(double seconds) { interval_ = seconds; }
    const QVariant& userInfo() const { return userInfo_; }
    void setUserInfo(QVariant v) { userInfo_ = std::move(v); }
    void setDidFinishBlock(Block block) { block_ = std::move(block); }
    std::string description() const;

private:
    void timerDidFinish();

    bool repeats_;
    double interval_;
    QVariant userInfo_;
    Block block_;
    std::unique_ptr<KZAnimationClock::Timer> timer_;
};
