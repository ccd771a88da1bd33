#pragma once

#include <map>
#include <string>
#include <string_view>

namespace kolbi {

// The user's data-source file as the driver manager finds it: $ODBCINI when
// set, else ~/.odbc.ini.
std::string UserOdbcIniPath();

// The attributes of one data source in an odbc.ini file (keys as written,
// values trimmed); empty when the file or the section is missing.
std::map<std::string, std::string> ReadDataSource(const std::string& ini_path,
                                                  const std::string& dsn);

// True when name can be a data source name: not empty, no control character,
// no blank at either end, and none of the characters []{}(),;?*=!@\ that the
// odbc.ini sections and the connection strings give a meaning of their own.
bool ValidDataSourceName(std::string_view name);

// Replaces (or adds) the section [dsn] of an odbc.ini file with the given
// attributes, keeping every other line of the file. False, with the file left
// as it was, when the name is not a valid data source name, when a key or a
// value would break the file (a line break, an "=" in a key), or when the
// file cannot be written. A new file is made readable by its owner only.
bool WriteDataSource(const std::string& ini_path, const std::string& dsn,
                     const std::map<std::string, std::string>& attributes);

// The attributes of a data source for a SQLite database file of the pump:
// the SQLite3 driver, the file, the Getdate() extension, WAL journal, a busy
// timeout, and no silent creation of a missing file.
std::map<std::string, std::string> SqliteDataSource(const std::string& database_file,
                                                    const std::string& getdate_extension);

}  // namespace kolbi
