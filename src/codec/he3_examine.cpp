#include "codec/he3_examine.h"

#include <algorithm>
#include <array>
#include <limits>

#include "codec/cls_huffman.h"

namespace kolbi {
namespace {

constexpr std::size_t kIdentificationSize = 4;
constexpr std::size_t kHeaderSize = 11;
// The decoder's fixed node array; a tree that needs more cannot be decoded.
constexpr std::int32_t kMaxNodes = 512;

std::string Hex(std::uint8_t byte) {
    static const char kDigits[] = "0123456789ABCDEF";
    return std::string("0x") + kDigits[byte >> 4] + kDigits[byte & 15];
}

std::string Of(std::size_t have, std::size_t need, const char* what) {
    return std::to_string(have) + " of " + std::to_string(need) + " " + what;
}

// Bounds-checked reads: every access to the stream goes through here.
class Reader {
public:
    explicit Reader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

    std::size_t size() const { return bytes_.size(); }
    bool Has(std::size_t offset, std::size_t count) const {
        return offset <= bytes_.size() && count <= bytes_.size() - offset;
    }
    std::uint8_t Byte(std::size_t offset) const { return bytes_[offset]; }
    std::int32_t Int32(std::size_t offset) const {
        std::uint32_t v = 0;
        for (std::size_t i = 0; i < 4; ++i) v |= std::uint32_t{bytes_[offset + i]} << (8 * i);
        return static_cast<std::int32_t>(v);
    }
    std::int16_t Int16(std::size_t offset) const {
        return static_cast<std::int16_t>(bytes_[offset] | (bytes_[offset + 1] << 8));
    }
    // Bit `index` of the section starting at `offset`, by the LSB-first rule.
    bool Bit(std::size_t offset, std::size_t index) const {
        return (bytes_[offset + index / 8] >> (index % 8)) & 1;
    }

private:
    std::span<const std::uint8_t> bytes_;
};

struct TreeNode {
    std::int32_t child[2] = {-1, -1};
    std::int32_t value = -1;
};

// Inserts the codes in ascending symbol order, as the decoder does, and
// reports the first code that does not fit a prefix tree of 512 nodes.
void BuildTree(He3Examination& result) {
    std::vector<TreeNode> nodes(1);
    nodes.reserve(kMaxNodes);
    for (const He3CodeEntry& entry : result.codes) {
        std::int32_t at = 0;
        for (char bit : entry.bits) {
            if (nodes[at].value >= 0) {
                result.fault = He3Fault::kNotPrefixCode;
                result.detail = "code of symbol " + std::to_string(entry.symbol);
                return;
            }
            std::int32_t& child = nodes[at].child[bit == '1'];
            if (child < 0) {
                if (static_cast<std::int32_t>(nodes.size()) >= kMaxNodes) {
                    result.fault = He3Fault::kTooManyNodes;
                    result.detail = "at symbol " + std::to_string(entry.symbol);
                    return;
                }
                child = static_cast<std::int32_t>(nodes.size());
                nodes.emplace_back();
            }
            at = child;
        }
        if (nodes[at].value >= 0 || nodes[at].child[0] >= 0 || nodes[at].child[1] >= 0) {
            result.fault = He3Fault::kNotPrefixCode;
            result.detail = "code of symbol " + std::to_string(entry.symbol);
            return;
        }
        nodes[at].value = entry.symbol;
    }
    result.tree_nodes = static_cast<std::int32_t>(nodes.size());
    for (const TreeNode& node : nodes) {
        if (node.value < 0 && (node.child[0] < 0 || node.child[1] < 0)) {
            result.fault = He3Fault::kIncompleteCode;
            return;
        }
    }
}

void ExamineCompressed(const Reader& in, He3Examination& result) {
    if (!in.Has(0, kHeaderSize)) {
        result.fault = He3Fault::kTruncatedHeader;
        result.detail = Of(in.size(), kHeaderSize, "bytes");
        return;
    }
    result.has_header = true;
    result.checksum = in.Byte(4);
    result.uncompressed_length = in.Int32(5);
    result.symbol_count = in.Int16(9);
    // The length field does not stop parsing: the table after it is still
    // worth showing to whoever is looking at a damaged file.
    He3Fault length_fault = He3Fault::kNone;
    if (result.uncompressed_length <= 0) length_fault = He3Fault::kBadLength;
    auto fail = [&](He3Fault fault, std::string detail) {
        result.fault = length_fault != He3Fault::kNone ? length_fault : fault;
        result.detail = length_fault != He3Fault::kNone ? std::to_string(result.uncompressed_length)
                                                        : std::move(detail);
    };

    const std::int32_t n = result.symbol_count;
    if (n < 1 || n > 256) return fail(He3Fault::kBadSymbolCount, std::to_string(n));
    const std::size_t table_size = 2 * static_cast<std::size_t>(n);
    const std::size_t table_have = std::min(table_size, in.size() - kHeaderSize);
    for (std::size_t i = 0; i + 1 < table_have; i += 2) {
        result.codes.push_back({in.Byte(kHeaderSize + i), in.Byte(kHeaderSize + i + 1), {}});
    }
    if (table_have < table_size) {
        return fail(He3Fault::kTruncatedTable, Of(table_have, table_size, "bytes"));
    }
    std::size_t total_bits = 0;
    for (std::size_t i = 0; i < result.codes.size(); ++i) {
        const He3CodeEntry& entry = result.codes[i];
        if (i > 0 && entry.symbol <= result.codes[i - 1].symbol) {
            return fail(He3Fault::kUnorderedTable, "symbol " + std::to_string(entry.symbol) +
                                                       " after " +
                                                       std::to_string(result.codes[i - 1].symbol));
        }
        if (entry.length == 0) {
            return fail(He3Fault::kZeroCodeLength, "symbol " + std::to_string(entry.symbol));
        }
        total_bits += entry.length;
    }

    const std::size_t code_offset = kHeaderSize + table_size;
    const std::size_t code_bytes = (total_bits + 7) / 8;
    if (!in.Has(code_offset, code_bytes)) {
        return fail(He3Fault::kTruncatedCodeBits, Of(in.size() - code_offset, code_bytes, "bytes"));
    }
    std::size_t bit = 0;
    for (He3CodeEntry& entry : result.codes) {
        entry.bits.reserve(entry.length);
        for (std::size_t k = 0; k < entry.length; ++k, ++bit) {
            entry.bits.push_back(in.Bit(code_offset, bit) ? '1' : '0');
        }
    }
    result.has_code_bits = true;
    result.data_offset = code_offset + code_bytes;

    BuildTree(result);
    if (!result.ok()) return fail(result.fault, result.detail);
    if (length_fault != He3Fault::kNone) return fail(length_fault, {});

    // Every symbol costs at least the shortest code, so data bits that cannot
    // hold the announced length betray a cut stream before anything is decoded.
    std::size_t shortest = 255;
    for (const He3CodeEntry& entry : result.codes)
        shortest = std::min<std::size_t>(shortest, entry.length);
    const std::size_t data_bytes = in.size() - result.data_offset;
    const auto length = static_cast<std::uint64_t>(result.uncompressed_length);
    if (std::uint64_t{data_bytes} * 8 < length * shortest) {
        result.fault = He3Fault::kTruncatedData;
        result.detail = std::to_string(data_bytes) + " data bytes for " + std::to_string(length) +
                        " bytes of output";
    }
}

}  // namespace

He3Examination ExamineHe3(std::span<const std::uint8_t> stream) {
    He3Examination result;
    result.stream_size = stream.size();
    const Reader in(stream);
    if (!in.Has(0, kIdentificationSize) || in.Byte(0) != 'H' || in.Byte(1) != 'E' ||
        in.Byte(3) != '\r') {
        result.fault = He3Fault::kNoIdentification;
        return result;
    }
    switch (in.Byte(2)) {
        case '3':
            result.form = He3Form::kCompressed;
            ExamineCompressed(in, result);
            break;
        case '0':
            result.form = He3Form::kStored;
            result.uncompressed_length =
                static_cast<std::int64_t>(stream.size() - kIdentificationSize);
            break;
        default:
            result.fault = He3Fault::kUnknownForm;
            result.detail = "unknown form byte " + Hex(in.Byte(2));
            break;
    }
    return result;
}

He3Verification VerifyHe3To(std::span<const std::uint8_t> stream, clsHuffman& codec,
                            const he3::StreamSink& sink) {
    He3Verification result;
    result.examination = ExamineHe3(stream);
    He3Examination& examination = result.examination;
    if (!examination.ok()) return result;
    if (stream.size() > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())) {
        examination.fault = He3Fault::kTooLarge;
        examination.detail = std::to_string(stream.size()) + " bytes";
        return result;
    }

    const he3::DecodedTo decoded = codec.DecodeTo(stream, sink);
    result.decoded = true;
    // The stored form decodes to its bytes after the identification, which is
    // what its length is; the compressed form must give what its header says.
    if (examination.form == He3Form::kStored) return result;

    const auto expected = static_cast<std::uint64_t>(examination.uncompressed_length);
    const std::size_t got = decoded.count;
    result.data_xor = decoded.data_xor;
    if (got < expected) {
        examination.fault = He3Fault::kTruncatedData;
        examination.detail = "decoded " + Of(got, expected, "bytes");
        return result;
    }
    if (got != expected) {
        examination.fault = He3Fault::kLengthMismatch;
        examination.detail = "decoded " + Of(got, expected, "bytes");
        return result;
    }
    if (result.data_xor != examination.checksum) {
        examination.fault = He3Fault::kChecksumMismatch;
        examination.detail = "stored " + Hex(examination.checksum) + ", data " + Hex(result.data_xor);
        return result;
    }
    if (decoded.data_end < stream.size()) result.trailing_bytes = stream.size() - decoded.data_end;
    return result;
}

He3Verification DecodeAndVerifyHe3(std::span<const std::uint8_t> stream, clsHuffman& codec) {
    std::vector<std::uint8_t> data;
    He3Verification result = VerifyHe3To(stream, codec, [&](std::span<const std::uint8_t> piece) {
        data.insert(data.end(), piece.begin(), piece.end());
    });
    if (result.examination.ok()) result.data = std::move(data);
    return result;
}

const char* He3FormName(He3Form form) {
    switch (form) {
        case He3Form::kCompressed:
            return "HE3 (compressed)";
        case He3Form::kStored:
            return "HE0 (stored)";
        case He3Form::kUnknown:
            break;
    }
    return "unknown";
}

std::string He3FaultText(const He3Examination& examination) {
    const char* text = "";
    switch (examination.fault) {
        case He3Fault::kNone:
            return {};
        case He3Fault::kNoIdentification:
            text = "not an HE3 or HE0 stream";
            break;
        case He3Fault::kUnknownForm:
            text = "not an HE3 or HE0 stream";
            break;
        case He3Fault::kTruncatedHeader:
            text = "truncated header";
            break;
        case He3Fault::kBadLength:
            text = "invalid uncompressed length";
            break;
        case He3Fault::kBadSymbolCount:
            text = "invalid symbol count";
            break;
        case He3Fault::kTruncatedTable:
            text = "truncated code table";
            break;
        case He3Fault::kUnorderedTable:
            text = "code table not in ascending symbol order";
            break;
        case He3Fault::kZeroCodeLength:
            text = "code length 0 in the code table";
            break;
        case He3Fault::kTruncatedCodeBits:
            text = "truncated code bits";
            break;
        case He3Fault::kNotPrefixCode:
            text = "code table is not a prefix code";
            break;
        case He3Fault::kIncompleteCode:
            text = "code table is incomplete";
            break;
        case He3Fault::kTooManyNodes:
            text = "code tree needs more than 512 nodes";
            break;
        case He3Fault::kTruncatedData:
            text = "truncated data";
            break;
        case He3Fault::kLengthMismatch:
            text = "decoded length differs from the length field";
            break;
        case He3Fault::kChecksumMismatch:
            text = "checksum mismatch";
            break;
        case He3Fault::kTooLarge:
            text = "too large for the decoder";
            break;
    }
    if (examination.detail.empty()) return text;
    return std::string(text) + " (" + examination.detail + ")";
}

bool IsNotAStream(He3Fault fault) {
    return fault == He3Fault::kNoIdentification || fault == He3Fault::kUnknownForm;
}

}  // namespace kolbi
