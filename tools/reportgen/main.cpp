// kolbi-reportgen: writes generated inventory reports, decompressed or as the
// HE3 streams agents drop into the incoming folder.

#include <charconv>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <string>
#include <vector>

#include "codec/cls_huffman.h"
#include "common/runtime_error.h"
#include "he3/byte_io.h"
#include "reportgen/report_generator.h"

namespace {

constexpr const char* kUsage =
    "Usage: kolbi-reportgen [options]\n"
    "  --count N                 number of reports, workstations PC001 to PCnnn (default 10)\n"
    "  --out DIR                 folder to write them into, created if missing (default .)\n"
    "  --products-per-report N   product lines per report (default 80)\n"
    "  --seed S                  the same seed gives the same reports (default 1)\n"
    "  --date YYYYMMDD           date part of the file names (default 20261204)\n"
    "  --compressed              write HE3 streams, as agents do, instead of plain reports\n"
    "  --help                    show this help\n";

struct Options {
    int count = 10;
    std::string out = ".";
    bool compressed = false;
    kolbi::ReportGeneratorOptions generator;
};

int UsageError(const std::string& reason) {
    std::fprintf(stderr, "kolbi-reportgen: %s (try --help)\n", reason.c_str());
    return 2;
}

template <typename T>
bool ParseNumber(const std::string& text, T& value, T minimum) {
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value);
    return ec == std::errc() && ptr == end && value >= minimum;
}

// Returns 0 when the options are fine, otherwise the exit status; -1 for --help.
int ParseOptions(const std::vector<std::string>& args, Options& options) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string name = args[i];
        std::string value;
        bool has_value = false;
        if (auto eq = name.find('='); name.rfind("--", 0) == 0 && eq != std::string::npos) {
            value = name.substr(eq + 1);
            name.resize(eq);
            has_value = true;
        }
        if (name == "--help" || name == "-h") return -1;
        if (name == "--compressed") {
            options.compressed = true;
            continue;
        }
        if (!has_value) {
            if (i + 1 >= args.size()) return UsageError("option " + name + " needs a value");
            value = args[++i];
        }
        bool ok = true;
        if (name == "--count") {
            ok = ParseNumber(value, options.count, 0);
        } else if (name == "--out") {
            options.out = value;
            ok = !value.empty();
        } else if (name == "--products-per-report") {
            ok = ParseNumber(value, options.generator.products_per_report, 0);
        } else if (name == "--seed") {
            ok = ParseNumber<std::uint64_t>(value, options.generator.seed, 0);
        } else if (name == "--date") {
            options.generator.date = value;
            ok = value.size() == 8 && value.find_first_not_of("0123456789") == std::string::npos;
        } else {
            return UsageError("unknown option '" + name + "'");
        }
        if (!ok) return UsageError("invalid value '" + value + "' for " + name);
    }
    return 0;
}

int Run(const std::vector<std::string>& args) {
    Options options;
    if (int status = ParseOptions(args, options); status != 0) {
        if (status != -1) return status;
        std::fputs(kUsage, stdout);
        return 0;
    }
    std::error_code error;
    std::filesystem::create_directories(options.out, error);
    if (error) {
        std::fprintf(stderr, "kolbi-reportgen: %s: cannot create: %s\n", options.out.c_str(),
                     error.message().c_str());
        return 1;
    }
    const kolbi::ReportGenerator generator(options.generator);
    kolbi::clsHuffman codec;
    std::size_t total = 0;
    for (int number = 1; number <= options.count; ++number) {
        kolbi::GeneratedReport report = generator.Report(number);
        std::vector<std::uint8_t> bytes(report.text.begin(), report.text.end());
        if (options.compressed) codec.EncodeByte(bytes, static_cast<std::int32_t>(bytes.size()));
        const std::string path = (std::filesystem::path(options.out) / report.file_name).string();
        std::string reason;
        if (!kolbi::WriteAllBytes(path, bytes, reason)) {
            std::fprintf(stderr, "kolbi-reportgen: %s: %s\n", path.c_str(), reason.c_str());
            return 1;
        }
        std::printf("%s\t%zu bytes\n", path.c_str(), bytes.size());
        total += bytes.size();
    }
    std::fprintf(stderr, "kolbi-reportgen: %d %s reports, %zu bytes, in %s\n", options.count,
                 options.compressed ? "compressed" : "plain", total, options.out.c_str());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        return Run(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const kolbi::RuntimeError& error) {
        std::fprintf(stderr, "kolbi-reportgen: %s\n", error.description().c_str());
    } catch (const std::exception& error) {
        std::fprintf(stderr, "kolbi-reportgen: %s\n", error.what());
    }
    return 1;
}
