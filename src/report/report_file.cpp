#include "report/report_file.h"

#include <cerrno>
#include <optional>
#include <string_view>

#include "common/file_helpers.h"
#include "common/file_system.h"
#include "common/pending_events.h"
#include "common/runtime_error.h"
#include "report/report_line.h"

namespace kolbi {
namespace {

// Pending events run once per block of lines: often enough for a stop or a
// key to be seen at once, rarely enough to cost nothing.
constexpr int kLinesPerYield = 256;

}  // namespace

ReportRead ReadReport(const std::string& path, ListBox& lstInFile) {
    std::optional<std::string> content = Fs().ReadQueuedFile(path);
    if (!content) throw FileError(errno, path);
    const std::string_view text = *content;
    long long lines = 0;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\r', start);
        std::size_t next = end == std::string_view::npos ? text.size() : end + 1;
        if (end == std::string_view::npos) end = text.size();
        if (next < text.size() && text[next] == '\n') ++next;

        std::string line = CleanReportLine(text.substr(start, end - start));
        if (line == "HE3") {
            lstInFile.Clear();
            return ReportRead::kStillEncoded;
        }
        if (lines < kMaxReportLines) lstInFile.AddItem(std::move(line));
        ++lines;
        if (lines % kLinesPerYield == 0) LetPendingEventsRun();
        start = next;
    }
    if (lines > kMaxReportLines) {
        throw RuntimeError(errnum::kOverflow,
                           "Overflow: the report " + path + " has " + std::to_string(lines) +
                               " lines; the lines after line " + std::to_string(kMaxReportLines) +
                               " are not processed");
    }
    return ReportRead::kRead;
}

}  // namespace kolbi
