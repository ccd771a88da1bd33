// The pump's own text work per report, without the database: each line of a
// decompressed report cleaned into the work list, its fields taken, and the
// product name and copyright text of every product line cut down to their
// catalogue forms, as the report pass does. The reports are those of a
// simulated network (200 product lines each, products shared between
// workstations), taken in turn, so texts repeat across reports as they do in
// a real pass. Times are CPU time per report.
#include <benchmark/benchmark.h>

#include <string>
#include <string_view>
#include <vector>

#include "common/list_box.h"
#include "report/product_names.h"
#include "report/report_line.h"
#include "reportgen/report_generator.h"

namespace kolbi::bench {
namespace {

constexpr int kWorkstations = 300;
constexpr int kProductsPerReport = 200;

std::vector<std::string> NetworkReports() {
    ReportGeneratorOptions options;
    options.products_per_report = kProductsPerReport;
    std::vector<std::string> texts;
    for (GeneratedReport& report : ReportGenerator(options).Reports(kWorkstations)) {
        texts.push_back(std::move(report.text));
    }
    return texts;
}

// Lines end at CR LF or a lone CR, as the report reader cuts them.
void ReadLines(std::string_view text, ListBox& lines) {
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\r', start);
        std::size_t next = end == std::string_view::npos ? text.size() : end + 1;
        if (end == std::string_view::npos) end = text.size();
        if (next < text.size() && text[next] == '\n') ++next;
        lines.AddItem(CleanReportLine(text.substr(start, end - start)));
        start = next;
    }
}

void ReportText(benchmark::State& state) {
    const std::vector<std::string> reports = NetworkReports();
    std::size_t next = 0;
    ListBox lines;
    for (auto _ : state) {
        lines.Clear();
        ReadLines(reports[next], lines);
        next = (next + 1) % reports.size();
        for (const std::string& text : lines.Items()) {
            const ReportLine line = TakeFields(text);
            if (!line.has_fields) continue;
            benchmark::DoNotOptimize(CleanProductName(line.product));
            if (!line.copyright.empty()) benchmark::DoNotOptimize(VendorName(line.copyright));
        }
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(ReportText)->Unit(benchmark::kMicrosecond);

// The line cleaning alone, over the same lines.
void CleanLines(benchmark::State& state) {
    const std::vector<std::string> reports = NetworkReports();
    std::size_t next = 0;
    ListBox lines;
    for (auto _ : state) {
        lines.Clear();
        ReadLines(reports[next], lines);
        next = (next + 1) % reports.size();
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(CleanLines)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace kolbi::bench

BENCHMARK_MAIN();
