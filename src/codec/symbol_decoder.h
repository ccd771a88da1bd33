#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

#include "codec/decode_tree.h"

namespace kolbi::he3 {

// Turns the data bits of a compressed stream into bytes.
//
// The hot path looks up the next kTableBits bits of the stream (earliest bit lowest,
// which is how the format packs them) in a table whose entries hold up to three whole
// codes, so one lookup usually yields two or three bytes; a 64-bit bit buffer is
// refilled without branches between rounds of lookups. Codes longer than the table,
// bits that lead nowhere (incomplete code tables) and the last bytes of the stream go
// through a checked one-code-at-a-time path that walks the tree.
class SymbolDecoder {
public:
    static constexpr unsigned kTableBits = 12;

    // The most bytes one round of the fast path writes, and how far past its output
    // limit it may store (stores are 4 bytes wide).
    static constexpr unsigned kLookupsPerRefill = 56 / kTableBits;
    static constexpr std::size_t kMaxPerRound = 3 * kLookupsPerRefill;
    static constexpr std::size_t kOutputSlack = 4;

    // `tree` must outlive the decoder; `stream` is the whole stream.
    SymbolDecoder(const CodeTable& table, const DecodeTree& tree,
                  std::span<const std::uint8_t> stream);

    // Number of data bits.
    std::size_t bit_size() const { return data_.size() * 8; }

    // Decodes whole table entries from data bit `pos` while `out` stays kMaxPerRound
    // bytes or more below `out_limit` and the bit buffer can still be refilled inside the
    // data; stops early at bits the table cannot resolve. Advances `out`, returns the
    // new bit position. May store up to kOutputSlack bytes past `out_limit`.
    std::size_t DecodeFast(std::size_t pos, std::uint8_t*& out,
                           const std::uint8_t* out_limit) const;

    enum class Outcome {
        kSymbol,        // `byte` set, `pos` moved past its code
        kRanOut,        // the data ends inside a code: `pos` is the end of the data
        kMissingChild,  // `pos` is the bit that leads to no node
    };

    // Decodes one byte at data bit `pos`, every read checked against the data's end.
    Outcome DecodeOne(std::size_t& pos, std::uint8_t& byte) const;

private:
    static constexpr std::size_t kTableSize = std::size_t{1} << kTableBits;

    // A fast entry: bits 0-3 the bits consumed, bits 6-7 how many bytes (0 = use
    // DecodeOne), bits 8-31 the bytes in output order. Keeping the bit count in the low
    // bits lets the shift of the bit buffer use the entry as it is.
    struct Tables {
        std::array<std::uint32_t, kTableSize> fast;
        // One code: byte value in bits 0-7, code length in bits 8-15 (0 = none fits).
        std::array<std::uint16_t, kTableSize> single;
    };

    const DecodeTree& tree_;
    std::span<const std::uint8_t> data_;
    std::unique_ptr<Tables> tables_;
};

}  // namespace kolbi::he3
