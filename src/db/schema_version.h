#pragma once

#include <optional>
#include <string>

#include "db/connection.h"

namespace kolbi {

// What stands between the database's schema and the one this program
// expects, as the operator is to read it; nothing when it is current.
std::optional<std::string> SchemaNotCurrent(Connection& connection);

}  // namespace kolbi
