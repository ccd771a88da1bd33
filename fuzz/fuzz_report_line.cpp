// The report text rules on arbitrary bytes: every line is cleaned, its
// fields taken, its product name and vendor cut down, and what the rules
// promise about their results holds, whatever the agent wrote.

#include <cstdint>
#include <string>
#include <string_view>

#include "common/runtime_error.h"
#include "fuzz_check.h"
#include "report/product_names.h"
#include "report/report_line.h"

namespace {

bool Trimmed(std::string_view text) {
    return text.empty() || (text.front() != ' ' && text.back() != ' ');
}

void CheckLine(std::string_view raw) {
    const std::string line = kolbi::CleanReportLine(raw);
    for (char gone : {',', '?', '\xAE', '\t', '\0', '\n', '\r'}) {
        FUZZ_CHECK(line.find(gone) == std::string::npos);
    }
    if (line.empty() || line.front() != kolbi::kNotSign) {
        FUZZ_CHECK(line.find(';') == std::string::npos);
    }
    const kolbi::ReportLine fields = kolbi::TakeFields(line);
    FUZZ_CHECK(fields.odbc == (line.find(kolbi::kNotSign) != std::string::npos));
    for (const std::string* field :
         {&fields.description, &fields.product, &fields.version, &fields.copyright}) {
        FUZZ_CHECK(Trimmed(*field));
        FUZZ_CHECK(field->find('!') == std::string::npos);
    }
    const std::string product = kolbi::CleanProductName(fields.product);
    for (char gone : {'@', '\xA9', '\xE8', '\xE0', '\xE9', '\''}) {
        FUZZ_CHECK(product.find(gone) == std::string::npos);
    }
    const std::string vendor = kolbi::VendorName(fields.copyright);
    FUZZ_CHECK(Trimmed(vendor));
    FUZZ_CHECK(vendor.find('\'') == std::string::npos);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t end = std::min(text.find('\r', start), text.size());
        CheckLine(text.substr(start, end - start));
        start = end + 1;
    }
    // The input as a report's file name.
    try {
        const std::string name = kolbi::WorkstationNameOf(std::string(text));
        FUZZ_CHECK(name.find('_') == std::string::npos);
        FUZZ_CHECK(text.substr(0, name.size()) == name);
    } catch (const kolbi::RuntimeError&) {
        FUZZ_CHECK(text.find('_') == std::string_view::npos);
    }
    if (size >= 2) {
        const auto index = static_cast<std::int16_t>(data[0] % 8);
        FUZZ_CHECK(Trimmed(kolbi::GetField(text.substr(2), text.substr(1, 1), index, index)));
    }
    return 0;
}
