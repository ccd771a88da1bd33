#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "odbc/driver_cache.h"

namespace kolbi {

// Records the ODBC driver of a report line in ODBC_Drv and each of its data
// sources in ODBC_DSN for the workstation PosteID; rows are only ever added.
// Line is the cleaned report line (Windows-1252, fields separated by "¬");
// ProductID the catalogue key of the same line (0 when it was not
// catalogued). Never fails and reports nothing: a step that fails is skipped,
// and a data source whose driver key could not be had (a failed look-up, a
// Null key or one beyond 32 bits) is not recorded. A driver in known_drivers
// is taken from there; the key a look-up reads is remembered there.
void SaveOdbcInventory(std::int32_t PosteID, std::int32_t ProductID, const std::string& Line,
                       DriverCache& known_drivers);

// What an ODBC driver line says: the driver and its data sources, each as
// its name, database and server (a missing part empty).
struct OdbcLine {
    OdbcDriver driver;
    std::vector<std::vector<std::string>> data_sources;
};

// The cleaned report line taken apart as SaveOdbcInventory takes it; none
// for a line too long to count or with fewer than four "¬".
std::optional<OdbcLine> ParseOdbcLine(const std::string& Line);

}  // namespace kolbi
