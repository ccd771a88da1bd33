#pragma once

#include <chrono>

namespace kolbi {

// A window timer. It only knows when its next tick is due; the event loop
// delivers the ticks. Times come from CurrentClock().Monotonic().
class Timer {
public:
    // A timer is enabled from its creation, as the window was designed.
    explicit Timer(std::chrono::milliseconds interval);

    bool Enabled() const { return enabled_; }
    // Enabling a disabled timer restarts its interval: the next tick comes one
    // full interval later. Enabling an enabled timer changes nothing.
    void Enable();
    void Disable();

    std::chrono::milliseconds Interval() const { return interval_; }
    // Sets the interval and restarts the count. An interval of 0 never ticks.
    void SetInterval(std::chrono::milliseconds interval);

    // When the next tick is due; meaningful only while enabled.
    std::chrono::milliseconds Due() const { return due_; }
    // True when enabled, with a non-zero interval, and the due time has come.
    bool IsDue(std::chrono::milliseconds now) const;
    // The event loop delivers a tick: the next one counts from now. Ticks missed
    // while the program was busy are not made up, they are one tick.
    void Ticked(std::chrono::milliseconds now) { due_ = now + interval_; }

private:
    std::chrono::milliseconds interval_;
    std::chrono::milliseconds due_;
    bool enabled_ = true;
};

}  // namespace kolbi
