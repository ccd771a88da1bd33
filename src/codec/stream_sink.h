#pragma once

#include <cstdint>
#include <functional>
#include <span>

namespace kolbi::he3 {

// Receives a stream, or what it decodes to, in pieces, in order; a piece is
// valid during the call only. Tools write files through one without holding
// the whole in memory.
using StreamSink = std::function<void(std::span<const std::uint8_t>)>;

}  // namespace kolbi::he3
