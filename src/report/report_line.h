#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kolbi {

// Report text is Windows-1252 bytes; these are the special characters its
// rules name.
inline constexpr char kNotSign = '\xAC';     // the ODBC driver lines' field separator
inline constexpr char kRegistered = '\xAE';  // removed by the line cleaning

// The values a report line gives the product step, all Windows-1252.
struct ReportLine {
    std::string description;  // field 2
    std::string product;      // field 3, the product name
    std::string version;      // field 4
    std::string copyright;    // field 5, the copyright or vendor text
    bool odbc = false;        // an ODBC driver line (it holds a "¬")
    std::string odbc_line;    // the line as it stands, for the ODBC inventory
    bool has_fields = false;  // the line holds a "!" once "¬" reads as "!"
};

// The piece number first (counted from 1) of text cut at every delimiter, with
// its surrounding spaces removed; "" when there is no such piece or when first
// and last differ (ranges were never supported). Never fails.
std::string GetField(std::string_view text, std::string_view delimiter, std::int16_t first,
                     std::int16_t last);

// Cleans one line as read from a report: commas become ".", ";" goes (except
// on lines that begin with "¬"), "?" and the controls NUL, tab, LF and CR go,
// "®" becomes a space, and two spaces become one (one pass).
std::string CleanReportLine(std::string_view line);

// Takes the fields of a cleaned line.
ReportLine TakeFields(std::string_view cleaned);

// The workstation a report file belongs to: every character of the file name
// before the first "_" ("" for "_x.SILog"). Raises the run-time error 5 when
// the name has no "_": such a report belongs to no workstation.
std::string WorkstationNameOf(const std::string& file_name);

}  // namespace kolbi
