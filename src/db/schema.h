#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "db/connection.h"
#include "db/db_error.h"

namespace kolbi {

// A table the pump reads or writes and the columns it uses there.
struct PumpTable {
    std::string name;
    std::vector<std::string> columns;
};

// Every table and column the pump uses, in the order the schema scripts
// create them.
const std::vector<PumpTable>& PumpTables();

// The schema script of a database (sql/sqlite.sql, sql/postgresql.sql,
// sql/sqlserver.sql, built into the program); empty for an unknown DBMS.
std::string_view SchemaScript(Dbms dbms);

// The statements of an SQL script: split at ";" outside literals, quoted
// names and comments, and at lines holding only GO; comments and blank
// statements dropped.
std::vector<std::string> SplitSqlScript(std::string_view script);

// Runs every statement of the script of the connection's DBMS. A failure
// names the statement; statements before it stay applied.
void ApplySchema(Connection& connection);

// The tables of PumpTables() that the connection can read.
std::vector<std::string> ExistingPumpTables(Connection& connection);

// Looks at every table and column the pump uses and at Getdate(); returns one
// line per thing missing ("table Postes is missing: ...", "table Postes has
// no column Poste_Mac", "Getdate() does not work: ..."), nothing when all is there.
std::vector<std::string> CheckSchema(Connection& connection);

}  // namespace kolbi
