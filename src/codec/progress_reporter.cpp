#include "codec/progress_reporter.h"

#include <cmath>

namespace kolbi::he3 {

void ProgressReporter::Report(double value) {
    if (!handler_) return;
    // nearbyint in the default rounding mode rounds halves to even, which is the
    // rounding the agents' progress displays were built on.
    auto rounded = static_cast<std::int16_t>(std::nearbyint(value));
    if (rounded == last_) return;
    last_ = rounded;
    std::int16_t procent = rounded;
    handler_(procent);
}

void ProgressReporter::Finish() {
    if (last_ != 100) Report(100.0);
}

}  // namespace kolbi::he3
