#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "codec/progress_reporter.h"
#include "codec/stream_sink.h"

namespace kolbi::he3 {

// Replaces the HE3 stream in the first `length` bytes of `buffer` by the bytes it
// decodes to (the work behind clsHuffman::DecodeByte). Never throws for any input.
//
// Outcomes:
// - stored form: the bytes after the identification, no Progress;
// - identification "HE" CR with a third byte other than '0' or '3': buffer unchanged;
// - any other first bytes: read as a compressed stream all the same;
// - header, code table or code bits cut short, length field not above 0, symbol count
//   outside 0..256, no code at all, codes that are not a prefix code or need more than
//   512 tree nodes: buffer unchanged, no Progress;
// - otherwise the data bits are decoded until the length field is reached, the data
//   ends, or a bit leads to a node that does not exist (incomplete code tables are
//   accepted up to that point). The result is the bytes decoded so far, or the buffer
//   unchanged when there are none. Progress: at read positions that are multiples of
//   10,000 whose eight bits were all read, position / length * 89; then for output
//   indexes that are multiples of 10,000, index / count * 11 + 89; then 100.
//
// The output is bounded by what the data bits can produce (their number over the
// shortest code length), so a lying length field cannot make it allocate more.
//
// The stored checksum is not compared: no caller has a use for a mismatch, and the
// pump treats a returning decode as success; examination tools compare it themselves.
//
// Yields to the host (LetPendingEventsRun) after reading the code table, after building
// the tree and after every 64 KiB of output. The decoder this one replaces yielded after
// every data bit, which cost far more than the decoding itself; the host only needs to
// stay responsive (service events, keys, screen), and 64 KiB take well under a
// millisecond to decode. Any nested codec call a yield lets run shares no state with
// this one.
void DecodeStream(std::vector<std::uint8_t>& buffer, std::size_t length,
                  ProgressReporter& progress);

// What DecodeStreamTo made of a stream.
struct DecodedTo {
    bool structure_sound = false;  // stored form, or a compressed one whose data was decoded
    std::size_t count = 0;         // bytes handed to the sink
    std::uint8_t data_xor = 0;     // their XOR (compressed form)
    std::size_t data_end = 0;      // compressed form: the stream byte after the last code read
    std::size_t length_field = 0;  // compressed form: the length its header gives
};

// The bytes DecodeStream would give, read from the stream where it lies and
// handed to `sink` in pieces of at most 64 KiB as they are decoded, never
// held whole: for tools that write files. Decodes, progresses and yields as
// DecodeStream does; `count` 0 where DecodeStream would leave its buffer as
// it was.
DecodedTo DecodeStreamTo(std::span<const std::uint8_t> stream, const StreamSink& sink,
                         ProgressReporter& progress);

}  // namespace kolbi::he3
