#include "ui/timer.h"

#include "common/clock.h"

namespace kolbi {

Timer::Timer(std::chrono::milliseconds interval)
    : interval_(interval), due_(CurrentClock().Monotonic() + interval) {}

void Timer::Enable() {
    if (enabled_) return;
    enabled_ = true;
    due_ = CurrentClock().Monotonic() + interval_;
}

void Timer::Disable() { enabled_ = false; }

void Timer::SetInterval(std::chrono::milliseconds interval) {
    interval_ = interval;
    due_ = CurrentClock().Monotonic() + interval_;
}

bool Timer::IsDue(std::chrono::milliseconds now) const {
    return enabled_ && interval_.count() > 0 && now >= due_;
}

}  // namespace kolbi
