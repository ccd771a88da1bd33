// kolbi-agent-sim: the agents of a simulated network. Writes one round of
// inventory reports as the workstations' agents drop them into the pump's
// incoming folder, and optionally the manifest of what the pump should make
// of them.
//
// Exit status: 0 done, 1 failed, 2 wrong command line.

#include <charconv>
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "common/runtime_error.h"
#include "reportgen/agent_sim.h"

namespace {

constexpr int kDone = 0;
constexpr int kFailed = 1;
constexpr int kUsage = 2;
constexpr int kHelpShown = -1;

// The pump processes at most 32,767 lines of a report; a few are not products.
constexpr int kMostProducts = 32000;

constexpr const char* kHelp = R"(Usage: kolbi-agent-sim [options]
Writes the inventory reports of workstations PC001, PC002... for one round, as
HE3 streams named WORKSTATION_YYYYMMDD.SILog. The same seed, workstations,
products and round always give the same files.

  --workstations N   number of workstations (default 10; --count N too)
  --products N       product lines per report, ODBC driver lines not
                     counted (default 200; --products-per-report N too)
  --round K          round 1 is every workstation's first inventory; each
                     later round replaces products of the round before, and
                     its files are dated K - 1 days after round 1's (default 1)
  --churn PERCENT    share of each workstation's product lines removed between
                     two rounds, at least one, and as many others installed
                     (default 2)
  --seed S           the same seed gives the same network (default 1)
  --date YYYYMMDD    the date of round 1's files (default 20261204)
  --out DIR          folder to write into, created if missing (default .)
  --manifest FILE    also write what the pump should make of the round, as
                     tab-separated lines ("-" for standard output): the
                     products each report links, added and removed since the
                     round before, its ODBC drivers and data sources, and the
                     vendor and description of every product named
  --plain            write decompressed reports instead of HE3 streams
  --help             show this help

Exit status: 0 done, 1 failed, 2 wrong command line.
)";

struct Options {
    int workstations = 10;
    kolbi::RoundOutput output{".", false, ""};
    kolbi::ReportGeneratorOptions generator;
};

int UsageError(const std::string& reason) {
    std::fprintf(stderr, "kolbi-agent-sim: %s (try --help)\n", reason.c_str());
    return kUsage;
}

template <typename T>
bool ParseNumber(const std::string& text, T& value, T minimum, T maximum) {
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value);
    return ec == std::errc() && ptr == end && value >= minimum && value <= maximum;
}

// kDone when the options are fine, kHelpShown for --help, else kUsage.
int ParseOptions(const std::vector<std::string>& args, Options& options) {
    kolbi::ReportGeneratorOptions& generator = options.generator;
    generator.products_per_report = 200;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string name = args[i];
        std::string value;
        bool has_value = false;
        if (auto eq = name.find('='); name.rfind("--", 0) == 0 && eq != std::string::npos) {
            value = name.substr(eq + 1);
            name.resize(eq);
            has_value = true;
        }
        if (name == "--help" || name == "-h") return kHelpShown;
        if (name == "--plain" || name == "--compressed") {
            // --compressed was the old way to ask for what is now the default.
            options.output.plain = name == "--plain";
            continue;
        }
        if (!has_value) {
            if (i + 1 >= args.size()) return UsageError("option " + name + " needs a value");
            value = args[++i];
        }
        bool ok = true;
        if (name == "--workstations" || name == "--count") {
            ok = ParseNumber(value, options.workstations, 0, 1000000);
        } else if (name == "--products" || name == "--products-per-report") {
            ok = ParseNumber(value, generator.products_per_report, 0, kMostProducts);
        } else if (name == "--round") {
            ok = ParseNumber(value, generator.round, 1, 100000);
        } else if (name == "--churn") {
            ok = ParseNumber(value, generator.churn_percent, 0, 100);
        } else if (name == "--seed") {
            ok = ParseNumber<std::uint64_t>(value, generator.seed, 0, UINT64_MAX);
        } else if (name == "--date") {
            generator.date = value;
            ok = kolbi::RoundDate(value, 1).has_value();
        } else if (name == "--out") {
            options.output.folder = value;
            ok = !value.empty();
        } else if (name == "--manifest") {
            options.output.manifest = value;
            ok = !value.empty();
        } else {
            return UsageError("unknown option '" + name + "'");
        }
        if (!ok) return UsageError("invalid value '" + value + "' for " + name);
    }
    if (!kolbi::RoundDate(generator.date, generator.round)) {
        return UsageError("round " + std::to_string(generator.round) + " of " + generator.date +
                          " is past the year 9999");
    }
    return kDone;
}

int Run(const std::vector<std::string>& args) {
    Options options;
    if (int status = ParseOptions(args, options); status != kDone) {
        if (status != kHelpShown) return status;
        std::fputs(kHelp, stdout);
        return kDone;
    }
    const kolbi::RoundTotals totals =
        kolbi::WriteRound(options.generator, options.workstations, options.output);
    // The summary keeps out of the way of a manifest on standard output.
    std::FILE* summary = options.output.manifest == "-" ? stderr : stdout;
    std::fprintf(summary,
                 "kolbi-agent-sim: round %d, %d %s reports, %zu product lines, %zu bytes, in %s\n",
                 options.generator.round, totals.reports, options.output.plain ? "plain" : "HE3",
                 totals.product_lines, totals.bytes, options.output.folder.c_str());
    return kDone;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        return Run(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const kolbi::RuntimeError& error) {
        std::fprintf(stderr, "kolbi-agent-sim: %s\n", error.description().c_str());
    } catch (const std::exception& error) {
        std::fprintf(stderr, "kolbi-agent-sim: %s\n", error.what());
    }
    return kFailed;
}
