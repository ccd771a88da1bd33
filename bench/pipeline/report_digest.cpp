// report_digest: what the batched peer of the pipeline benchmark
// (batched_peer.py) is given instead of the reports. The pump decodes and
// parses its reports; the peer does only their database work, so it gets
// each report already read with the pump's own rules (line cleaning, fields,
// product-name cleaning, vendor normalisation, the ODBC line's parts): the
// database then receives the same values from both.
//
//   report_digest OUT [REPORT...]   decompressed reports (he3 decompress);
//                                   without any, their paths one a line on stdin
//
// OUT holds tab-separated UTF-8 lines, in the reports' order:
//   R  workstation  file-name
//   P  product  vendor  description  version    a line that names a product
//   -                                           a line with fields and no product
//   D  driver  description  version  maker      an ODBC driver line, after its P or -
//   S  name  database  server                   one of the driver's data sources
// Exit status 0, or 1 when a file cannot be read or written.
#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <optional>
#include <string_view>
#include <vector>

#include "common/cp1252.h"
#include "odbc/save_odbc_inventory.h"
#include "report/catalogue.h"
#include "report/report_line.h"

namespace {

using kolbi::Cp1252ToUtf8;

void Row(std::ostream& out, std::initializer_list<std::string_view> fields) {
    bool first = true;
    for (std::string_view field : fields) {
        if (!first) out << '\t';
        out << field;
        first = false;
    }
    out << '\n';
}

void OdbcRows(std::ostream& out, const std::string& line) {
    const std::optional<kolbi::OdbcLine> odbc = kolbi::ParseOdbcLine(line);
    if (!odbc) return;
    const kolbi::OdbcDriver& driver = odbc->driver;
    Row(out, {"D", Cp1252ToUtf8(driver.name), Cp1252ToUtf8(driver.description),
              Cp1252ToUtf8(driver.version), Cp1252ToUtf8(driver.maker)});
    for (const std::vector<std::string>& parts : odbc->data_sources) {
        Row(out, {"S", Cp1252ToUtf8(parts[0]), Cp1252ToUtf8(parts[1]), Cp1252ToUtf8(parts[2])});
    }
}

bool Digest(std::ostream& out, const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::string file = path.substr(path.find_last_of('/') + 1);
    Row(out, {"R", file.substr(0, file.find('_')), file});
    // Lines end at CR, with or without LF, as the pump reads them.
    for (std::size_t start = 0; start < text.size();) {
        std::size_t end = text.find('\r', start);
        if (end == std::string::npos) end = text.size();
        std::size_t next = end + 1;
        if (next < text.size() && text[next] == '\n') ++next;
        const kolbi::ReportLine line = kolbi::TakeFields(
            kolbi::CleanReportLine(std::string_view(text).substr(start, end - start)));
        start = next;
        if (!line.has_fields) continue;
        const auto [product, vendor] = kolbi::CatalogueNames(line);
        if (product.empty() || vendor.empty()) {
            Row(out, {"-"});
        } else {
            Row(out, {"P", Cp1252ToUtf8(product), Cp1252ToUtf8(vendor),
                      Cp1252ToUtf8(line.description), Cp1252ToUtf8(line.version)});
        }
        if (line.odbc) OdbcRows(out, line.odbc_line);
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fputs("usage: report_digest OUT [REPORT...]\n", stderr);
        return 2;
    }
    std::vector<std::string> paths(argv + 2, argv + argc);
    // Tens of thousands of reports pass no command line: they come on stdin.
    for (std::string path; argc == 2 && std::getline(std::cin, path);) paths.push_back(path);
    std::ofstream out(argv[1], std::ios::binary);
    for (const std::string& path : paths) {
        if (!Digest(out, path)) {
            std::fprintf(stderr, "report_digest: cannot read %s\n", path.c_str());
            return 1;
        }
    }
    out.flush();
    if (!out) {
        std::fprintf(stderr, "report_digest: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
