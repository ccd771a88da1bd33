// Encode and decode speed of the HE3 codec beside zlib's Huffman-only mode on the same
// data, and memcpy of the same size as the ceiling. MB/s count uncompressed bytes per
// second of CPU time: the machines are shared, and CPU time is what another process's
// load distorts least.
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

#include "codec/cls_huffman.h"
#include "text_corpus.h"

namespace kolbi::bench {
namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::size_t kTextSize = 10 * 1000 * 1000;
constexpr std::size_t kOneReportSize = 16 * 1024;

void SetThroughput(benchmark::State& state, std::size_t size, std::size_t compressed) {
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * size));
    state.counters["ratio"] = static_cast<double>(compressed) / static_cast<double>(size);
}

void He3Encode(benchmark::State& state, const Bytes& text) {
    clsHuffman codec;
    Bytes buffer;
    for (auto _ : state) {
        state.PauseTiming();
        buffer.assign(text.begin(), text.end());  // the codec works in place
        state.ResumeTiming();
        codec.EncodeByte(buffer, static_cast<std::int32_t>(text.size()));
        benchmark::DoNotOptimize(buffer.data());
    }
    SetThroughput(state, text.size(), buffer.size());
}

void He3Decode(benchmark::State& state, const Bytes& text) {
    clsHuffman codec;
    Bytes stream = text;
    codec.EncodeByte(stream, static_cast<std::int32_t>(stream.size()));
    Bytes buffer;
    for (auto _ : state) {
        state.PauseTiming();
        buffer.assign(stream.begin(), stream.end());
        state.ResumeTiming();
        codec.DecodeByte(buffer, static_cast<std::int32_t>(stream.size()));
        benchmark::DoNotOptimize(buffer.data());
    }
    if (buffer != text) state.SkipWithError("HE3 round trip differs");
    SetThroughput(state, text.size(), stream.size());
}

// Raw deflate (no zlib header, no Adler-32), so zlib does no more than Huffman coding.
z_stream HuffmanDeflater() {
    z_stream z{};
    if (deflateInit2(&z, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -15, 8, Z_HUFFMAN_ONLY) != Z_OK) {
        throw std::runtime_error("deflateInit2");
    }
    return z;
}

std::size_t Deflate(z_stream& z, const Bytes& in, Bytes& out) {
    deflateReset(&z);
    z.next_in = const_cast<Bytes::value_type*>(in.data());
    z.avail_in = static_cast<uInt>(in.size());
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    if (deflate(&z, Z_FINISH) != Z_STREAM_END) throw std::runtime_error("deflate");
    return out.size() - z.avail_out;
}

void ZlibDeflate(benchmark::State& state, const Bytes& text) {
    z_stream z = HuffmanDeflater();
    Bytes out(deflateBound(&z, text.size()));
    std::size_t size = 0;
    for (auto _ : state) {
        size = Deflate(z, text, out);
        benchmark::DoNotOptimize(out.data());
    }
    deflateEnd(&z);
    SetThroughput(state, text.size(), size);
}

void ZlibInflate(benchmark::State& state, const Bytes& text) {
    z_stream d = HuffmanDeflater();
    Bytes compressed(deflateBound(&d, text.size()));
    compressed.resize(Deflate(d, text, compressed));
    deflateEnd(&d);

    z_stream z{};
    if (inflateInit2(&z, -15) != Z_OK) throw std::runtime_error("inflateInit2");
    Bytes out(text.size());
    for (auto _ : state) {
        inflateReset(&z);
        z.next_in = compressed.data();
        z.avail_in = static_cast<uInt>(compressed.size());
        z.next_out = out.data();
        z.avail_out = static_cast<uInt>(out.size());
        if (inflate(&z, Z_FINISH) != Z_STREAM_END) state.SkipWithError("inflate");
        benchmark::DoNotOptimize(out.data());
    }
    inflateEnd(&z);
    if (out != text) state.SkipWithError("zlib round trip differs");
    SetThroughput(state, text.size(), compressed.size());
}

void Memcpy(benchmark::State& state, const Bytes& text) {
    Bytes out(text.size());
    for (auto _ : state) {
        std::memcpy(out.data(), text.data(), text.size());
        benchmark::ClobberMemory();
    }
    SetThroughput(state, text.size(), text.size());
}

void RegisterAll(const std::string& corpus, const Bytes& text) {
    struct Entry {
        const char* name;
        void (*run)(benchmark::State&, const Bytes&);
    };
    for (Entry e : {Entry{"he3_encode", He3Encode}, Entry{"zlib_deflate_huffman", ZlibDeflate},
                    Entry{"he3_decode", He3Decode}, Entry{"zlib_inflate_huffman", ZlibInflate},
                    Entry{"memcpy", Memcpy}}) {
        benchmark::RegisterBenchmark((corpus + "/" + e.name).c_str(), e.run, text)
            ->Unit(text.size() < kTextSize ? benchmark::kMicrosecond : benchmark::kMillisecond);
    }
}

Bytes AsBytes(const std::string& text) { return {text.begin(), text.end()}; }

}  // namespace
}  // namespace kolbi::bench

int main(int argc, char** argv) {
    using namespace kolbi::bench;
    // Static so the registered benchmarks can refer to them until the end.
    static const Bytes report = AsBytes(InventoryReportText(kTextSize));
    static const Bytes english = AsBytes(EnglishText(kTextSize));
    // One workstation's report is tens of kilobytes: there the per-call set-up counts.
    static const Bytes one_report = AsBytes(InventoryReportText(kOneReportSize));
    RegisterAll("report", report);
    RegisterAll("english", english);
    RegisterAll("report16k", one_report);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
