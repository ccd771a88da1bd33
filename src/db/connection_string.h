#pragma once

#include <string>

#include "common/pump_settings.h"

namespace kolbi {

// The connection string as the program has always built it:
//   DsnEntry not blank (after removing leading and trailing spaces):
//     Provider=MSDASQL.1;Extended Properties='DSN=<DsnEntry as read>;Trusted_Connection=Yes'
//   otherwise:
//     Driver={SQL Server};Server=<SQLSERVER>;Database=<Database>;Uid=<SQLUser>;Pwd=<SQLPass>
// A value goes in as it is read, unless it holds a ";" or begins with "{"
// (spaces aside): then it goes in braces with every "}" in it doubled, as ODBC
// reads a value, so that a ";" in a password is part of the password, not a
// new setting.
std::string BuildConnectionString(const PumpSettings& settings);

// What the ODBC driver manager is given for a connection string: the ODBC
// string inside "Extended Properties='...'" of the data-source form; any other
// string (the driver form, a plain "DSN=...") as it stands.
std::string OdbcConnectionString(const std::string& connection_string);

// The connection string with the value of every Pwd= or Password= replaced by
// "***", for logs and messages: all of a value in braces, whatever it holds,
// and all of one without braces up to the next "key=value".
std::string HidePassword(const std::string& connection_string);

}  // namespace kolbi
