#include "service/process_priority.h"

#include <sys/resource.h>

namespace kolbi {

ProcessPriority::ProcessPriority()
    : setter_([](int nice) { return ::setpriority(PRIO_PROCESS, 0, nice) == 0; }) {}

std::optional<int> ProcessPriority::RequestedNice() const {
    if (!priority_class_) return std::nullopt;
    switch (*priority_class_) {
        case kIdlePriorityClass:
            return 19;
        case kNormalPriorityClass:
            return 0;
        default:
            return std::nullopt;
    }
}

void ProcessPriority::Apply() {
    if (std::optional<int> nice = RequestedNice()) (void)setter_(*nice);
}

}  // namespace kolbi
