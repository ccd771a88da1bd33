#pragma once

#include <cstdint>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace kolbi::testing {

using Bytes = std::vector<std::uint8_t>;

inline Bytes ToBytes(const std::string& text) { return {text.begin(), text.end()}; }

// The agents' streams, byte for byte, as the fuzz seed corpus keeps them: "ab",
// "abc" and "abracadabra" hold what their names say, "stored_empty" and
// "stored_aaaa" the stored form of "" and "aaaa".
inline Bytes Sample(const std::string& name) {
    std::ifstream in(std::string(KOLBI_SAMPLES) + "/" + name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Writes HE3 streams from explicit codes, independently of the codec, so tests
// can craft streams the encoder never writes: long or incomplete codes, tables
// that are not prefix codes, lying headers.
class StreamBuilder {
public:
    // A table entry: a byte value and its code as '0'/'1' text, first bit first.
    StreamBuilder& Code(std::uint8_t value, std::string bits) {
        entries_.emplace_back(value, std::move(bits));
        return *this;
    }
    // Overrides the length field (by default the number of bytes encoded).
    StreamBuilder& Length(std::int64_t length) {
        length_ = length;
        return *this;
    }
    // Overrides the symbol count field (by default the number of entries).
    StreamBuilder& SymbolCount(int count) {
        symbol_count_ = count;
        return *this;
    }

    // The stream for `text`: table entries in the order given, code bits in
    // ascending byte order (the last entry of a value wins), then the data bits.
    Bytes Build(const Bytes& text) const {
        std::map<std::uint8_t, std::string> codes;
        for (const auto& [value, bits] : entries_) codes[value] = bits;
        std::uint8_t checksum = 0;
        for (std::uint8_t b : text) checksum ^= b;
        auto length =
            static_cast<std::uint32_t>(length_ >= 0 ? length_ : std::int64_t(text.size()));
        auto count =
            static_cast<std::uint16_t>(symbol_count_ >= 0 ? symbol_count_ : int(entries_.size()));
        Bytes out = {'H', 'E', '3', '\r', checksum};
        for (int k = 0; k < 4; ++k) out.push_back(static_cast<std::uint8_t>(length >> (8 * k)));
        out.push_back(static_cast<std::uint8_t>(count));
        out.push_back(static_cast<std::uint8_t>(count >> 8));
        for (const auto& [value, bits] : entries_) {
            out.push_back(value);
            out.push_back(static_cast<std::uint8_t>(bits.size()));
        }
        std::string code_bits;
        for (const auto& [value, bits] : codes) code_bits += bits;
        AppendBits(out, code_bits);
        std::string data_bits;
        for (std::uint8_t b : text) data_bits += codes.at(b);
        AppendBits(out, data_bits);
        return out;
    }
    Bytes Build(const std::string& text) const { return Build(ToBytes(text)); }

    // Packs '0'/'1' characters into bytes, bit 0 first, the last byte padded with 0.
    static void AppendBits(Bytes& out, const std::string& bits) {
        for (std::size_t i = 0; i < bits.size(); ++i) {
            if (i % 8 == 0) out.push_back(0);
            if (bits[i] == '1') out.back() |= static_cast<std::uint8_t>(1u << (i % 8));
        }
    }

private:
    std::vector<std::pair<std::uint8_t, std::string>> entries_;
    std::int64_t length_ = -1;
    int symbol_count_ = -1;
};

}  // namespace kolbi::testing
