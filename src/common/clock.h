#pragma once

#include <chrono>

namespace kolbi {

// A calendar date and wall-clock time in the host's local time zone.
struct LocalDateTime {
    int year = 1900;
    int month = 1;  // 1 to 12
    int day = 1;    // 1 to 31
    int hour = 0;
    int minute = 0;
    int second = 0;
};

// The only source of "now": the local date for logs and the dates written to
// the database, and a monotonic count for timers. Tests install a fake one.
class Clock {
public:
    virtual ~Clock() = default;
    virtual LocalDateTime LocalNow() = 0;
    virtual std::chrono::milliseconds Monotonic() = 0;
    // The wall-clock time, comparable with the times files were modified.
    virtual std::chrono::system_clock::time_point WallNow() = 0;
};

class SystemClock : public Clock {
public:
    LocalDateTime LocalNow() override;
    std::chrono::milliseconds Monotonic() override;
    std::chrono::system_clock::time_point WallNow() override;
};

// A clock that moves only when told to.
class FakeClock : public Clock {
public:
    LocalDateTime LocalNow() override { return local_; }
    std::chrono::milliseconds Monotonic() override { return monotonic_; }
    // The real wall clock moved on by what the test added: files a test
    // writes carry the real time.
    std::chrono::system_clock::time_point WallNow() override {
        return std::chrono::system_clock::now() + wall_ahead_;
    }

    void SetLocal(const LocalDateTime& local) { local_ = local; }
    void Advance(std::chrono::milliseconds by) { monotonic_ += by; }
    void AdvanceWall(std::chrono::milliseconds by) { wall_ahead_ += by; }

private:
    LocalDateTime local_{2026, 12, 4, 9, 5, 3};
    std::chrono::milliseconds monotonic_{0};
    std::chrono::milliseconds wall_ahead_{0};
};

Clock& CurrentClock();

// Installs a clock for the lifetime of the object (tests).
class ScopedClock {
public:
    explicit ScopedClock(Clock& clock);
    ~ScopedClock();
    ScopedClock(const ScopedClock&) = delete;
    ScopedClock& operator=(const ScopedClock&) = delete;

private:
    Clock* previous_;
};

}  // namespace kolbi
