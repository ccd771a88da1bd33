#include "codec/decode_tree.h"

#include <algorithm>

#include "codec/bit_io.h"

namespace kolbi::he3 {

std::optional<CodeTable> ReadCodeTable(std::span<const std::uint8_t> stream) {
    const std::uint8_t* s = stream.data();
    const std::size_t n = stream.size();
    if (n < kHeaderSize) return std::nullopt;

    CodeTable table;
    table.checksum = s[kChecksumOffset];
    table.length = static_cast<std::int32_t>(
        std::uint32_t{s[kLengthOffset]} | std::uint32_t{s[kLengthOffset + 1]} << 8 |
        std::uint32_t{s[kLengthOffset + 2]} << 16 | std::uint32_t{s[kLengthOffset + 3]} << 24);
    auto symbols =
        static_cast<std::int16_t>(s[kSymbolCountOffset] | s[kSymbolCountOffset + 1] << 8);
    if (table.length <= 0 || symbols < 0 || symbols > kMaxSymbols) return std::nullopt;

    const std::size_t table_end = kHeaderSize + 2 * static_cast<std::size_t>(symbols);
    if (table_end > n) return std::nullopt;
    for (std::size_t at = kHeaderSize; at < table_end; at += 2) table.count[s[at]] = s[at + 1];

    // Code bits follow the table in ascending byte-value order, not in table order.
    std::size_t bit = table_end * 8;
    table.shortest = kMaxCodeLength + 1;
    for (int v = 0; v < 256; ++v) {
        if (table.count[v] == 0) continue;
        table.first_bit[v] = bit;
        bit += table.count[v];
        table.shortest = std::min<unsigned>(table.shortest, table.count[v]);
    }
    if (table.shortest > kMaxCodeLength) return std::nullopt;
    table.data_start = (bit + 7) / 8;
    if (table.data_start > n) return std::nullopt;
    return table;
}

bool DecodeTree::Build(const CodeTable& table, std::span<const std::uint8_t> stream) {
    child_[0] = {-1, -1};
    value_[0] = -1;
    node_count_ = 1;
    for (int v = 0; v < 256; ++v) {
        if (table.count[v] == 0) continue;
        if (!AddCodeToTree(stream, table.first_bit[v], table.count[v],
                           static_cast<std::uint8_t>(v))) {
            return false;
        }
    }
    return true;
}

bool DecodeTree::AddCodeToTree(std::span<const std::uint8_t> stream, std::size_t first_bit,
                               unsigned length, std::uint8_t value) {
    int node = 0;
    bool created = false;
    for (unsigned k = 0; k < length; ++k) {
        if (value_[node] >= 0) return false;  // an earlier code is a prefix of this one
        unsigned bit = ReadBit(stream.data(), first_bit + k);
        std::int16_t next = child_[node][bit];
        created = next < 0;
        if (created) {
            if (node_count_ == kMaxNodes) return false;
            next = static_cast<std::int16_t>(node_count_++);
            child_[next] = {-1, -1};
            value_[next] = -1;
            child_[node][bit] = next;
        }
        node = next;
    }
    // Ending on a node that already existed means this code equals or begins another.
    if (!created) return false;
    value_[node] = value;
    return true;
}

}  // namespace kolbi::he3
