#pragma once

#include <functional>
#include <optional>

namespace kolbi {

// Windows priority values the program sets, and their Linux counterparts.
inline constexpr int kThreadPriorityHighest = 2;
inline constexpr int kIdlePriorityClass = 64;
inline constexpr int kNormalPriorityClass = 32;

// The process and thread priorities. The values are those of the Windows
// calls the program was written against; they become nice values: the idle
// class the lowest scheduling priority (19), the normal class the normal one
// (0). The thread priority is kept but changes nothing: the pump has one
// thread, so a priority relative to its other threads means nothing here.
//
// Requests are applied once, by Apply, when start-up has settled on the final
// value: an unprivileged process may lower its priority but never raise it
// again, so applying "idle" and then "normal" (the -n switch) one after the
// other would leave it idle for good.
class ProcessPriority {
public:
    // Sets the process's nice value; false when that is refused.
    using NiceSetter = std::function<bool(int nice)>;

    ProcessPriority();
    explicit ProcessPriority(NiceSetter setter) : setter_(std::move(setter)) {}

    void SetThreadPriority(int priority) { thread_priority_ = priority; }
    void SetPriorityClass(int priority_class) { priority_class_ = priority_class; }

    // The nice value the requested class stands for; nothing for a class
    // without a counterpart.
    std::optional<int> RequestedNice() const;
    // Applies the request. A refusal is not worth stopping for and is ignored.
    void Apply();

    std::optional<int> ThreadPriority() const { return thread_priority_; }

private:
    NiceSetter setter_;
    std::optional<int> thread_priority_;
    std::optional<int> priority_class_;
};

}  // namespace kolbi
