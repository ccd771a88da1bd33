#include "report/report_line.h"

#include "common/replace_all.h"
#include "common/runtime_error.h"

namespace kolbi {

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
    std::string text = ReplaceAll(line, ", ", ".");
    text = ReplaceAll(text, ",", ".");
    // ODBC driver lines keep their ";": it separates the parts of a data source.
    if (text.empty() || text.front() != kNotSign) text = ReplaceAll(text, ";", "");
    text = ReplaceAll(text, "?", "");
    for (std::string_view control : {std::string_view("\0", 1), std::string_view("\t"),
                                     std::string_view("\n"), std::string_view("\r")}) {
        text = ReplaceAll(text, control, "");
    }
    text = ReplaceAll(text, std::string_view(&kRegistered, 1), " ");
    return ReplaceAll(text, "  ", " ");
}

ReportLine TakeFields(std::string_view cleaned) {
    ReportLine line;
    std::string work(cleaned);
    if (work.find(kNotSign) != std::string::npos) {
        line.odbc_line = work;
        work = ReplaceAll(work, std::string_view(&kNotSign, 1), "!");
        line.odbc = true;
    }
    if (work.find('!') == std::string::npos) return line;
    line.has_fields = true;
    line.description = GetField(work, "!", 2, 2);
    line.product = GetField(work, "!", 3, 3);
    line.version = GetField(work, "!", 4, 4);
    line.copyright = GetField(work, "!", 5, 5);
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
