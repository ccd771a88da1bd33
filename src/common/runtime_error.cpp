#include "common/runtime_error.h"

#include <limits>

namespace kolbi {

RuntimeError::RuntimeError(std::int32_t number, std::string description, std::string source,
                           std::string sqlstate, std::int32_t native_code)
    : std::runtime_error(description),
      number_(number),
      description_(std::move(description)),
      source_(std::move(source)),
      sqlstate_(std::move(sqlstate)),
      native_code_(native_code) {}

namespace {

template <class Int>
Int Checked(long long value, const std::string& what) {
    if (value < std::numeric_limits<Int>::min() || value > std::numeric_limits<Int>::max()) {
        throw RuntimeError(errnum::kOverflow, "Overflow: " + what + " = " + std::to_string(value) +
                                                  " does not fit a " +
                                                  std::to_string(8 * sizeof(Int)) + "-bit integer");
    }
    return static_cast<Int>(value);
}

}  // namespace

std::int16_t CheckedInt16(long long value, const std::string& what) {
    return Checked<std::int16_t>(value, what);
}

std::int32_t CheckedInt32(long long value, const std::string& what) {
    return Checked<std::int32_t>(value, what);
}

}  // namespace kolbi
