#include "codec/symbol_decoder.h"

#include "codec/bit_io.h"

namespace kolbi::he3 {

SymbolDecoder::SymbolDecoder(const CodeTable& table, const DecodeTree& tree,
                             std::span<const std::uint8_t> stream)
    : tree_(tree), data_(stream.subspan(table.data_start)), tables_(std::make_unique<Tables>()) {
    auto& single = tables_->single;
    for (int v = 0; v < 256; ++v) {
        unsigned length = table.count[v];
        if (length == 0 || length > kTableBits) continue;
        auto code = static_cast<std::size_t>(
            ReadBits(stream.data(), stream.size(), table.first_bit[v], length));
        // Every index whose low bits spell the code; the tree has already made sure no
        // two codes claim the same index.
        for (std::size_t i = code; i < kTableSize; i += std::size_t{1} << length) {
            single[i] = static_cast<std::uint16_t>(v | length << 8);
        }
    }
    for (std::size_t index = 0; index < kTableSize; ++index) {
        unsigned used = 0;
        unsigned bytes = 0;
        std::uint32_t values = 0;
        // A further code counts only when it lies wholly inside the index's bits.
        while (bytes < 3) {
            std::uint16_t entry = single[index >> used];
            unsigned length = entry >> 8;
            if (length == 0 || used + length > kTableBits) break;
            values |= std::uint32_t{static_cast<std::uint8_t>(entry)} << (8 * bytes);
            used += length;
            ++bytes;
        }
        tables_->fast[index] = bytes == 0 ? 0 : values << 8 | bytes << 6 | used;
    }
}

std::size_t SymbolDecoder::DecodeFast(std::size_t pos, std::uint8_t*& out_ref,
                                      const std::uint8_t* out_limit) const {
    constexpr std::uint64_t kMask = kTableSize - 1;
    if (data_.size() < 8) return pos;
    const std::uint8_t* data = data_.data();
    const std::uint8_t* last_load = data + data_.size() - 8;
    const std::uint8_t* in = data + (pos >> 3);
    std::uint8_t* out = out_ref;
    if (in > last_load || out_limit - out < static_cast<std::ptrdiff_t>(kMaxPerRound)) {
        return pos;
    }
    const std::uint32_t* fast = tables_->fast.data();

    // `in` points past the bytes counted in `count`; bits above `count` in the buffer
    // are either 0 or the true stream bits, so OR-ing a reload over them is harmless.
    std::uint64_t bits = Load64LE(in) >> (pos & 7);
    unsigned count = 56 - static_cast<unsigned>(pos & 7);
    in += 7;
    for (;;) {
        if (in > last_load) break;
        bits |= Load64LE(in) << count;
        in += (63 - count) >> 3;
        count |= 56;
        if (out_limit - out < static_cast<std::ptrdiff_t>(kMaxPerRound)) break;
#pragma GCC unroll 8
        for (unsigned k = 0; k < kLookupsPerRefill; ++k) {
            std::uint32_t e = fast[bits & kMask];
            if ((e & 0xC0) == 0) [[unlikely]] {
                out_ref = out;
                return static_cast<std::size_t>(in - data) * 8 - count;
            }
            Store32LE(out, e >> 8);
            out += (e >> 6) & 3;
            bits >>= e & 63;
            count -= e & 63;
        }
    }
    out_ref = out;
    return static_cast<std::size_t>(in - data) * 8 - count;
}

SymbolDecoder::Outcome SymbolDecoder::DecodeOne(std::size_t& pos, std::uint8_t& byte) const {
    const std::size_t end = bit_size();
    if (pos < end) {
        std::uint16_t entry =
            tables_->single[ReadBits(data_.data(), data_.size(), pos, kTableBits)];
        unsigned length = entry >> 8;
        if (length != 0 && length <= end - pos) {
            byte = static_cast<std::uint8_t>(entry);
            pos += length;
            return Outcome::kSymbol;
        }
    }
    // Long codes, gaps of an incomplete table and the stream's last bits: walk the tree.
    int node = 0;
    for (;;) {
        if (pos >= end) return Outcome::kRanOut;
        std::int16_t next = tree_.Child(node, ReadBit(data_.data(), pos));
        if (next < 0) return Outcome::kMissingChild;
        ++pos;
        node = next;
        if (tree_.Value(node) >= 0) {
            byte = static_cast<std::uint8_t>(tree_.Value(node));
            return Outcome::kSymbol;
        }
    }
}

}  // namespace kolbi::he3
