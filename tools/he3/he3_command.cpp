#include "he3/he3_command.h"

#include <unistd.h>

#include <cstdio>
#include <exception>
#include <limits>
#include <new>
#include <optional>

#include "codec/cls_huffman.h"
#include "codec/he3_examine.h"
#include "common/runtime_error.h"
#include "he3/byte_io.h"

namespace kolbi {
namespace {

constexpr const char* kUsage =
    "Usage: he3 compress IN OUT     compress IN into the HE3 stream OUT\n"
    "       he3 decompress IN OUT   decompress the HE3 or HE0 stream IN into OUT\n"
    "       he3 info FILE           show a stream's header and code table and check it\n"
    "       he3 --help              show this help\n"
    "A file name of - means standard input or standard output.\n"
    "Exit status: 0 success, 1 missing input or damaged stream, 2 wrong command line.\n";

// Below this size a run is over before anyone would look at a percentage.
constexpr std::size_t kProgressThreshold = 1 << 20;

int Fail(const std::string& name, const std::string& reason) {
    std::fprintf(stderr, "he3: %s: %s\n", name.c_str(), reason.c_str());
    return kHe3Failed;
}

int UsageError(const std::string& reason) {
    std::fprintf(stderr, "he3: %s (try 'he3 --help')\n", reason.c_str());
    return kHe3Usage;
}

// Shows the codec's Progress event on a terminal, and nothing when stderr is
// a pipe or a file: scripts and logs get no carriage-return litter.
class ProgressDisplay {
public:
    ProgressDisplay(clsHuffman& codec, const std::string& name, const char* verb, std::size_t size)
        : codec_(codec), name_(name), verb_(verb) {
        if (size < kProgressThreshold || ::isatty(STDERR_FILENO) != 1) return;
        codec.OnProgress([this](std::int16_t& percent) {
            std::fprintf(stderr, "\rhe3: %s: %s %3d%%", name_.c_str(), verb_, percent);
            std::fflush(stderr);
            shown_ = true;
        });
    }
    ~ProgressDisplay() {
        codec_.OnProgress(nullptr);
        if (shown_) std::fputc('\n', stderr);
    }
    ProgressDisplay(const ProgressDisplay&) = delete;
    ProgressDisplay& operator=(const ProgressDisplay&) = delete;

private:
    clsHuffman& codec_;
    std::string name_;
    const char* verb_;
    bool shown_ = false;
};

// Inputs and streams alike: the codec counts bytes in 32 bits.
constexpr std::size_t kLargestInput = std::numeric_limits<std::int32_t>::max();

std::optional<std::vector<std::uint8_t>> ReadInput(const std::string& path, int& status) {
    std::string error;
    auto bytes = ReadAllBytes(path, kLargestInput, error);
    if (!bytes) status = Fail(DisplayName(path, false), error);
    return bytes;
}

int WriteOutput(const std::string& path, std::span<const std::uint8_t> bytes) {
    std::string error;
    if (!WriteAllBytes(path, bytes, error)) return Fail(DisplayName(path, true), error);
    return kHe3Ok;
}

int Compress(const std::string& in_path, const std::string& out_path) {
    int status = kHe3Ok;
    auto bytes = ReadInput(in_path, status);
    if (!bytes) return status;
    const std::string name = DisplayName(in_path, false);
    clsHuffman codec;
    // The stream goes to the file as it is made, never whole in memory.
    std::optional<OutputFile> out;
    {
        ProgressDisplay progress(codec, name, "compressing", bytes->size());
        try {
            codec.EncodeTo(*bytes, [&](std::span<const std::uint8_t> piece) {
                if (!out) out.emplace(out_path);
                out->Write(piece);
            });
        } catch (const RuntimeError& error) {
            return Fail(name, "cannot compress: " + error.description());
        }
    }
    std::string error;
    if (!out->Close(error)) return Fail(DisplayName(out_path, true), error);
    return kHe3Ok;
}

He3Verification DecodeChecked(const std::string& name, const std::vector<std::uint8_t>& stream) {
    clsHuffman codec;
    ProgressDisplay progress(codec, name, "decompressing", stream.size());
    return DecodeAndVerifyHe3(stream, codec);
}

std::string FaultMessage(const He3Examination& examination) {
    if (IsNotAStream(examination.fault)) return He3FaultText(examination);
    return "damaged HE3 stream: " + He3FaultText(examination);
}

void WarnAboutTrailingBytes(const std::string& name, const He3Verification& result) {
    if (result.trailing_bytes == 0) return;
    std::fprintf(stderr, "he3: %s: warning: %zu bytes after the data bits, ignored\n", name.c_str(),
                 result.trailing_bytes);
}

int Decompress(const std::string& in_path, const std::string& out_path) {
    int status = kHe3Ok;
    auto stream = ReadInput(in_path, status);
    if (!stream) return status;
    const std::string name = DisplayName(in_path, false);
    const He3Verification result = DecodeChecked(name, *stream);
    if (!result.examination.ok()) return Fail(name, FaultMessage(result.examination));
    WarnAboutTrailingBytes(name, result);
    return WriteOutput(out_path, result.data);
}

std::string SymbolText(std::uint8_t symbol) {
    switch (symbol) {
        case '\r':
            return "'\\r'";
        case '\n':
            return "'\\n'";
        case '\t':
            return "'\\t'";
        case '\0':
            return "'\\0'";
        case '\'':
            return "'\\''";
        default:
            break;
    }
    if (symbol >= 0x20 && symbol < 0x7F) return std::string("'") + static_cast<char>(symbol) + "'";
    return "";
}

void PrintExamination(const std::string& name, const He3Verification& result) {
    const He3Examination& in = result.examination;
    std::printf("file:                %s\n", name.c_str());
    std::printf("form:                %s\n", He3FormName(in.form));
    std::printf("stream size:         %zu bytes\n", in.stream_size);
    if (in.form == He3Form::kStored) {
        std::printf("uncompressed length: %lld bytes\n",
                    static_cast<long long>(in.uncompressed_length));
        std::printf("checksum:            none in the stored form\n");
    }
    if (in.form != He3Form::kCompressed || !in.has_header) return;

    std::printf("uncompressed length: %lld bytes\n",
                static_cast<long long>(in.uncompressed_length));
    std::printf("symbols:             %d\n", in.symbol_count);
    if (!result.decoded) {
        std::printf("checksum:            0x%02X, not checked\n", in.checksum);
    } else if (in.fault == He3Fault::kChecksumMismatch) {
        std::printf("checksum:            0x%02X, does not match the data (0x%02X)\n", in.checksum,
                    result.data_xor);
    } else if (in.ok()) {
        std::printf("checksum:            0x%02X, matches the data\n", in.checksum);
    } else {
        std::printf("checksum:            0x%02X, not checked: the data is incomplete\n",
                    in.checksum);
    }
    if (result.trailing_bytes > 0) {
        std::printf("trailing bytes:      %zu, ignored by the decoder\n", result.trailing_bytes);
    }
    if (in.codes.empty()) return;
    std::printf("code lengths (symbol, bits, code):\n");
    for (const He3CodeEntry& entry : in.codes) {
        std::string code = entry.bits.size() > 48 ? entry.bits.substr(0, 48) + "..." : entry.bits;
        std::printf("  0x%02X %-6s %3d  %s\n", entry.symbol, SymbolText(entry.symbol).c_str(),
                    entry.length, code.c_str());
    }
}

int Info(const std::string& path) {
    int status = kHe3Ok;
    auto stream = ReadInput(path, status);
    if (!stream) return status;
    const std::string name = DisplayName(path, false);
    const He3Verification result = DecodeChecked(name, *stream);
    PrintExamination(name, result);
    std::fflush(stdout);
    if (!result.examination.ok()) return Fail(name, FaultMessage(result.examination));
    return kHe3Ok;
}

int Dispatch(const std::vector<std::string>& args) {
    if (args.empty()) return UsageError("missing command");
    const std::string& command = args[0];
    if (command == "--help" || command == "-h" || command == "help") {
        std::fputs(kUsage, stdout);
        return kHe3Ok;
    }
    for (std::size_t i = 1; i < args.size(); ++i) {
        if (args[i].size() > 1 && args[i][0] == '-') {
            return UsageError("unknown option '" + args[i] + "'");
        }
    }
    const std::size_t operands = args.size() - 1;
    if (command == "compress" || command == "decompress") {
        if (operands != 2) return UsageError(command + " takes IN and OUT");
        return command == "compress" ? Compress(args[1], args[2]) : Decompress(args[1], args[2]);
    }
    if (command == "info") {
        if (operands != 1) return UsageError("info takes one FILE");
        return Info(args[1]);
    }
    return UsageError("unknown command '" + command + "'");
}

}  // namespace

int RunHe3(const std::vector<std::string>& args) {
    // The tool is what people point at files they do not trust: whatever
    // happens, it ends with a message and a status, never a crash.
    try {
        return Dispatch(args);
    } catch (const std::bad_alloc&) {
        std::fputs("he3: out of memory\n", stderr);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "he3: %s\n", error.what());
    }
    return kHe3Failed;
}

}  // namespace kolbi
