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

std::int16_t CheckedInt16(long long value, const std::string& what) {
    if (value < std::numeric_limits<std::int16_t>::min() ||
        value > std::numeric_limits<std::int16_t>::max()) {
        throw RuntimeError(errnum::kOverflow,
                           "Overflow: " + what + " = " + std::to_string(value) +
                               " does not fit a 16-bit integer");
    }
    return static_cast<std::int16_t>(value);
}

}  // namespace kolbi
