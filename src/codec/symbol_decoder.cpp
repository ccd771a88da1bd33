#include "codec/symbol_decoder.h"

#include "codec/bit_io.h"

namespace kolbi::he3 {

namespace {

struct ShortCode {
    std::uint32_t bits;  // first bit in bit 0
    std::uint8_t length;
    std::uint8_t value;
};

}  // namespace

SymbolDecoder::SymbolDecoder(const CodeTable& table, const DecodeTree& tree,
                             std::span<const std::uint8_t> stream)
    : tree_(tree), data_(stream.subspan(table.data_start)), tables_(std::make_unique<Tables>()) {
    // The codes that fit the table, shortest first (a counting sort by length), so the
    // loops below can stop at the first code that no longer fits.
    std::array<unsigned, kTableBits + 2> start{};
    for (int v = 0; v < 256; ++v) {
        if (table.count[v] != 0 && table.count[v] <= kTableBits) ++start[table.count[v] + 1];
    }
    for (unsigned length = 1; length <= kTableBits; ++length) start[length + 1] += start[length];
    const unsigned fitting = start[kTableBits + 1];
    std::array<ShortCode, 256> codes;
    for (int v = 0; v < 256; ++v) {
        unsigned length = table.count[v];
        if (length == 0 || length > kTableBits) continue;
        auto bits = static_cast<std::uint32_t>(
            ReadBits(stream.data(), stream.size(), table.first_bit[v], length));
        codes[start[length]++] = {bits, static_cast<std::uint8_t>(length),
                                  static_cast<std::uint8_t>(v)};
    }
    const std::span<const ShortCode> sorted(codes.data(), fitting);
    // Every index whose low bits spell a code gets it; the tree has made sure that no two
    // codes claim the same index. Entries are filled by code rather than by index: one,
    // two and three codes in a row each cover at most the whole table once, which keeps
    // the set-up small next to decoding a single report.
    auto fill = [](auto& entries, std::uint32_t prefix, unsigned length, auto entry) {
        for (std::size_t i = prefix; i < kTableSize; i += std::size_t{1} << length)
            entries[i] = entry;
    };
    auto& fast = tables_->fast;
    for (const ShortCode& a : sorted) {
        fill(tables_->single, a.bits, a.length,
             static_cast<std::uint16_t>(a.value | a.length << 8));
        fill(fast, a.bits, a.length, std::uint32_t{a.value} << 8 | 1u << 6 | a.length);
        for (const ShortCode& b : sorted) {
            unsigned ab = a.length + b.length;
            if (ab > kTableBits) break;
            std::uint32_t prefix_ab = a.bits | b.bits << a.length;
            std::uint32_t values_ab = std::uint32_t{a.value} << 8 | std::uint32_t{b.value} << 16;
            fill(fast, prefix_ab, ab, values_ab | 2u << 6 | ab);
            for (const ShortCode& c : sorted) {
                unsigned abc = ab + c.length;
                if (abc > kTableBits) break;
                fill(fast, prefix_ab | c.bits << ab, abc,
                     values_ab | std::uint32_t{c.value} << 24 | 3u << 6 | abc);
            }
        }
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
