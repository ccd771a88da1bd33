#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "codec/he3_format.h"

namespace kolbi::he3 {

// What the header of a compressed stream says about its codes.
struct CodeTable {
    std::uint8_t checksum = 0;
    std::int32_t length = 0;                   // uncompressed length, above 0
    std::array<std::uint8_t, 256> count{};     // code length per byte value, 0 = no code
    std::array<std::size_t, 256> first_bit{};  // stream bit number of each code's first bit
    std::size_t data_start = 0;                // offset of the first data byte
    unsigned shortest = 0;                     // length of the shortest code
};

// Reads the header, the code table and the code bits of a compressed stream (the
// identification is the caller's business). A value listed twice takes the length of
// its last entry, and a length of 0 gives no code: the table is indexed by value, so
// that is how it reads. Nothing when the header, table or code bits are cut short, the
// length field is not above 0, the symbol count is outside 0..256 or no value has a code.
std::optional<CodeTable> ReadCodeTable(std::span<const std::uint8_t> stream);

// The code tree of a stream, node 0 the root, built the way the format describes it:
// each code inserted from its first bit, a 0 bit leading to one child and a 1 bit to
// the other.
class DecodeTree {
public:
    // Inserts every code in ascending byte-value order. False when the codes are not a
    // prefix code (one code begins another, or two are equal) or the tree would need
    // more than 512 nodes; the tree is then unusable.
    bool Build(const CodeTable& table, std::span<const std::uint8_t> stream);

    // The node a bit leads to from `node`, -1 when there is none.
    std::int16_t Child(int node, unsigned bit) const { return child_[node][bit]; }
    // The byte value at a leaf, -1 at an inner node.
    std::int16_t Value(int node) const { return value_[node]; }

private:
    bool AddCodeToTree(std::span<const std::uint8_t> stream, std::size_t first_bit, unsigned length,
                       std::uint8_t value);

    std::array<std::array<std::int16_t, 2>, kMaxNodes> child_;
    std::array<std::int16_t, kMaxNodes> value_;
    int node_count_ = 0;
};

}  // namespace kolbi::he3
