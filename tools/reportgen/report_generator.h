#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kolbi {

struct ReportGeneratorOptions {
    std::uint64_t seed = 1;
    // Product lines per report, ODBC driver lines not counted.
    int products_per_report = 80;
    // The date part of the file names, YYYYMMDD.
    std::string date = "20261204";
};

// One decompressed inventory report as an agent writes it.
struct GeneratedReport {
    std::string workstation;  // "PC001"
    std::string file_name;    // "PC001_20261204.SILog"
    std::string text;         // Windows-1252 bytes, lines ended by CR LF
};

// Makes realistic inventory reports for demos, load tests and benchmarks:
// product lines drawn from one catalogue shared by all workstations (popular
// products on most of them, a long tail on few), copyright texts in the many
// shapes vendor names arrive in, Windows-1252 characters, comma-separated
// versions, and ODBC driver lines with their data sources.
class ReportGenerator {
public:
    explicit ReportGenerator(ReportGeneratorOptions options);

    // The report of workstation number `number` (1 is PC001). The same options
    // and number always give the same bytes, whatever else was generated.
    GeneratedReport Report(int number) const;

    // Reports 1 to count.
    std::vector<GeneratedReport> Reports(int count) const;

private:
    struct Product {
        std::string description;
        std::string name;
        std::string version;
        std::string alternate_version;
        std::string copyright;
    };
    struct Driver {
        std::string name;
        std::string description;
        std::string version;
        std::string maker;
    };

    ReportGeneratorOptions options_;
    std::vector<Product> catalogue_;  // most popular first
    std::vector<Driver> drivers_;
};

// Inventory-like text of at least min_bytes: the reports of PC001, PC002...
// one after the other. For benchmarks that want a large realistic input.
std::string GenerateInventoryText(std::uint64_t seed, std::size_t min_bytes);

// The workstation name of a number: "PC001", "PC042", "PC1234".
std::string WorkstationName(int number);

}  // namespace kolbi
