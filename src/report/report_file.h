#pragma once

#include <string>

#include "common/list_box.h"

namespace kolbi {

// The most lines of a report that are processed: they are addressed by a
// 16-bit index.
inline constexpr int kMaxReportLines = 32767;

enum class ReportRead {
    kRead,          // lstInFile holds the cleaned lines
    kStillEncoded,  // a line read "HE3": the file is an HE3 stream, nothing kept
};

// Reads a decompressed report into lstInFile, one cleaned line per item. A
// line ends at CR LF or at a lone CR; a lone LF stays in its line until the
// cleaning removes it. Raises the file's error (FileError: 53, 70...) when it
// cannot be read, a link included, which is never followed, and 6 when it has
// more lines than can be processed (the first kMaxReportLines are kept).
// Lets pending events run between blocks of lines.
ReportRead ReadReport(const std::string& path, ListBox& lstInFile);

}  // namespace kolbi
