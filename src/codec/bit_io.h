#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

// Little-endian word access and single-bit reads for the HE3 bit order: bit p of
// a byte is its 2^p bit, and bytes follow one another, so a little-endian 64-bit
// load yields the next 64 stream bits with the earliest in bit 0.
namespace kolbi::he3 {

inline std::uint64_t Load64LE(const std::uint8_t* p) {
    std::uint64_t v;
    std::memcpy(&v, p, sizeof v);
    if constexpr (std::endian::native == std::endian::big) v = __builtin_bswap64(v);
    return v;
}

inline void Store64LE(std::uint8_t* p, std::uint64_t v) {
    if constexpr (std::endian::native == std::endian::big) v = __builtin_bswap64(v);
    std::memcpy(p, &v, sizeof v);
}

inline void Store32LE(std::uint8_t* p, std::uint32_t v) {
    if constexpr (std::endian::native == std::endian::big) v = __builtin_bswap32(v);
    std::memcpy(p, &v, sizeof v);
}

// Bit number `bit` of the buffer (the caller keeps it in range).
inline unsigned ReadBit(const std::uint8_t* data, std::size_t bit) {
    return (data[bit >> 3] >> (bit & 7)) & 1u;
}

// `count` (at most 57) bits starting at bit number `bit`, the first in bit 0 of the
// result; bits past `size` bytes read as 0.
inline std::uint64_t ReadBits(const std::uint8_t* data, std::size_t size, std::size_t bit,
                              unsigned count) {
    std::size_t byte = bit >> 3;
    std::uint64_t v = 0;
    for (unsigned k = 0; k < 8 && byte + k < size; ++k) {
        v |= std::uint64_t{data[byte + k]} << (8 * k);
    }
    v >>= bit & 7;
    return count >= 64 ? v : v & ((std::uint64_t{1} << count) - 1);
}

}  // namespace kolbi::he3
