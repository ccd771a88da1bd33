#include "codec/huffman_decoder.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <optional>
#include <span>

#include "codec/decode_tree.h"
#include "codec/he3_format.h"
#include "codec/symbol_decoder.h"
#include "common/pending_events.h"

namespace kolbi::he3 {
namespace {

// Output bytes decoded between two yields to the host.
constexpr std::size_t kChunk = 64 * 1024;

// Progress of the data phase. A read position p (1-based) reports p / length * 89
// when it is a multiple of 10,000 and all eight bits of its byte were read before
// decoding ended: the byte that completes the output, or holds the bad bit, reports
// nothing.
class DataProgress {
public:
    DataProgress(ProgressReporter& progress, std::size_t data_start, std::size_t length)
        : progress_(progress),
          data_start_(data_start),
          length_(length),
          next_((data_start / kStep + 1) * kStep) {}

    // Reports every position whose byte ends before data bit `end`.
    void ReportBefore(std::size_t end) {
        if (!progress_.active()) return;
        while (next_ <= length_ && 8 * (next_ - data_start_) < end) {
            progress_.Report(static_cast<double>(next_) / static_cast<double>(length_) * 89);
            next_ += kStep;
        }
    }

private:
    static constexpr std::size_t kStep = 10000;
    ProgressReporter& progress_;
    std::size_t data_start_;
    std::size_t length_;
    std::size_t next_;  // next position to report
};

// Decodes the data bits into `output`; returns the number of bytes decoded.
std::size_t DecodeData(const SymbolDecoder& decoder, const CodeTable& table,
                       std::vector<std::uint8_t>& output, DataProgress& progress) {
    using Outcome = SymbolDecoder::Outcome;
    const std::size_t bits = decoder.bit_size();
    // No byte takes fewer bits than the shortest code, whatever the length field says.
    const std::size_t cap = std::min(static_cast<std::size_t>(table.length), bits / table.shortest);
    output.resize(cap + SymbolDecoder::kOutputSlack);

    std::uint8_t* const base = output.data();
    std::uint8_t* out = base;
    std::size_t pos = 0;
    while (static_cast<std::size_t>(out - base) < cap) {
        const std::uint8_t* limit =
            base + std::min(cap, static_cast<std::size_t>(out - base) + kChunk);
        while (out < limit) {
            pos = decoder.DecodeFast(pos, out, limit);
            if (out == limit) break;
            std::uint8_t byte = 0;
            Outcome outcome = decoder.DecodeOne(pos, byte);
            if (outcome != Outcome::kSymbol) {
                progress.ReportBefore(outcome == Outcome::kRanOut ? bits + 1 : pos + 1);
                return static_cast<std::size_t>(out - base);
            }
            *out++ = byte;
        }
        progress.ReportBefore(pos);
        LetPendingEventsRun();
    }
    if (cap < static_cast<std::size_t>(table.length)) {
        // Fewer bits remain than the shortest code: the data ends here, inside a code or
        // at a bit that leads nowhere.
        std::uint8_t byte = 0;
        bool missing = decoder.DecodeOne(pos, byte) == Outcome::kMissingChild;
        progress.ReportBefore(missing ? pos + 1 : bits + 1);
    }
    return cap;
}

}  // namespace

void DecodeStream(std::vector<std::uint8_t>& buffer, std::size_t length,
                  ProgressReporter& progress) {
    std::span<const std::uint8_t> stream(buffer.data(), length);
    if (length >= kIdSize && stream[0] == kId0 && stream[1] == kId1 && stream[3] == kId3) {
        if (stream[2] == kStoredForm) {
            std::memmove(buffer.data(), buffer.data() + kIdSize, length - kIdSize);
            buffer.resize(length - kIdSize);
            return;
        }
        if (stream[2] != kCompressedForm) return;  // not an HE3 stream, or corrupt
    }

    std::optional<CodeTable> table = ReadCodeTable(stream);
    if (!table) return;
    LetPendingEventsRun();
    auto tree = std::make_unique<DecodeTree>();
    if (!tree->Build(*table, stream)) return;
    LetPendingEventsRun();

    std::vector<std::uint8_t> output;
    std::size_t count = 0;
    {
        SymbolDecoder decoder(*table, *tree, stream);
        DataProgress data_progress(progress, table->data_start, length);
        count = DecodeData(decoder, *table, output, data_progress);
    }
    // The verification pass only reports its progress: see the header on the checksum.
    const double total = static_cast<double>(count);
    progress.ReportMultiples(0, count, 10000, [&](double i) { return i / total * 11 + 89; });

    if (count > 0) {
        output.resize(count);
        buffer = std::move(output);
    }
    progress.Finish();
}

}  // namespace kolbi::he3
