#include "platform/KZAnimationClock.h"

#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

class SystemTimer : public KZAnimationClock::Timer {
public:
    SystemTimer(double seconds, bool repeats, std::function<void()> block) : timer_(new QTimer)
    {
        timer_->setTimerType(Qt::PreciseTimer);
        timer_->setSingleShot(!repeats);
        timer_->setInterval(std::max(0, int(std::lround(seconds * 1000.0))));
        QObject::connect(timer_, &QTimer::timeout, [block = std::move(block)] { block(); });
        timer_->start();
    }
    ~SystemTimer() override
    {
        // The handle may be dropped from inside the timer's own block: stop at once, free later.
        timer_->stop();
        timer_->deleteLater();
    }

private:
    QTimer* timer_;
};

class SystemClock : public KZAnimationClock {
public:
    SystemClock() { elapsed_.start(); }
    double now() const override { return double(elapsed_.nsecsElapsed()) / 1e9; }
    std::unique_ptr<Timer> schedule(double seconds, bool repeats, std::function<void()> block) override
    {
        return std::make_unique<SystemTimer>(seconds, repeats, std::move(block));
    }

private:
    QElapsedTimer elapsed_;
};

KZAnimationClock* installedClock = nullptr;

} // namespace

KZAnimationClock& KZAnimationClock::shared()
{
    static SystemClock systemClock;
    return installedClock ? *installedClock : systemClock;
}

void KZAnimationClock::setShared(KZAnimationClock* clock)
{
    installedClock = clock;
}

struct KZManualAnimationClock::State {
    struct Entry {
        quint64 id;
        double due;
        double interval;
        bool repeats;
        std::shared_ptr<std::function<void()>> block;
    };
    double now = 0;
    quint64 nextId = 1;
    std::vector<Entry> entries;

    void remove(quint64 id)
    {
        entries.erase(std::remove_if(entries.begin(), entries.end(), [id](const Entry& e) { return e.id == id; }),
                      entries.end());
    }
};

namespace {
class ManualTimer : public KZAnimationClock::Timer {
public:
    ManualTimer(std::weak_ptr<KZManualAnimationClock::State> state, quint64 id) : state_(std::move(state)), id_(id) {}
    ~ManualTimer() override
    {
        if (auto s = state_.lock()) s->remove(id_);
    }

private:
    std::weak_ptr<KZManualAnimationClock::State> state_;
    quint64 id_;
};
} // namespace

KZManualAnimationClock::KZManualAnimationClock() : state_(std::make_shared<State>())
{
    previous_ = installedClock;
    setShared(this);
}

KZManualAnimationClock::~KZManualAnimationClock()
{
    if (installedClock == this) setShared(previous_);
}

double KZManualAnimationClock::now() const
{
    return state_->now;
}

std::unique_ptr<KZAnimationClock::Timer> KZManualAnimationClock::schedule(double seconds, bool repeats,
                                                                          std::function<void()> block)
{
    const quint64 id = state_->nextId++;
    const double interval = std::max(seconds, 1e-6);
    state_->entries.push_back(
        {id, state_->now + interval, interval, repeats, std::make_shared<std::function<void()>>(std::move(block))});
    return std::make_unique<ManualTimer>(state_, id);
}

void KZManualAnimationClock::advance(double seconds)
{
    const double target = state_->now + seconds;
    // Small tolerance so that ten steps of 0.05 s reach 0.5 s exactly.
    const double epsilon = 1e-9;
    for (;;) {
        auto& entries = state_->entries;
        auto next = std::min_element(entries.begin(), entries.end(),
                                     [](const State::Entry& a, const State::Entry& b) { return a.due < b.due; });
        if (next == entries.end() || next->due > target + epsilon) break;
        state_->now = std::max(state_->now, next->due);
        auto block = next->block;
        const quint64 id = next->id;
        if (next->repeats)
            next->due += next->interval;
        else
            state_->remove(id);
        (*block)();
    }
    state_->now = std::max(state_->now, target);
}

int KZManualAnimationClock::activeTimerCount() const
{
    return int(state_->entries.size());
}
