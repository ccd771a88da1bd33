#pragma once

#include <cstdint>
#include <string>

namespace kolbi {

// Records the ODBC driver of a report line in ODBC_Drv and each of its data
// sources in ODBC_DSN for the workstation PosteID; rows are only ever added.
// Line is the cleaned report line (Windows-1252, fields separated by "¬");
// ProductID the catalogue key of the same line (0 when it was not
// catalogued). Never fails and reports nothing: a step that fails is skipped,
// and a data source whose driver key could not be had (a failed look-up, a
// Null key or one beyond 32 bits) is not recorded.
void SaveOdbcInventory(std::int32_t PosteID, std::int32_t ProductID, const std::string& Line);

}  // namespace kolbi
