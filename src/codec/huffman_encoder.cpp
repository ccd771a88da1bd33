#include "codec/huffman_encoder.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>

#include "codec/bit_io.h"
#include "codec/encode_tree.h"
#include "codec/he3_format.h"
#include "common/runtime_error.h"

namespace kolbi::he3 {
namespace {

// Progress is checked between blocks of this many input bytes rather than per byte.
constexpr std::size_t kBlock = 64 * 1024;

// Four histograms, so that runs of one byte value do not serialise on one counter.
using Histograms = std::array<std::array<std::uint32_t, 256>, 4>;

void CountRun(const std::uint8_t* in, std::size_t n, Histograms& h) {
    std::size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        std::uint64_t w = Load64LE(in + i);
        ++h[0][w & 255];
        ++h[1][(w >> 8) & 255];
        ++h[2][(w >> 16) & 255];
        ++h[3][(w >> 24) & 255];
        ++h[0][(w >> 32) & 255];
        ++h[1][(w >> 40) & 255];
        ++h[2][(w >> 48) & 255];
        ++h[3][w >> 56];
    }
    for (; i < n; ++i) ++h[0][in[i]];
}

std::array<std::uint32_t, 256> CountBytes(const std::uint8_t* in, std::size_t n,
                                          ProgressReporter& progress) {
    Histograms h{};
    const double total = static_cast<double>(n);
    for (std::size_t begin = 0; begin < n; begin += kBlock) {
        std::size_t end = std::min(n, begin + kBlock);
        CountRun(in + begin, end - begin, h);
        progress.ReportMultiples(begin, end, 1000, [&](double i) { return i / total * 7; });
    }
    std::array<std::uint32_t, 256> counts{};
    for (int v = 0; v < 256; ++v) counts[v] = h[0][v] + h[1][v] + h[2][v] + h[3][v];
    return counts;
}

std::uint8_t XorRun(const std::uint8_t* in, std::size_t n) {
    std::uint64_t acc = 0;
    std::size_t i = 0;
    for (; i + 8 <= n; i += 8) acc ^= Load64LE(in + i);
    acc ^= acc >> 32;
    acc ^= acc >> 16;
    acc ^= acc >> 8;
    auto x = static_cast<std::uint8_t>(acc);
    for (; i < n; ++i) x ^= in[i];
    return x;
}

std::uint8_t Checksum(const std::uint8_t* in, std::size_t n, ProgressReporter& progress) {
    std::uint8_t x = 0;
    const double total = static_cast<double>(n);
    for (std::size_t begin = 0; begin < n; begin += kBlock) {
        std::size_t end = std::min(n, begin + kBlock);
        x ^= XorRun(in + begin, end - begin);
        progress.ReportMultiples(begin, end, 10000, [&](double i) { return i / total * 5 + 7; });
    }
    return x;
}

// Gathers codes in a 64-bit buffer and writes whole bytes with one unaligned store.
// The destination needs 8 bytes of slack past the last byte written.
struct BitSink {
    std::uint8_t* out;
    std::uint64_t bits = 0;
    unsigned count = 0;  // at most 7 between Flush and Put

    // The caller keeps count + len within 64 and code below 2^len.
    void Put(std::uint64_t code, unsigned len) {
        bits |= code << count;
        count += len;
    }
    void Flush() {
        Store64LE(out, bits);
        out += count >> 3;
        bits >>= count & 56;
        count &= 7;
    }
    // Ends a section: a partly filled byte is written with its high bits 0.
    void Finish() {
        Flush();
        if (count != 0) {
            ++out;
            bits = 0;
            count = 0;
        }
    }
};

// Codes and lengths apart, so that putting a code needs neither a mask nor a shift.
struct CodeTable {
    std::array<std::uint64_t, 256> code;
    std::array<std::uint8_t, 256> length;
};

// Puts K codes between flushes; K * longest code <= 56 keeps the buffer within 64 bits.
template <int K>
void EncodeRun(const std::uint8_t* in, std::size_t n, const CodeTable& table, BitSink& sink) {
    std::uint8_t* out = sink.out;
    std::uint64_t bits = sink.bits;
    unsigned count = sink.count;
    std::size_t i = 0;
    auto put = [&](std::uint8_t byte) {
        bits |= table.code[byte] << count;
        count += table.length[byte];
    };
    auto flush = [&] {
        Store64LE(out, bits);
        out += count >> 3;
        bits >>= count & 56;
        count &= 7;
    };
    for (; i + K <= n; i += K) {
        for (int k = 0; k < K; ++k) put(in[i + k]);
        flush();
    }
    for (; i < n; ++i) {
        put(in[i]);
        flush();
    }
    sink.out = out;
    sink.bits = bits;
    sink.count = count;
}

// Encodes the data block by block; after each block, and after the last
// partial byte, block_done() takes what the sink has written.
template <class BlockDone>
void EncodeData(const std::uint8_t* in, std::size_t n, const CodeSet& codes, BitSink& sink,
                ProgressReporter& progress, BlockDone&& block_done) {
    CodeTable table{};
    unsigned longest = 1;
    for (int v = 0; v < 256; ++v) {
        table.code[v] = codes[v].Bits;
        table.length[v] = codes[v].Count;
        longest = std::max<unsigned>(longest, codes[v].Count);
    }
    unsigned per_flush = std::min(4u, 56u / longest);
    const double total = static_cast<double>(n);
    for (std::size_t begin = 0; begin < n; begin += kBlock) {
        std::size_t end = std::min(n, begin + kBlock);
        switch (per_flush) {
            case 1:
                EncodeRun<1>(in + begin, end - begin, table, sink);
                break;
            case 2:
                EncodeRun<2>(in + begin, end - begin, table, sink);
                break;
            case 3:
                EncodeRun<3>(in + begin, end - begin, table, sink);
                break;
            default:
                EncodeRun<4>(in + begin, end - begin, table, sink);
                break;
        }
        progress.ReportMultiples(begin, end, 10000,
                                 [&](double i) { return i / total * 88 + 5 + 7; });
        block_done();
    }
    sink.Finish();
    block_done();
}

void WriteLE(std::uint8_t* p, std::uint32_t v, int bytes) {
    for (int k = 0; k < bytes; ++k) p[k] = static_cast<std::uint8_t>(v >> (8 * k));
}

}  // namespace

void EncodeStreamTo(std::span<const std::uint8_t> input, const StreamSink& sink,
                    ProgressReporter& progress) {
    const std::size_t length = input.size();
    if (length == 0) {
        sink(kStoredId);
        return;
    }
    const std::uint8_t* in = input.data();
    std::array<std::uint32_t, 256> counts = CountBytes(in, length, progress);
    CodeSet codes = BuildCodes(counts);

    std::uint64_t data_bits = 0;
    std::uint32_t code_bits = 0;
    int symbols = 0;
    unsigned longest = 1;
    for (int v = 0; v < 256; ++v) {
        data_bits += std::uint64_t{counts[v]} * codes[v].Count;
        code_bits += codes[v].Count;
        symbols += codes[v].Count > 0;
        longest = std::max<unsigned>(longest, codes[v].Count);
    }
    // The format keeps the bit total in a signed 32-bit number.
    if (data_bits > static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max())) {
        throw RuntimeError(errnum::kOverflow, "Overflow", "clsHuffman.EncodeByte()");
    }
    std::size_t data_size = (data_bits + 7) / 8;
    // Only the data bits are weighed against the input, not the header and table: the
    // agents make the same choice, and streams must come out byte for byte the same.
    if (data_size == 0 || data_size > length) {
        sink(kStoredId);
        sink(input);
        return;
    }

    std::uint8_t checksum = Checksum(in, length, progress);
    std::size_t table_end = kHeaderSize + 2 * static_cast<std::size_t>(symbols);
    std::size_t data_start = table_end + (code_bits + 7) / 8;
    std::vector<std::uint8_t> head(data_start + 8);  // slack for the 8-byte stores

    std::copy(kCompressedId.begin(), kCompressedId.end(), head.begin());
    head[kChecksumOffset] = checksum;
    WriteLE(&head[kLengthOffset], static_cast<std::uint32_t>(length), 4);
    WriteLE(&head[kSymbolCountOffset], static_cast<std::uint32_t>(symbols), 2);
    std::size_t at = kHeaderSize;
    BitSink code_sink{head.data() + table_end};
    for (int v = 0; v < 256; ++v) {
        if (codes[v].Count == 0) continue;
        head[at++] = static_cast<std::uint8_t>(v);
        head[at++] = codes[v].Count;
        code_sink.Put(codes[v].Bits, codes[v].Count);
        code_sink.Flush();
    }
    code_sink.Finish();
    sink(std::span<const std::uint8_t>(head.data(), data_start));

    // One block of input at a time into a buffer reused for every block: its
    // whole bytes go out, the bits of a last partial byte stay in the BitSink.
    std::vector<std::uint8_t> block((kBlock * longest + 7) / 8 + 16);
    BitSink data_sink{block.data()};
    EncodeData(in, length, codes, data_sink, progress, [&] {
        sink(std::span<const std::uint8_t>(block.data(),
                                           static_cast<std::size_t>(data_sink.out - block.data())));
        data_sink.out = block.data();
    });
    progress.Finish();
}

void EncodeStream(std::vector<std::uint8_t>& buffer, std::size_t length,
                  ProgressReporter& progress) {
    std::vector<std::uint8_t> stream;
    EncodeStreamTo(std::span<const std::uint8_t>(buffer.data(), length),
                   [&](std::span<const std::uint8_t> piece) {
                       stream.insert(stream.end(), piece.begin(), piece.end());
                   },
                   progress);
    buffer = std::move(stream);
}

}  // namespace kolbi::he3
