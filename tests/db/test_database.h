#pragma once

#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "db/connection.h"
#include "support/temp_folder.h"

namespace kolbi::testing {

// The test suite's own statements, run as written: the one way besides the
// schema scripts to make an SqlText of a run-time string.
class SqlForTests {
public:
    static SqlText Statement(std::string_view sql) { return SqlText::Verbatim(sql); }
};

// The databases the same test bodies run against.
enum class Backend { kSqlite, kPostgreSql };

// "SQLite" / "PostgreSQL", for parameterised test names.
std::string BackendName(Backend backend);

// Why PostgreSQL tests cannot run here ("" when they can), and whether
// KOLBI_TEST_PG=off asked to leave them out of a quick local run.
std::string PostgreSqlUnavailable();
bool PostgreSqlSwitchedOff();

// At the top of a test that needs the scratch PostgreSQL: skips it when
// KOLBI_TEST_PG=off, fails it (saying how to run it) when there is none.
#define KOLBI_REQUIRE_POSTGRESQL()                                                      \
    do {                                                                                \
        if (::kolbi::testing::PostgreSqlSwitchedOff()) {                                \
            GTEST_SKIP() << "PostgreSQL left out (KOLBI_TEST_PG=off)";                  \
        }                                                                               \
        const std::string kolbi_pg_missing = ::kolbi::testing::PostgreSqlUnavailable(); \
        if (!kolbi_pg_missing.empty()) FAIL() << kolbi_pg_missing;                      \
    } while (false)

// A data source of the scratch server's odbc.ini (kolbi_pg_badpw...).
std::map<std::string, std::string> ScratchDataSource(const std::string& dsn);

// Adds (or replaces) a data source in this test process's own odbc.ini,
// which ODBCINI points to from the first call on, so that test processes
// running side by side do not meet.
void AddDataSource(const std::string& dsn, const std::map<std::string, std::string>& attributes);

// A fresh database, holding the pump's schema unless with_schema is false,
// reachable through a data source of its own: a SQLite file in a temporary
// folder, or a PostgreSQL database copied from the scratch server's template.
// Dropped on destruction.
class TestDatabase {
public:
    explicit TestDatabase(Backend backend, bool with_schema = true);
    ~TestDatabase();
    TestDatabase(const TestDatabase&) = delete;
    TestDatabase& operator=(const TestDatabase&) = delete;

    // The data source name to put into DsnEntry.
    const std::string& dsn() const { return dsn_; }
    // A connection of the test's own (not the pump's shared one), open.
    Connection& connection() { return *connection_; }
    // Runs statements on that connection as they are written.
    void Run(const std::string& sql);
    // The rows of a query as texts ("NULL" for Null), joined by "|" per row.
    std::vector<std::string> Rows(const std::string& sql);

private:
    std::string dsn_;
    std::string pg_database_;
    TempFolder folder_;
    std::unique_ptr<Connection> connection_;
};

}  // namespace kolbi::testing
