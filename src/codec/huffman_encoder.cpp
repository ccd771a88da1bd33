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

void EncodeData(const std::uint8_t* in, std::size_t n, const CodeSet& codes, BitSink& sink,
                ProgressReporter& progress) {
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
    }
    sink.Finish();
}

void WriteLE(std::uint8_t* p, std::uint32_t v, int bytes) {
    for (int k = 0; k < bytes; ++k) p[k] = static_cast<std::uint8_t>(v >> (8 * k));
}

}  // namespace

void EncodeStream(std::vector<std::uint8_t>& buffer, std::size_t length,
                  ProgressReporter& progress) {
    if (length == 0) {
        buffer.assign(kStoredId.begin(), kStoredId.end());
        return;
    }
    const std::uint8_t* input = buffer.data();
    std::array<std::uint32_t, 256> counts = CountBytes(input, length, progress);
    CodeSet codes = BuildCodes(counts);

    std::uint64_t data_bits = 0;
    std::uint32_t code_bits = 0;
    int symbols = 0;
    for (int v = 0; v < 256; ++v) {
        data_bits += std::uint64_t{counts[v]} * codes[v].Count;
        code_bits += codes[v].Count;
        symbols += codes[v].Count > 0;
    }
    // The format keeps the bit total in a signed 32-bit number.
    if (data_bits > static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max())) {
        throw RuntimeError(errnum::kOverflow, "Overflow", "clsHuffman.EncodeByte()");
    }
    std::size_t data_size = (data_bits + 7) / 8;
    // Only the data bits are weighed against the input, not the header and table: the
    // agents make the same choice, and streams must come out byte for byte the same.
    if (data_size == 0 || data_size > length) {
        buffer.resize(length + kIdSize);
        std::memmove(buffer.data() + kIdSize, buffer.data(), length);
        std::copy(kStoredId.begin(), kStoredId.end(), buffer.begin());
        return;
    }

    std::uint8_t checksum = Checksum(input, length, progress);
    std::size_t table_end = kHeaderSize + 2 * static_cast<std::size_t>(symbols);
    std::size_t data_start = table_end + (code_bits + 7) / 8;
    std::size_t total = data_start + data_size;
    std::vector<std::uint8_t> work(total + 8);  // slack for the 8-byte stores

    std::copy(kCompressedId.begin(), kCompressedId.end(), work.begin());
    work[kChecksumOffset] = checksum;
    WriteLE(&work[kLengthOffset], static_cast<std::uint32_t>(length), 4);
    WriteLE(&work[kSymbolCountOffset], static_cast<std::uint32_t>(symbols), 2);
    std::size_t at = kHeaderSize;
    BitSink code_sink{work.data() + table_end};
    for (int v = 0; v < 256; ++v) {
        if (codes[v].Count == 0) continue;
        work[at++] = static_cast<std::uint8_t>(v);
        work[at++] = codes[v].Count;
        code_sink.Put(codes[v].Bits, codes[v].Count);
        code_sink.Flush();
    }
    code_sink.Finish();

    BitSink data_sink{work.data() + data_start};
    EncodeData(input, length, codes, data_sink, progress);

    work.resize(total);
    buffer = std::move(work);
    progress.Finish();
}

}  // namespace kolbi::he3
