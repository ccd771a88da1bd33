#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

// Fixed layout of an HE3 stream. Every byte is shared with the workstation
// agents, so nothing here may change.
namespace kolbi::he3 {

// Identification: "HE3" + CR for the compressed form, "HE0" + CR for the stored form.
inline constexpr std::uint8_t kId0 = 'H';
inline constexpr std::uint8_t kId1 = 'E';
inline constexpr std::uint8_t kCompressedForm = '3';
inline constexpr std::uint8_t kStoredForm = '0';
inline constexpr std::uint8_t kId3 = '\r';
inline constexpr std::size_t kIdSize = 4;
inline constexpr std::array<std::uint8_t, kIdSize> kCompressedId{kId0, kId1, kCompressedForm, kId3};
inline constexpr std::array<std::uint8_t, kIdSize> kStoredId{kId0, kId1, kStoredForm, kId3};

// Compressed-form header: checksum, uncompressed length (int32 LE), symbol count (int16 LE),
// then the code table of two bytes per symbol.
inline constexpr std::size_t kChecksumOffset = 4;
inline constexpr std::size_t kLengthOffset = 5;
inline constexpr std::size_t kSymbolCountOffset = 9;
inline constexpr std::size_t kHeaderSize = 11;

inline constexpr int kMaxSymbols = 256;
inline constexpr int kMaxNodes = 512;
inline constexpr int kMaxCodeLength = 255;

}  // namespace kolbi::he3
