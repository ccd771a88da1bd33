#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "db/value.h"

namespace kolbi {

// Values in and out of columns, by the column's ODBC SQL type (ColumnInfo::sql_type).

// A fetched field (every driver can give it as text) turned into a value of
// its column's type. Whatever does not parse as that type stays a text, as a
// SQLite column may hold any text.
Value ValueFromColumnText(std::string text, int sql_type);

// The value a field write puts into a column of that type, converted the way
// the databases convert on assignment, so that a write fails at the write and
// every database stores the same thing:
//   integer columns  integers, whole-number texts (" 12", "+3"), floating-point
//                    numbers rounded half to even; each within the column's range
//   number columns   integers, floating-point numbers, texts that spell a number
//   date columns     dates, dates and times (the time dropped), and texts
//                    "YYYY-MM-DD": a day-month text such as "4-12-2026" reads as
//                    4 December or 12 April depending on the server, so it is refused
//   date-time columns dates and times, dates (at midnight), texts
//                    "YYYY-MM-DD" with an optional " HH:MM:SS[.fraction]"
//   text columns     texts, and numbers and dates as their text
//   other columns    anything, unchanged
// Null goes everywhere. Failures: a value of the wrong kind -2147217913
// (errnum::kConversionFailed), a number out of range dberr::kDataOverflow, a
// text holding a NUL character dberr::kValueRefused.
Value ValueForColumn(const Value& value, int sql_type);

// "YYYY-MM-DD", optionally followed by " HH:MM:SS" (or "T" for the space)
// and a fraction of a second, digits exactly as shown and a real calendar
// date; has_time says whether the time was there.
std::optional<DateTimeValue> ParseIsoDateTime(std::string_view text, bool& has_time);

}  // namespace kolbi
