#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "reportgen/product_catalogue.h"

namespace kolbi {

struct ReportGeneratorOptions {
    std::uint64_t seed = 1;
    // Product lines per report, ODBC driver lines not counted.
    int products_per_report = 80;
    // The date stamp of round 1's file names, YYYYMMDD; round K is K - 1 days
    // later, so a workstation's reports sort in round order.
    std::string date = "20261204";
    // Round 1 is every workstation's first inventory; each later round starts
    // from the one before and replaces some products.
    int round = 1;
    // Between two rounds each workstation removes this share of its product
    // lines (at least one when not 0) and installs as many others.
    int churn_percent = 2;
};

// One data source of a driver line, as the ODBC inventory splits it (UTF-8).
struct GeneratedDataSource {
    std::string name;
    std::string database;
    std::string server;
};

// One ODBC driver line of a report (UTF-8).
struct GeneratedDriverLine {
    std::string name;
    std::string description;
    std::string version;
    std::string maker;
    std::vector<GeneratedDataSource> sources;  // none: the line names no data source
};

// One decompressed inventory report as an agent writes it.
struct GeneratedReport {
    std::string workstation;                   // "PC001"
    std::string file_name;                     // "PC001_20261204.SILog"
    std::string text;                          // Windows-1252 bytes, lines ended by CR LF
    std::vector<GeneratedDriverLine> drivers;  // its ODBC driver lines, in order
};

// Makes realistic inventory reports for demos, load tests and benchmarks:
// product lines drawn from one catalogue shared by all workstations (popular
// products on most of them, a long tail on few), copyright texts in the many
// shapes vendor names arrive in, Windows-1252 characters, comma-separated
// versions, ODBC driver lines with their data sources, and lines the pump
// ignores. Successive rounds install and remove products.
class ReportGenerator {
public:
    explicit ReportGenerator(ReportGeneratorOptions options);

    const ReportGeneratorOptions& options() const { return options_; }

    // The report of workstation number `number` (1 is PC001) in the options'
    // round. The same options and number always give the same bytes, whatever
    // else was generated.
    GeneratedReport Report(int number) const;

    // Reports 1 to count.
    std::vector<GeneratedReport> Reports(int count) const;

private:
    // The catalogue indexes of the products on a workstation in a round.
    std::vector<std::size_t> Installed(int number, int round) const;

    ReportGeneratorOptions options_;
    ProductCatalogue catalogue_;
};

// Inventory-like text of at least min_bytes: the reports of PC001, PC002...
// one after the other. For benchmarks that want a large realistic input.
std::string GenerateInventoryText(std::uint64_t seed, std::size_t min_bytes);

// The workstation name of a number: "PC001", "PC042", "PC1234".
std::string WorkstationName(int number);

// The date stamp of a round's files: date (YYYYMMDD) plus round - 1 days;
// nothing when date is no calendar date or round is below 1.
std::optional<std::string> RoundDate(const std::string& date, int round);

}  // namespace kolbi
