#pragma once
// The program's clock: time and timers for the animated controls (spinner, size label,
// progress bar, drop zone), KZTimer and the delayed main-thread blocks of KZDispatch. The
// shared clock runs QTimers on the calling thread's event loop; tests install a
// KZManualAnimationClock and advance it by hand, so no test sleeps for real seconds.

#include <functional>
#include <memory>

class KZAnimationClock {
public:
    // A scheduled block; destroying the handle cancels it.
    class Timer {
    public:
        virtual ~Timer() = default;
    };

    virtual ~KZAnimationClock() = default;
    // Seconds since an arbitrary start, never going backwards.
    virtual double now() const = 0;
    // Calls the block on the main thread after `seconds`, again every `seconds` when it
    // repeats, until the handle is destroyed.
    virtual std::unique_ptr<Timer> schedule(double seconds, bool repeats, std::function<void()> block) = 0;

    // The clock every control uses: the system clock unless a test installed another.
    static KZAnimationClock& shared();
    // Installs a clock (not owned); nullptr restores the system clock.
    static void setShared(KZAnimationClock* clock);
};

// A clock that only moves when told to. While it lives it is the shared clock.
class KZManualAnimationClock : public KZAnimationClock {
public:
    KZManualAnimationClock();
    ~KZManualAnimationClock() override;
    KZManualAnimationClock(const KZManualAnimationClock&) = delete;
    KZManualAnimationClock& operator=(const KZManualAnimationClock&) = delete;

    double now() const override;
    std::unique_ptr<Timer> schedule(double seconds, bool repeats, std::function<void()> block) override;

    // Moves time forward, firing every timer that falls due on the way, in time order.
    void advance(double seconds);
    int activeTimerCount() const;

    struct State; // shared with the timer handles, which may outlive the clock

private:
    std::shared_ptr<State> state_;
    KZAnimationClock* previous_ = nullptr;
};
