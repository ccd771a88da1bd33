#pragma once

#include <string>
#include <vector>

#include "db/connection.h"

namespace kolbi {

// What in the database is not as the current schema script makes it: one
// line per table, column, index or trigger whose definition (type, collation,
// checks, keys) differs or is missing; nothing when all is as the script has
// it. SQLite keeps each object's CREATE text, which is compared with the
// script's; on PostgreSQL the script is run in a schema of its own inside a
// transaction that is rolled back, and the catalogues of both are compared.
std::vector<std::string> CompareWithScript(Connection& connection);

// Brings a database made by any earlier schema script of the pump (SQLite or
// PostgreSQL) to the current one, in one transaction: each table's rows are
// set aside, the tables made anew by the script, and the rows put back with
// their keys; identities go on from where they were. A failure undoes it
// all. Returns what it did, for the operator.
std::string UpgradeSchema(Connection& connection);

}  // namespace kolbi
