#pragma once

#include <cstddef>
#include <optional>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "reportgen/report_generator.h"

namespace kolbi {

// What the pump should make of generated reports: the ground truth that
// end-to-end tests check the database against. Products are named as the
// pump stores them, read from the report text with the pump's own line
// cleaning, field rule, product-name cleaning and vendor normalisation, so
// the expectations follow those rules rather than restate them; the ODBC
// part is what the generator wrote, which those rules leave as it is. Every
// text is UTF-8, as the database gives it back.

// A catalogue entry: SOFTPRODUCT_PRODUCT, _COPYRIGHT and _DESCRIPTION.
struct ExpectedProduct {
    std::string product;
    std::string vendor;
    std::string description;
};

struct ExpectedReport {
    int round = 1;
    std::string workstation;
    std::string file_name;
    int product_lines = 0;  // lines with fields that are not ODBC driver lines
    // One entry per product the report links, ODBC drivers included, by name.
    std::vector<ExpectedProduct> installed;
    // Names linked and unlinked since the workstation's report of the round
    // before; both empty in round 1, a first inventory.
    std::vector<std::string> added;
    std::vector<std::string> removed;
    std::vector<GeneratedDriverLine> drivers;  // a driver is recorded only with a data source
};

// The catalogue entries the lines of a report make (Windows-1252 text), one
// per product name, ordered by name.
std::vector<ExpectedProduct> CataloguedProducts(const std::string& report_text,
                                                int* product_lines = nullptr);

// One round of a simulated network: each workstation's report and what the
// pump should make of it.
class SimulatedRound {
public:
    explicit SimulatedRound(const ReportGeneratorOptions& options);

    const ReportGenerator& generator() const { return current_; }

    // The report of workstation `number`, with its expectations in expected.
    GeneratedReport Report(int number, ExpectedReport& expected) const;

private:
    ReportGenerator current_;
    std::optional<ReportGenerator> previous_;  // the round before, for what changed
};

// Writes the manifest of a round as tab-separated lines: a header of "#"
// lines that name the columns, then per report its "report", "installed",
// "added", "removed", "driver" and "source" rows, and at the end one
// "product" row per catalogue entry the round named.
class ManifestWriter {
public:
    ManifestWriter(std::ostream& out, const ReportGeneratorOptions& options, int workstations);

    void Add(const ExpectedReport& report);
    // Writes the product rows; nothing may be added after.
    void Finish();

private:
    std::ostream& out_;
    std::set<std::string> named_;
    std::vector<ExpectedProduct> products_;  // each name once, first seen first
};

}  // namespace kolbi
