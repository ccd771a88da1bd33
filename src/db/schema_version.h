#pragma once

#include <optional>
#include <string>

#include "db/connection.h"

namespace kolbi {

// The version of the schema the scripts in sql/ create, recorded in the one
// row of their table SchemaVersion. Databases made before versions were
// recorded have no such table: kolbidb upgrade tells their version by their
// columns.
inline constexpr int kSchemaVersion = 4;

// The version a database records; nothing when it has no SchemaVersion table
// (or an empty one). Fails as the connection fails otherwise.
std::optional<int> RecordedSchemaVersion(Connection& connection);

// Nothing when the database's schema is the one this program needs, else the
// operator's message, ending "run kolbidb upgrade" when that helps. One query.
std::optional<std::string> SchemaNotCurrent(Connection& connection);

}  // namespace kolbi
