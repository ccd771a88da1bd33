#pragma once

#include <string>
#include <string_view>

namespace kolbi {

// The pump looks rows up by name (workstation, product, ODBC driver and data
// source), ignoring case and trailing spaces as SQL Server's collation does.
// SQL Server compares the name columns so itself; SQLite and PostgreSQL keep,
// beside each such column, a key column <column>_Key that the schema derives
// from the name, and the look-ups compare keys (see sql/sqlite.sql).

// Whether the column (any case) is a name column with a key beside it.
bool HasNameKey(std::string_view column);

// The key of a UTF-8 name, as the schemas derive it: trailing spaces cut,
// the capitals of Windows-1252 (ASCII, À to Þ but ×, Š, Œ, Ž, Ÿ) made small,
// everything else as it is.
std::string NameKey(std::string_view utf8);

}  // namespace kolbi
