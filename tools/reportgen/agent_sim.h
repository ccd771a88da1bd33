#pragma once

#include <cstddef>
#include <string>

#include "reportgen/report_generator.h"

namespace kolbi {

// Where a round of simulated agents writes.
struct RoundOutput {
    std::string folder;    // created when missing
    bool plain = false;    // decompressed reports instead of HE3 streams
    std::string manifest;  // the manifest's path, "-" for standard output, "" for none
};

struct RoundTotals {
    int reports = 0;
    std::size_t product_lines = 0;
    std::size_t bytes = 0;  // as written
};

// Writes the reports of workstations 1 to `workstations` for the options'
// round, each as agents drop it: an HE3 stream under its own name, written
// under another name first and then renamed, so a pump watching the folder
// never takes a file half written. Raises std::runtime_error naming the path
// that could not be written.
RoundTotals WriteRound(const ReportGeneratorOptions& options, int workstations,
                       const RoundOutput& output);

}  // namespace kolbi
