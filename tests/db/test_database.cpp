#include "db/test_database.h"

#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <stdexcept>

#include "common/runtime_error.h"
#include "db/odbc_ini.h"
#include "db/schema.h"

namespace kolbi::testing {
namespace {

std::string Env(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

// The odbc.ini the test script exported, noted before this process points
// ODBCINI at its own file.
const std::string& ScriptOdbcIni() {
    static const std::string path = Env("ODBCINI");
    return path;
}

std::string UniqueName(const std::string& prefix) {
    static std::atomic<int> counter{0};
    return prefix + std::to_string(::getpid()) + "_" + std::to_string(++counter);
}

// Databases are copied from the scratch server's template, and dropped, from
// another database of the server.
void RunOnScratchServer(const std::string& sql) {
    Connection admin;
    admin.SetConnectionString("DSN=kolbi_pg_admin");
    admin.Open();
    admin.ExecuteDirect(SqlForTests::Statement(sql));
}

}  // namespace

std::string BackendName(Backend backend) {
    return backend == Backend::kSqlite ? "SQLite" : "PostgreSQL";
}

bool PostgreSqlSwitchedOff() { return Env("KOLBI_TEST_PG") == "off"; }

std::string PostgreSqlUnavailable() {
    if (Env("KOLBI_TEST_PG_DSN").empty()) {
        return "KOLBI_TEST_PG_DSN is not set, so there is no PostgreSQL to test against. Run "
               "scripts/test.sh (it starts a scratch server), or start one yourself: eval "
               "\"$(scripts/pg-scratch.sh start /tmp/kolbi-pg)\"; or set KOLBI_TEST_PG=off to "
               "leave PostgreSQL out of a quick local run.";
    }
    if (ScratchDataSource(Env("KOLBI_TEST_PG_DSN")).empty()) {
        return "the data source " + Env("KOLBI_TEST_PG_DSN") + " is not in " + ScriptOdbcIni();
    }
    return "";
}

std::map<std::string, std::string> ScratchDataSource(const std::string& dsn) {
    return ReadDataSource(ScriptOdbcIni(), dsn);
}

void AddDataSource(const std::string& dsn, const std::map<std::string, std::string>& attributes) {
    ScriptOdbcIni();  // noted before ODBCINI moves
    static TempFolder folder;
    const std::string ini = folder / "odbc.ini";
    if (!WriteDataSource(ini, dsn, attributes)) throw std::runtime_error("cannot write " + ini);
    ::setenv("ODBCINI", ini.c_str(), 1);
}

TestDatabase::TestDatabase(Backend backend, bool with_schema)
    : connection_(std::make_unique<Connection>()) {
    std::map<std::string, std::string> attributes;
    if (backend == Backend::kSqlite) {
        attributes = SqliteDataSource(folder_ / "inventory.db", KOLBI_GETDATE_PATH);
        attributes["NoCreat"] = "0";
    } else {
        const std::string why = PostgreSqlUnavailable();
        if (!why.empty()) throw std::runtime_error(why);
        attributes = ScratchDataSource(Env("KOLBI_TEST_PG_DSN"));
        attributes["Database"] = "postgres";
        AddDataSource("kolbi_pg_admin", attributes);
        pg_database_ = UniqueName("kolbi_t");
        RunOnScratchServer("CREATE DATABASE " + pg_database_ + " TEMPLATE kolbi_template");
        attributes["Database"] = pg_database_;
    }
    dsn_ = UniqueName(backend == Backend::kSqlite ? "kolbi_sqlite_" : "kolbi_pg_");
    AddDataSource(dsn_, attributes);
    connection_->SetConnectionString("DSN=" + dsn_);
    connection_->Open();
    if (with_schema) ApplySchema(*connection_);
}

TestDatabase::~TestDatabase() {
    connection_->Close();
    if (pg_database_.empty()) return;
    try {
        RunOnScratchServer("DROP DATABASE " + pg_database_ + " WITH (FORCE)");
    } catch (const RuntimeError&) {
        // A server a test has stopped keeps its database; the cluster goes anyway.
    }
}

void TestDatabase::Run(const std::string& sql) {
    connection_->ExecuteDirect(SqlForTests::Statement(sql));
}

std::vector<std::string> TestDatabase::Rows(const std::string& sql) {
    std::vector<std::string> rows;
    for (const std::vector<Value>& row : connection_->Query(SqlForTests::Statement(sql)).rows) {
        std::string line;
        for (std::size_t i = 0; i < row.size(); ++i) {
            line += (i ? "|" : "") + (row[i].IsNull() ? "NULL" : row[i].AsText());
        }
        rows.push_back(line);
    }
    return rows;
}

}  // namespace kolbi::testing
