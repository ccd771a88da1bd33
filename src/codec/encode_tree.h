#pragma once

#include <array>
#include <cstdint>

namespace kolbi::he3 {

// The code of one byte value: Count bits, the first (nearest the root) in bit 0 of Bits.
// Count 0 means the value has no code.
struct CodeBits {
    std::uint8_t Count = 0;
    std::uint64_t Bits = 0;
};

using CodeSet = std::array<CodeBits, 256>;

// Builds the codes the agents' encoder builds from these occurrence counts: leaves in
// byte-value order, then repeated merging of the two lightest parentless nodes with
// the tie-breaks that decide every byte of the stream. A single distinct value gets
// an empty code (Count 0). Counts must sum to at most 2^31 - 1, which keeps every
// code within 45 bits (a deeper tree needs Fibonacci-sized weights).
CodeSet BuildCodes(const std::array<std::uint32_t, 256>& counts);

}  // namespace kolbi::he3
