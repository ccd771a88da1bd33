#include "reportgen/agent_sim.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <optional>
#include <stdexcept>
#include <vector>

#include "codec/cls_huffman.h"
#include "he3/byte_io.h"
#include "reportgen/manifest.h"

namespace kolbi {
namespace {

[[noreturn]] void Fail(const std::string& path, const std::string& reason) {
    throw std::runtime_error(path + ": " + reason);
}

}  // namespace

RoundTotals WriteRound(const ReportGeneratorOptions& options, int workstations,
                       const RoundOutput& output) {
    namespace fs = std::filesystem;
    std::error_code error;
    fs::create_directories(output.folder, error);
    if (error) Fail(output.folder, "cannot create: " + error.message());

    std::unique_ptr<std::ofstream> manifest_file;
    std::ostream* manifest_stream = nullptr;
    if (output.manifest == "-") {
        manifest_stream = &std::cout;
    } else if (!output.manifest.empty()) {
        manifest_file = std::make_unique<std::ofstream>(output.manifest, std::ios::binary);
        if (!*manifest_file) Fail(output.manifest, "cannot open for writing");
        manifest_stream = manifest_file.get();
    }
    std::optional<ManifestWriter> manifest;
    if (manifest_stream) manifest.emplace(*manifest_stream, options, workstations);

    const SimulatedRound round(options);
    clsHuffman codec;
    RoundTotals totals;
    ExpectedReport expected;
    for (int number = 1; number <= workstations; ++number) {
        const GeneratedReport report = round.Report(number, expected);
        std::vector<std::uint8_t> bytes(report.text.begin(), report.text.end());
        if (!output.plain) codec.EncodeByte(bytes, static_cast<std::int32_t>(bytes.size()));
        const std::string path = (fs::path(output.folder) / report.file_name).string();
        const std::string partial = path + ".part";
        std::string reason;
        if (!WriteAllBytes(partial, bytes, reason)) Fail(partial, reason);
        fs::rename(partial, path, error);
        if (error) Fail(path, "cannot rename: " + error.message());
        if (manifest) manifest->Add(expected);
        ++totals.reports;
        totals.product_lines += static_cast<std::size_t>(expected.product_lines);
        totals.bytes += bytes.size();
    }
    if (manifest) {
        manifest->Finish();
        manifest_stream->flush();
        if (!*manifest_stream) Fail(output.manifest, "cannot write");
    }
    return totals;
}

}  // namespace kolbi
