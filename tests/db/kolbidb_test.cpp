// The operator's command, run as the operator runs it.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "db/odbc_ini.h"
#include "db/test_database.h"
#include "support/subprocess.h"

namespace kolbi {
namespace {

using ::testing::HasSubstr;

struct Outcome {
    int status;
    std::string said;  // standard output and error
};

Outcome Kolbidb(const std::vector<std::string>& args, const std::string& odbcini = "") {
    testing::ProcessResult run =
        testing::RunProcess(KOLBIDB_PATH, args,
                            odbcini.empty() ? std::vector<std::string>{}
                                            : std::vector<std::string>{"ODBCINI=" + odbcini});
    return {run.exit_status, run.out + run.err};
}

class KolbidbTest : public ::testing::Test {
protected:
    testing::TempFolder folder_;
    const std::string ini_ = folder_ / "odbc.ini";
    const std::string db_ = folder_ / "inv.db";
};

// Data sources may hold passwords: a new odbc.ini file is its owner's alone,
// one that exists keeps its mode.
mode_t ModeOf(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? st.st_mode & 0777 : 0;
}

TEST_F(KolbidbTest, CreatesASqliteDatabaseWithItsDataSourceAndChecksIt) {
    const std::string fresh_ini = folder_ / "fresh.ini";
    Outcome fresh = Kolbidb(
        {"create", "--sqlite", folder_ / "fresh.db", "--dsn", "kolbi_cli", "--odbcini", fresh_ini});
    ASSERT_EQ(fresh.status, 0) << fresh.said;
    EXPECT_EQ(ModeOf(fresh_ini), 0600u);
    folder_.Write("odbc.ini", "[other]\nDriver = x\n");
    ::chmod(ini_.c_str(), 0640);
    const std::vector<std::string> create = {"create",    "--sqlite",  db_, "--dsn",
                                             "kolbi_cli", "--odbcini", ini_};
    Outcome created = Kolbidb(create);
    ASSERT_EQ(created.status, 0) << created.said;
    EXPECT_EQ(ModeOf(ini_), 0640u);
    std::map<std::string, std::string> source = ReadDataSource(ini_, "kolbi_cli");
    EXPECT_EQ(source["Driver"], "SQLite3");
    EXPECT_EQ(source["Database"], db_);
    EXPECT_EQ(source["LoadExt"].front(), '/');
    EXPECT_EQ(source["JournalMode"], "WAL");
    EXPECT_EQ(ReadDataSource(ini_, "other")["Driver"], "x");  // the rest of the file stays
    EXPECT_EQ(Kolbidb({"check", "--dsn", "kolbi_cli"}, ini_).status, 0);
    Outcome again = Kolbidb(create);
    EXPECT_EQ(again.status, 1);
    EXPECT_THAT(again.said, HasSubstr("already exists"));

    // Without the extension's data source entry, Getdate() is what is missing.
    source.erase("LoadExt");
    ASSERT_TRUE(WriteDataSource(ini_, "kolbi_cli", source));
    Outcome checked = Kolbidb({"check", "--dsn", "kolbi_cli"}, ini_);
    EXPECT_EQ(checked.status, 1);
    EXPECT_THAT(checked.said, HasSubstr("Getdate() does not work"));
}

// Mistakes on the command line, unknown data sources and a create that fails
// leave the odbc.ini file and the folder as they were, so that the command
// can be run again: a name that would break the file ("x]" and a line would
// make sections of their own), one that already leads elsewhere, an
// extension that does not load.
TEST_F(KolbidbTest, MistakesAndFailuresLeaveNothingBehind) {
    const std::string before = "[a]\nDriver = PostgreSQL Unicode\nDatabase = kolbi\n";
    folder_.Write("odbc.ini", before);
    folder_.Write("bad.so", "not a library");
    const struct {
        std::vector<std::string> args;
        int status;
        std::string says;
    } cases[] = {
        {{"--help"}, 0, "kolbidb create --sqlite FILE --dsn NAME"},
        {{}, 2, "no command given"},
        {{"drop", "--dsn", "x"}, 2, "unknown command drop"},
        {{"check"}, 2, "check needs --dsn NAME"},
        {{"create", "--dsn", "x", "--odbcini", "f"}, 2, "--odbcini and --extension go with"},
        {{"check", "--dsn", "kolbi_nowhere"}, 1, "DSN=kolbi_nowhere"},
        {{"create", "--sqlite", "/nonexistent-folder/x.db", "--dsn", "x"}, 1, "does not exist"},
        {{"check", "--dsn", "kolbi_cli;Database=/tmp/other.db"}, 2, "is no data source name"},
        {{"check", "--dsn", " kolbi_cli"}, 2, "is no data source name"},
        {{"create", "--sqlite", db_, "--dsn", "evil]\n[a"}, 2, "is no data source name"},
        {{"create", "--sqlite", db_, "--dsn", ""}, 2, "--dsn needs a value"},
        {{"create", "--sqlite", db_, "--dsn", "a"}, 1, "already leads to another database"},
        {{"create", "--sqlite", db_, "--dsn", "b", "--extension", folder_ / "bad.so"},
         1,
         "Getdate() does not work"},
    };
    for (const auto& c : cases) {
        Outcome outcome = Kolbidb(c.args, ini_);
        EXPECT_EQ(outcome.status, c.status) << ::testing::PrintToString(c.args) << outcome.said;
        EXPECT_THAT(outcome.said, HasSubstr(c.says)) << ::testing::PrintToString(c.args);
        EXPECT_EQ(folder_.Read("odbc.ini"), before) << ::testing::PrintToString(c.args);
        EXPECT_FALSE(folder_.Has("inv.db")) << ::testing::PrintToString(c.args);
    }
    EXPECT_FALSE(WriteDataSource(ini_, "b", {{"Database", "x\n[a]"}}));
    EXPECT_EQ(folder_.Read("odbc.ini"), before);
    // Run again with what was missing.
    EXPECT_EQ(Kolbidb({"create", "--sqlite", db_, "--dsn", "b"}, ini_).status, 0);
}

TEST(KolbidbServerTest, CreatesTheTablesOnAPostgreSqlDataSourceOnce) {
    KOLBI_REQUIRE_POSTGRESQL();
    testing::TestDatabase empty(testing::Backend::kPostgreSql, false);
    const std::string ini = UserOdbcIniPath();  // the test process's own file
    Outcome missing = Kolbidb({"check", "--dsn", empty.dsn()}, ini);
    EXPECT_EQ(missing.status, 1);
    EXPECT_THAT(missing.said, HasSubstr("table Postes is missing"));
    Outcome created = Kolbidb({"create", "--dsn", empty.dsn()}, ini);
    EXPECT_EQ(created.status, 0) << created.said;
    EXPECT_THAT(created.said, HasSubstr("PostgreSQL"));
    EXPECT_EQ(Kolbidb({"check", "--dsn", empty.dsn()}, ini).status, 0);
    Outcome again = Kolbidb({"create", "--dsn", empty.dsn()}, ini);
    EXPECT_EQ(again.status, 1);
    EXPECT_THAT(again.said, HasSubstr("already has tables of the pump"));
}

}  // namespace
}  // namespace kolbi
