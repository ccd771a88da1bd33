#pragma once

#include <string>

#include "common/clock.h"

namespace kolbi {

// Formats a date with a log date pattern: "DD" two-digit day, "MM" two-digit
// month, "YYYY" four-digit year, "YY" its last two digits, letters in either
// case; "/" is the date separator and every other character stands for itself.
// An empty pattern gives the short date form, which on this host is the
// ISO one ("2026-12-04"): it sorts and is safe in a file name.
std::string FormatLogDate(const std::string& pattern, const LocalDateTime& when);

// The time as "h:m:s", hours 0 to 23, no leading zeros ("9:5:3").
std::string FormatLogTime(const LocalDateTime& when);

}  // namespace kolbi
