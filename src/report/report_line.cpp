#include "report/report_line.h"

#include <algorithm>
#include <array>

#include "common/replace_all.h"
#include "common/runtime_error.h"

namespace kolbi {
namespace {

// What the line cleaning does with each byte.
enum class Cleaning : std::uint8_t { kKeep, kDrop, kSpace, kComma, kSemicolon };

constexpr std::array<Cleaning, 256> kCleaning = [] {
    std::array<Cleaning, 256> rules{};
    for (char c : {'?', '\0', '\t', '\n', '\r'}) {
        rules[static_cast<unsigned char>(c)] = Cleaning::kDrop;
    }
    rules[' '] = Cleaning::kSpace;
    rules[static_cast<unsigned char>(kRegistered)] = Cleaning::kSpace;
    rules[','] = Cleaning::kComma;
    rules[';'] = Cleaning::kSemicolon;
    return rules;
}();

}  // namespace

std::string GetField(std::string_view text, std::string_view delimiter, std::int16_t first,
                     std::int16_t last) {
    if (first != last || first < 1 || text.empty() || delimiter.empty()) return {};
    std::size_t start = 0;
    for (std::int16_t piece = 1; piece < first; ++piece) {
        const std::size_t at = text.find(delimiter, start);
        if (at == std::string_view::npos) return {};
        start = at + delimiter.size();
    }
    const std::size_t end = text.find(delimiter, start);
    return TrimSpaces(text.substr(start, end == std::string_view::npos ? end : end - start));
}

std::string CleanReportLine(std::string_view line) {
    // The steps of the cleaning in one pass. Each input byte gives at most one
    // output byte, and only the last step looks at its neighbour's output:
    //  - ", " and "," both become "." (the first step sees the line as read,
    //    and its space can never be a space of the later steps);
    //  - ";" (except on ODBC driver lines, whose first byte no earlier step
    //    changes), "?" and the controls go, "®" becomes a space;
    //  - of what remains, each run of n spaces becomes (n + 1) / 2 spaces, as
    //    one pass of "two spaces become one" leaves it.
    const bool keeps_semicolons = !line.empty() && line.front() == kNotSign;
    std::string text(line.size(), '\0');
    char* out = text.data();
    bool odd_space = false;  // the last byte put is a space, the first of a pair
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        const Cleaning rule = kCleaning[static_cast<unsigned char>(c)];
        if (rule == Cleaning::kKeep) {  // most bytes, on the shortest path
            *out++ = c;
            odd_space = false;
            continue;
        }
        switch (rule) {
            case Cleaning::kKeep:
                break;
            case Cleaning::kSpace:
                if (!odd_space) *out++ = ' ';
                odd_space = !odd_space;
                break;
            case Cleaning::kComma:
                if (i + 1 < line.size() && line[i + 1] == ' ') ++i;
                *out++ = '.';
                odd_space = false;
                break;
            case Cleaning::kSemicolon:
                if (!keeps_semicolons) break;
                *out++ = c;
                odd_space = false;
                break;
            case Cleaning::kDrop:
                break;
        }
    }
    text.resize(static_cast<std::size_t>(out - text.data()));
    return text;
}

ReportLine TakeFields(std::string_view cleaned) {
    ReportLine line;
    line.odbc = cleaned.find(kNotSign) != std::string_view::npos;
    if (line.odbc) line.odbc_line = cleaned;
    // Every "¬" reads as "!": a field ends at either, and a driver line always
    // has fields.
    if (!line.odbc && cleaned.find('!') == std::string_view::npos) return line;
    line.has_fields = true;
    std::string* const fields[] = {&line.description, &line.product, &line.version,
                                   &line.copyright};
    auto end_of_field = [&](std::size_t from) {
        if (!line.odbc) return std::min(cleaned.find('!', from), cleaned.size());
        while (from < cleaned.size() && cleaned[from] != '!' && cleaned[from] != kNotSign) ++from;
        return from;
    };
    std::size_t start = 0;
    for (int piece = 1; piece <= 5; ++piece) {
        const std::size_t end = end_of_field(start);
        // Piece 1 is not read; a piece the line lacks stays "".
        if (piece > 1) *fields[piece - 2] = TrimSpaces(cleaned.substr(start, end - start));
        if (end == cleaned.size()) break;
        start = end + 1;
    }
    return line;
}

std::string WorkstationNameOf(const std::string& file_name) {
    const std::size_t underscore = file_name.find('_');
    if (underscore == std::string::npos) {
        throw RuntimeError(errnum::kInvalidProcedureCall,
                           "Invalid procedure call or argument: the report file name \"" +
                               file_name + "\" has no \"_\" after its workstation name");
    }
    return file_name.substr(0, underscore);
}

}  // namespace kolbi
