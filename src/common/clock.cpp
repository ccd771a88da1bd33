#include "common/clock.h"

#include <ctime>

namespace kolbi {
namespace {
Clock* g_current = nullptr;
}

LocalDateTime SystemClock::LocalNow() {
    std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
}

std::chrono::milliseconds SystemClock::Monotonic() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now().time_since_epoch());
}

std::chrono::system_clock::time_point SystemClock::WallNow() {
    return std::chrono::system_clock::now();
}

Clock& CurrentClock() {
    static SystemClock system;
    return g_current ? *g_current : system;
}

ScopedClock::ScopedClock(Clock& clock) : previous_(g_current) { g_current = &clock; }

ScopedClock::~ScopedClock() { g_current = previous_; }

}  // namespace kolbi
