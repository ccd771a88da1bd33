#include "reportgen/manifest.h"

#include <algorithm>
#include <iterator>
#include <map>
#include <string_view>

#include "common/cp1252.h"
#include "report/catalogue.h"
#include "report/report_line.h"

namespace kolbi {
namespace {

std::vector<std::string> Names(const std::vector<ExpectedProduct>& products) {
    std::vector<std::string> names;
    for (const ExpectedProduct& product : products) names.push_back(product.product);
    return names;
}

std::vector<std::string> Without(const std::vector<std::string>& sorted,
                                 const std::vector<std::string>& others) {
    std::vector<std::string> rest;
    std::set_difference(sorted.begin(), sorted.end(), others.begin(), others.end(),
                        std::back_inserter(rest));
    return rest;
}

void Row(std::ostream& out, std::initializer_list<std::string_view> fields) {
    bool first = true;
    for (std::string_view field : fields) {
        if (!first) out << '\t';
        out << field;
        first = false;
    }
    out << '\n';
}

}  // namespace

std::vector<ExpectedProduct> CataloguedProducts(const std::string& report_text,
                                                int* product_lines) {
    std::map<std::string, ExpectedProduct> products;
    int lines = 0;
    // The generator ends every line with CR LF.
    for (std::size_t start = 0, end; start < report_text.size(); start = end + 2) {
        end = std::min(report_text.find("\r\n", start), report_text.size());
        const ReportLine line =
            TakeFields(CleanReportLine(std::string_view(report_text).substr(start, end - start)));
        if (!line.has_fields) continue;
        if (!line.odbc) ++lines;
        const std::string product = CleanProductName(line.product);
        const std::string vendor = line.copyright.empty() ? "" : VendorName(line.copyright);
        if (product.empty() || vendor.empty()) continue;
        // The first line that names a product creates its entry.
        products.emplace(product, ExpectedProduct{Cp1252ToUtf8(product), Cp1252ToUtf8(vendor),
                                                  Cp1252ToUtf8(line.description)});
    }
    if (product_lines) *product_lines = lines;
    std::vector<ExpectedProduct> sorted;
    for (auto& entry : products) sorted.push_back(std::move(entry.second));
    return sorted;
}

SimulatedRound::SimulatedRound(const ReportGeneratorOptions& options) : current_(options) {
    if (current_.options().round > 1) {
        ReportGeneratorOptions before = current_.options();
        --before.round;
        previous_.emplace(before);
    }
}

GeneratedReport SimulatedRound::Report(int number, ExpectedReport& expected) const {
    GeneratedReport report = current_.Report(number);
    expected = ExpectedReport();
    expected.round = current_.options().round;
    expected.workstation = report.workstation;
    expected.file_name = report.file_name;
    expected.installed = CataloguedProducts(report.text, &expected.product_lines);
    expected.drivers = report.drivers;
    if (previous_) {
        const std::vector<std::string> now = Names(expected.installed);
        const std::vector<std::string> before =
            Names(CataloguedProducts(previous_->Report(number).text));
        expected.added = Without(now, before);
        expected.removed = Without(before, now);
    }
    return report;
}

ManifestWriter::ManifestWriter(std::ostream& out, const ReportGeneratorOptions& options,
                               int workstations)
    : out_(out) {
    out_ << "# kolbi-agent-sim manifest: seed " << options.seed << ", round " << options.round
         << ", churn " << options.churn_percent << "%, " << workstations << " workstations, "
         << options.products_per_report << " product lines each\n"
         << "# report\tround\tworkstation\tfile\tproduct lines\tproducts linked\n"
         << "# installed|added|removed\tround\tworkstation\tproduct\n"
         << "# driver\tround\tworkstation\tdriver\tdescription\tversion\tmaker\tdata sources\n"
         << "# source\tround\tworkstation\tdriver\tdescription\tversion\tmaker\tname\tdatabase"
            "\tserver\n"
         << "# product\tproduct\tvendor\tdescription\n";
}

void ManifestWriter::Add(const ExpectedReport& report) {
    const std::string round = std::to_string(report.round);
    const std::string& station = report.workstation;
    Row(out_, {"report", round, station, report.file_name, std::to_string(report.product_lines),
               std::to_string(report.installed.size())});
    for (const ExpectedProduct& product : report.installed) {
        Row(out_, {"installed", round, station, product.product});
        if (named_.insert(product.product).second) products_.push_back(product);
    }
    for (const std::string& name : report.added) Row(out_, {"added", round, station, name});
    for (const std::string& name : report.removed) Row(out_, {"removed", round, station, name});
    for (const GeneratedDriverLine& d : report.drivers) {
        Row(out_, {"driver", round, station, d.name, d.description, d.version, d.maker,
                   std::to_string(d.sources.size())});
        for (const GeneratedDataSource& s : d.sources) {
            Row(out_, {"source", round, station, d.name, d.description, d.version, d.maker, s.name,
                       s.database, s.server});
        }
    }
}

void ManifestWriter::Finish() {
    for (const ExpectedProduct& p : products_) {
        Row(out_, {"product", p.product, p.vendor, p.description});
    }
    products_.clear();
}

}  // namespace kolbi
