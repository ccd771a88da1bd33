#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "codec/progress_reporter.h"

namespace kolbi::he3 {

// Replaces the first `length` bytes of `buffer` by their HE3 stream and resizes it to
// exactly the stream (the work behind clsHuffman::EncodeByte).
//
// Empty input gives the 4-byte stored stream; one distinct byte value, or data bits
// longer than the input, give the stored form; anything else the compressed form.
// Progress: 0..7 while counting, 7..12 over the checksum, 12..100 while writing the
// data, then 100; the stored form raises at most the counting values. Raises
// RuntimeError(errnum::kOverflow) with `buffer` untouched when the data bits would
// exceed 2^31 - 1. Never yields to the host: nothing in the pump waits on an encode.
void EncodeStream(std::vector<std::uint8_t>& buffer, std::size_t length,
                  ProgressReporter& progress);

// Receives a stream in pieces, in order; a piece is only valid during the call.
using StreamSink = std::function<void(std::span<const std::uint8_t>)>;

// The same stream handed to `sink` piece by piece as it is produced (the
// identification, header and code table, then the data in blocks of about
// 64 KiB of input), so that a file can be written without the whole stream
// in memory. Nothing reaches the sink before the overflow check has passed.
void EncodeStreamTo(std::span<const std::uint8_t> input, const StreamSink& sink,
                    ProgressReporter& progress);

}  // namespace kolbi::he3
