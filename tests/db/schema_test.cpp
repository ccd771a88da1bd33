#include "db/schema.h"

#include <gtest/gtest.h>

#include "db/db_test.h"

namespace kolbi {
namespace {

TEST(SplitSqlScriptTest, SplitsAtSemicolonsOutsideLiteralsAndComments) {
    const char* script =
        "-- heading; not a statement\n"
        "CREATE TABLE a (x int); /* a; comment */\n"
        "CREATE FUNCTION f() RETURNS int AS 'SELECT 1; SELECT 2';\n"
        "INSERT INTO \"b;c\" VALUES ('it''s;')\n"
        "GO\n"
        "CREATE INDEX i ON a (x)\n"
        ";;\n";
    EXPECT_EQ(
        SplitSqlScript(script),
        (std::vector<std::string>{
            "CREATE TABLE a (x int)", "CREATE FUNCTION f() RETURNS int AS 'SELECT 1; SELECT 2'",
            "INSERT INTO \"b;c\" VALUES ('it''s;')", "CREATE INDEX i ON a (x)"}));
}

// No SQL Server runs here (its script is only parsed, tsql_parses.sh); the
// scripts of the other two are checked on real databases below.
TEST(SchemaScriptsTest, TheSqlServerScriptCreatesEveryTableThePumpUses) {
    const std::string script(SchemaScript(Dbms::kSqlServer));
    for (const PumpTable& table : PumpTables()) {
        EXPECT_NE(script.find("CREATE TABLE " + table.name + " ("), std::string::npos)
            << table.name;
        for (const std::string& column : table.columns) {
            EXPECT_NE(script.find("    " + column + " "), std::string::npos) << column;
        }
    }
}

// The real databases: a fresh one passes the check; one that lost a column
// or a table is told apart, naming what is missing.
class SchemaCheckTest : public testing::DbTest {};

TEST_P(SchemaCheckTest, NamesWhatIsMissing) {
    EXPECT_TRUE(CheckSchema(db_->connection()).empty());
    db_->Run("DROP TABLE Transactions");
    db_->Run("CREATE TABLE Transactions (SIUser VARCHAR(20))");
    db_->Run("DROP TABLE ODBC_DSN");
    std::vector<std::string> problems = CheckSchema(db_->connection());
    ASSERT_EQ(problems.size(), 2u);
    EXPECT_EQ(problems[0], "table Transactions has no column SIPoste");
    EXPECT_EQ(problems[1].rfind("table ODBC_DSN is missing", 0), 0u) << problems[1];
}

KOLBI_ON_BOTH_DATABASES(SchemaCheckTest);

}  // namespace
}  // namespace kolbi
