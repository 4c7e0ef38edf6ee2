#pragma once
// The time one slice of long main-thread work may take. Such work goes a slice per turn of the
// event loop, so the window keeps answering: it counts its steps and stops once the slice's
// time is up. Steps are cheap, so the clock is read only every `every` steps.

#include <chrono>
#include <cstddef>

class KZTimeSlice {
public:
    // A slice of `budget` from now; a negative budget never runs out.
    explicit KZTimeSlice(std::chrono::nanoseconds budget, size_t every = 1)
        : budget_(budget), every_(every ? every : 1), started_(std::chrono::steady_clock::now())
    {
    }
    // A budget in (fractional) seconds.
    static std::chrono::nanoseconds seconds(double s)
    {
        return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::duration<double>(s));
    }

    // Counts one step; true when the clock is read at this step and the time is up.
    bool step() { return ++steps_ % every_ == 0 && isUp(); }
    bool isUp() const { return budget_.count() >= 0 && std::chrono::steady_clock::now() - started_ >= budget_; }

private:
    std::chrono::nanoseconds budget_;
    size_t every_;
    size_t steps_ = 0;
    std::chrono::steady_clock::time_point started_;
};
