#pragma once

#include <string>
#include <string_view>

namespace kolbi {

// Text on its way into the error log or the system log, both of which are
// UTF-8 with one entry per line. Text that is valid UTF-8 (driver messages,
// file names) stays as it is; anything else is taken for Windows-1252 (report
// contents, INI values as found in the file) and converted. Line breaks and
// the other control characters but the tab become spaces, so a value or a file
// name can never start a line of its own and pass for an entry of the pump.
std::string LogLineText(std::string_view text);

}  // namespace kolbi
