#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

namespace kolbi {

// The Progress event of the codec: 0 to 100, raised synchronously on the calling thread.
// The value is passed by reference for the subscriber's convenience; a change it makes
// is not read back.
using ProgressEvent = std::function<void(std::int16_t& Procent)>;

namespace he3 {

// Raises Progress for one codec call. Values are rounded to the nearest integer
// with halves going to the even neighbour, and a value equal to the last one
// raised (0 at the start) raises nothing.
class ProgressReporter {
public:
    explicit ProgressReporter(ProgressEvent handler) : handler_(std::move(handler)) {}

    // False when nobody listens: callers may then skip computing values at all.
    bool active() const { return static_cast<bool>(handler_); }

    void Report(double value);

    // Reports value(i) for every multiple i of `step` in [begin, end): what checking
    // after every item would raise, computed once per block of items.
    template <class Value>
    void ReportMultiples(std::size_t begin, std::size_t end, std::size_t step, Value value) {
        if (!active()) return;
        for (std::size_t i = (begin + step - 1) / step * step; i < end; i += step) {
            Report(value(static_cast<double>(i)));
        }
    }

    // Raises 100 unless the last value raised is already 100.
    void Finish();

private:
    ProgressEvent handler_;
    std::int16_t last_ = 0;
};

}  // namespace he3
}  // namespace kolbi
