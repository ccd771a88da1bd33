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

// Where decoded bytes go, a window at a time: Next gives room for `room`
// bytes (and the decoder's slack past them), Done says how many were written.
class OutputWindows {
public:
    virtual std::uint8_t* Next(std::size_t room) = 0;
    virtual void Done(const std::uint8_t* begin, std::size_t count) = 0;

protected:
    ~OutputWindows() = default;
};

// Decodes the data bits into `windows`; returns the number of bytes decoded
// and leaves in `end` the data bit after the last code decoded.
std::size_t DecodeData(const SymbolDecoder& decoder, const CodeTable& table, OutputWindows& windows,
                       DataProgress& progress, std::size_t& end) {
    using Outcome = SymbolDecoder::Outcome;
    const std::size_t bits = decoder.bit_size();
    // No byte takes fewer bits than the shortest code, whatever the length field says.
    const std::size_t cap = std::min(static_cast<std::size_t>(table.length), bits / table.shortest);

    std::size_t produced = 0;
    std::size_t pos = 0;
    while (produced < cap) {
        const std::size_t room = std::min(cap - produced, kChunk);
        std::uint8_t* const base = windows.Next(room);
        const std::uint8_t* const limit = base + room;
        std::uint8_t* out = base;
        bool stopped = false;
        while (out < limit) {
            pos = decoder.DecodeFast(pos, out, limit);
            if (out == limit) break;
            std::uint8_t byte = 0;
            Outcome outcome = decoder.DecodeOne(pos, byte);
            if (outcome != Outcome::kSymbol) {
                progress.ReportBefore(outcome == Outcome::kRanOut ? bits + 1 : pos + 1);
                stopped = true;
                break;
            }
            *out++ = byte;
        }
        const auto count = static_cast<std::size_t>(out - base);
        windows.Done(base, count);
        produced += count;
        end = pos;
        if (stopped) return produced;
        progress.ReportBefore(pos);
        LetPendingEventsRun();
    }
    if (cap < static_cast<std::size_t>(table.length)) {
        // Fewer bits remain than the shortest code: the data ends here, inside a code or
        // at a bit that leads nowhere.
        std::uint8_t byte = 0;
        std::size_t at = pos;
        bool missing = decoder.DecodeOne(at, byte) == Outcome::kMissingChild;
        progress.ReportBefore(missing ? at + 1 : bits + 1);
    }
    return cap;
}

// All the output in one buffer, sized for the most the data can give.
class WholeOutput final : public OutputWindows {
public:
    explicit WholeOutput(std::size_t most) : bytes_(most + SymbolDecoder::kOutputSlack) {}
    std::uint8_t* Next(std::size_t) override { return bytes_.data() + used_; }
    void Done(const std::uint8_t*, std::size_t count) override { used_ += count; }
    std::vector<std::uint8_t>& bytes() { return bytes_; }

private:
    std::vector<std::uint8_t> bytes_;
    std::size_t used_ = 0;
};

// One reused window, handed to a sink as each is filled.
class SinkOutput final : public OutputWindows {
public:
    explicit SinkOutput(const StreamSink& sink)
        : sink_(sink), window_(kChunk + SymbolDecoder::kOutputSlack) {}
    std::uint8_t* Next(std::size_t) override { return window_.data(); }
    void Done(const std::uint8_t* begin, std::size_t count) override {
        for (std::size_t i = 0; i < count; ++i) data_xor ^= begin[i];
        if (count > 0) sink_(std::span<const std::uint8_t>(begin, count));
    }
    std::uint8_t data_xor = 0;

private:
    const StreamSink& sink_;
    std::vector<std::uint8_t> window_;
};

// The identification says: stored form, compressed (or read as such), or
// an unknown form, which decodes to nothing.
enum class Form { kStored, kCompressed, kUnknown };

Form FormOf(std::span<const std::uint8_t> stream) {
    if (stream.size() >= kIdSize && stream[0] == kId0 && stream[1] == kId1 && stream[3] == kId3) {
        if (stream[2] == kStoredForm) return Form::kStored;
        if (stream[2] != kCompressedForm) return Form::kUnknown;
    }
    return Form::kCompressed;
}

}  // namespace

void DecodeStream(std::vector<std::uint8_t>& buffer, std::size_t length,
                  ProgressReporter& progress) {
    std::span<const std::uint8_t> stream(buffer.data(), length);
    const Form form = FormOf(stream);
    if (form == Form::kUnknown) return;  // not an HE3 stream, or corrupt
    if (form == Form::kStored) {
        std::memmove(buffer.data(), buffer.data() + kIdSize, length - kIdSize);
        buffer.resize(length - kIdSize);
        return;
    }

    std::optional<CodeTable> table = ReadCodeTable(stream);
    if (!table) return;
    LetPendingEventsRun();
    auto tree = std::make_unique<DecodeTree>();
    if (!tree->Build(*table, stream)) return;
    LetPendingEventsRun();

    std::size_t count = 0;
    std::optional<WholeOutput> output;
    {
        SymbolDecoder decoder(*table, *tree, stream);
        DataProgress data_progress(progress, table->data_start, length);
        output.emplace(std::min(static_cast<std::size_t>(table->length),
                                decoder.bit_size() / table->shortest));
        std::size_t end = 0;
        count = DecodeData(decoder, *table, *output, data_progress, end);
    }
    // The verification pass only reports its progress: see the header on the checksum.
    const double total = static_cast<double>(count);
    progress.ReportMultiples(0, count, 10000, [&](double i) { return i / total * 11 + 89; });

    if (count > 0) {
        output->bytes().resize(count);
        buffer = std::move(output->bytes());
    }
    progress.Finish();
}

DecodedTo DecodeStreamTo(std::span<const std::uint8_t> stream, const StreamSink& sink,
                         ProgressReporter& progress) {
    DecodedTo result;
    const Form form = FormOf(stream);
    if (form == Form::kUnknown) return result;
    if (form == Form::kStored) {
        const std::span<const std::uint8_t> data = stream.subspan(kIdSize);
        result.structure_sound = true;
        result.count = data.size();
        if (!data.empty()) sink(data);
        return result;
    }
    std::optional<CodeTable> table = ReadCodeTable(stream);
    if (!table) return result;
    LetPendingEventsRun();
    auto tree = std::make_unique<DecodeTree>();
    if (!tree->Build(*table, stream)) return result;
    LetPendingEventsRun();
    result.structure_sound = true;
    result.length_field = static_cast<std::size_t>(table->length);
    SinkOutput output(sink);
    {
        SymbolDecoder decoder(*table, *tree, stream);
        DataProgress data_progress(progress, table->data_start, stream.size());
        std::size_t end = 0;
        result.count = DecodeData(decoder, *table, output, data_progress, end);
        result.data_end = table->data_start + (end + 7) / 8;
    }
    result.data_xor = output.data_xor;
    progress.Finish();
    return result;
}

}  // namespace kolbi::he3
