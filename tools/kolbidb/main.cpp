// kolbidb: creates and checks the pump's inventory database.
//
//   kolbidb create --sqlite FILE --dsn NAME [--odbcini FILE] [--extension FILE]
//   kolbidb create --dsn NAME
//   kolbidb check --dsn NAME
//   kolbidb upgrade --dsn NAME
//
// Exit status: 0 done, 1 failed, 2 wrong command line.

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "common/ascii.h"
#include "common/cp1252.h"
#include "common/file_system.h"
#include "common/runtime_error.h"
#include "db/connection.h"
#include "db/odbc_ini.h"
#include "db/schema.h"
#include "db/schema_upgrade.h"
#include "db/schema_version.h"

namespace kolbi {
namespace {

namespace fs = std::filesystem;

constexpr int kDone = 0;
constexpr int kFailed = 1;
constexpr int kUsage = 2;

constexpr const char* kHelp = R"(Usage:
  kolbidb create --sqlite FILE --dsn NAME [--odbcini FILE] [--extension FILE]
      Creates the SQLite database FILE with the pump's tables and writes the
      data source NAME for it (driver SQLite3, the file, the Getdate()
      extension, WAL journal) into the odbc.ini file: FILE of --odbcini, else
      $ODBCINI, else ~/.odbc.ini. FILE must not exist yet, nor NAME lead to
      another database; a create that fails leaves both as they were.
  kolbidb create --dsn NAME
      Creates the pump's tables in the existing database of the data source
      NAME (PostgreSQL or SQL Server; the driver tells which).
  kolbidb check --dsn NAME
      Connects to NAME and checks every table and column the pump uses, and
      Getdate(), the schema version, and the types, collations, keys and
      indexes against the current schema; lists what is missing or differs.
  kolbidb upgrade --dsn NAME
      Brings the database of NAME (SQLite or PostgreSQL), made by any earlier
      version of kolbidb, to the current schema, keeping every row; all or
      nothing. Back the database up first all the same.
  kolbidb --help
      Shows this text.

Exit status: 0 done, 1 failed, 2 wrong command line.
)";

struct Options {
    std::string command;
    std::optional<std::string> sqlite;
    std::optional<std::string> dsn;
    std::optional<std::string> odbcini;
    std::optional<std::string> extension;
};

// Messages are the pump's Windows-1252 texts; the terminal wants UTF-8.
std::string Shown(const std::string& cp1252) { return Cp1252ToUtf8(cp1252); }

int Fail(const std::string& message) {
    std::cerr << "kolbidb: " << Shown(message) << "\n";
    return kFailed;
}

int Usage(const std::string& message) {
    std::cerr << "kolbidb: " << message << "\nTry 'kolbidb --help'.\n";
    return kUsage;
}

std::optional<std::string> ParseOptions(int argc, char** argv, Options& options) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) return "no command given";
    options.command = args[0];
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        std::optional<std::string>* target = nullptr;
        if (arg == "--sqlite") target = &options.sqlite;
        if (arg == "--dsn") target = &options.dsn;
        if (arg == "--odbcini") target = &options.odbcini;
        if (arg == "--extension") target = &options.extension;
        if (!target) return "unknown option " + arg;
        if (i + 1 >= args.size() || args[i + 1].empty()) return arg + " needs a value";
        if (target->has_value()) return arg + " given twice";
        *target = args[++i];
    }
    return std::nullopt;
}

// The Getdate() extension: next to the program's library folder when
// installed or built, else where the build put it.
std::optional<std::string> FindExtension() {
    std::error_code error;
    fs::path exe = fs::read_symlink("/proc/self/exe", error);
    std::vector<fs::path> candidates;
    if (!error) {
        candidates.push_back(exe.parent_path() / "../lib/kolbi_getdate.so");
        candidates.push_back(exe.parent_path() / "../lib/kolbi/kolbi_getdate.so");
        candidates.push_back(exe.parent_path() / "kolbi_getdate.so");
    }
    candidates.emplace_back(KOLBI_GETDATE_BUILD_PATH);
    for (const fs::path& candidate : candidates) {
        if (fs::is_regular_file(candidate, error)) return fs::canonical(candidate, error).string();
    }
    return std::nullopt;
}

void ConnectTo(Connection& connection, const std::string& connection_string) {
    connection.SetConnectionString(connection_string);
    connection.Open();
}

int ReportProblems(const std::vector<std::string>& problems, const std::string& dsn) {
    for (const std::string& problem : problems) std::cerr << "  " << Shown(problem) << "\n";
    return Fail("the database of data source " + dsn + " lacks " + std::to_string(problems.size()) +
                " thing(s) the pump needs (listed above)");
}

// Writes the data source, then creates and checks the database through it.
int CreateSqliteWithDataSource(const std::string& dsn, const fs::path& file, const std::string& ini,
                               const std::string& extension) {
    if (!WriteDataSource(ini, dsn, SqliteDataSource(file.string(), extension))) {
        return Fail("cannot write the data source " + dsn + " into " + ini);
    }
    // The driver manager must read the file just written.
    ::setenv("ODBCINI", ini.c_str(), 1);

    bool connected = false;
    try {
        Connection connection;
        // The data source refuses to create a missing file; this once, it must.
        ConnectTo(connection, "DSN=" + dsn + ";NoCreat=0");
        connected = true;
        if (connection.dbms() != Dbms::kSqlite) {
            return Fail("data source " + dsn + " in " + ini + " does not lead to SQLite but to " +
                        connection.DbmsName() +
                        " (is the SQLite3 driver of libsqliteodbc "
                        "registered in odbcinst.ini?)");
        }
        ApplySchema(connection);
        std::vector<std::string> problems = CheckSchema(connection);
        if (!problems.empty()) return ReportProblems(problems, dsn);
    } catch (const RuntimeError& e) {
        return Fail(
            e.description() +
            (connected ? "" : " (the driver SQLite3 comes with the package libsqliteodbc)"));
    }
    return kDone;
}

int CreateSqlite(const Options& options) {
    const std::string& dsn = *options.dsn;
    std::error_code error;
    fs::path file = fs::absolute(*options.sqlite, error);
    if (error) return Fail("cannot resolve the path " + *options.sqlite);
    if (fs::exists(file, error) && fs::file_size(file, error) > 0) {
        return Fail(file.string() +
                    " already exists; create makes new databases only (remove "
                    "it or choose another file)");
    }
    if (!fs::is_directory(file.parent_path(), error)) {
        return Fail("the folder " + file.parent_path().string() + " does not exist");
    }
    std::optional<std::string> extension = options.extension;
    if (extension) {
        if (!fs::is_regular_file(*extension, error)) {
            return Fail("the Getdate() extension " + *extension + " does not exist");
        }
        extension = fs::canonical(*extension, error).string();
    } else {
        extension = FindExtension();
        if (!extension) {
            return Fail(
                "cannot find the Getdate() extension kolbi_getdate.so; give it with "
                "--extension FILE");
        }
    }
    const std::string ini =
        options.odbcini ? fs::absolute(*options.odbcini).string() : UserOdbcIniPath();
    const std::map<std::string, std::string> existing = ReadDataSource(ini, dsn);
    auto database = std::find_if(existing.begin(), existing.end(), [](const auto& entry) {
        return EqualsNoCase(entry.first, "Database");
    });
    if (!existing.empty() && (database == existing.end() || database->second != file.string())) {
        return Fail("the data source " + dsn + " in " + ini +
                    " already leads to another database; choose another name (or remove it "
                    "from the file first)");
    }

    // A create that fails leaves nothing behind, so that it can simply be run
    // again: the odbc.ini file as it was, no new database file.
    const std::optional<std::string> ini_before = Fs().ReadFile(ini);
    const bool file_existed = fs::exists(file, error);
    int status = CreateSqliteWithDataSource(dsn, file, ini, *extension);
    if (status != kDone) {
        if (ini_before) {
            (void)Fs().WriteFile(ini, *ini_before);
        } else {
            (void)Fs().Remove(ini);
        }
        if (file_existed) {
            fs::resize_file(file, 0, error);
        } else {
            fs::remove(file, error);
        }
        return status;
    }
    std::cout << "Created " << file.string() << " with the pump's tables.\n"
              << "Data source " << dsn << " written to " << ini << " (Getdate() from " << *extension
              << ").\n";
    return kDone;
}

int CreateOnServer(const Options& options) {
    const std::string& dsn = *options.dsn;
    try {
        Connection connection;
        ConnectTo(connection, "DSN=" + dsn);
        if (connection.dbms() == Dbms::kUnknown) {
            return Fail("data source " + dsn + " leads to " + connection.DbmsName() +
                        "; kolbidb knows PostgreSQL, SQL Server and SQLite");
        }
        std::vector<std::string> existing = ExistingPumpTables(connection);
        if (!existing.empty()) {
            std::string names;
            for (const std::string& name : existing) names += (names.empty() ? "" : ", ") + name;
            return Fail("the database of data source " + dsn + " already has tables of the pump (" +
                        names + "); create only fills an empty database. 'kolbidb check --dsn " +
                        dsn + "' tells what is missing");
        }
        ApplySchema(connection);
        std::vector<std::string> problems = CheckSchema(connection);
        if (!problems.empty()) return ReportProblems(problems, dsn);
        std::cout << "Created the pump's tables in the " << connection.DbmsName()
                  << " database of data source " << dsn << ".\n";
    } catch (const RuntimeError& e) {
        return Fail(e.description());
    }
    return kDone;
}

int Check(const Options& options) {
    const std::string& dsn = *options.dsn;
    try {
        Connection connection;
        ConnectTo(connection, "DSN=" + dsn);
        std::vector<std::string> problems = CheckSchema(connection);
        if (std::optional<std::string> version = SchemaNotCurrent(connection)) {
            problems.push_back(*version);
        }
        for (std::string& difference : CompareWithScript(connection)) {
            problems.push_back(std::move(difference));
        }
        if (!problems.empty()) return ReportProblems(problems, dsn);
        std::cout << "Data source " << dsn << " (" << connection.DbmsName()
                  << "): the schema is the current one (version " << kSchemaVersion
                  << "), and Getdate() works.\n";
    } catch (const RuntimeError& e) {
        return Fail(e.description());
    }
    return kDone;
}

int Upgrade(const Options& options) {
    const std::string& dsn = *options.dsn;
    try {
        Connection connection;
        ConnectTo(connection, "DSN=" + dsn);
        std::cout << Shown(UpgradeSchema(connection)) << "\n";
        std::vector<std::string> problems = CheckSchema(connection);
        for (std::string& difference : CompareWithScript(connection)) {
            problems.push_back(std::move(difference));
        }
        if (!problems.empty()) return ReportProblems(problems, dsn);
    } catch (const RuntimeError& e) {
        return Fail(e.description());
    }
    return kDone;
}

int Main(int argc, char** argv) {
    if (argc == 2 && (std::string(argv[1]) == "--help" || std::string(argv[1]) == "-h")) {
        std::cout << kHelp;
        return kDone;
    }
    Options options;
    if (std::optional<std::string> problem = ParseOptions(argc, argv, options)) {
        return Usage(*problem);
    }
    if (options.command != "create" && options.command != "check" && options.command != "upgrade") {
        return Usage("unknown command " + options.command);
    }
    if (!options.dsn) return Usage(options.command + " needs --dsn NAME");
    // A "]" or a line break in the name would make another section of the
    // odbc.ini file, a ";" another attribute of the connection string.
    if (!ValidDataSourceName(*options.dsn)) {
        return Usage("\"" + *options.dsn +
                     "\" is no data source name: it must not be empty, begin or end with a "
                     "space, or hold a control character or any of []{}(),;?*=!@\\");
    }
    if (options.command == "create") {
        if (options.sqlite) return CreateSqlite(options);
        if (options.odbcini || options.extension) {
            return Usage("--odbcini and --extension go with --sqlite FILE");
        }
        return CreateOnServer(options);
    }
    if (options.sqlite || options.odbcini || options.extension) {
        return Usage(options.command + " takes --dsn NAME only");
    }
    return options.command == "check" ? Check(options) : Upgrade(options);
}

}  // namespace
}  // namespace kolbi

int main(int argc, char** argv) { return kolbi::Main(argc, argv); }
