// The operator's command, run as the operator runs it.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <memory>

#include "db/connection.h"
#include "db/odbc_ini.h"
#include "db/test_database.h"
#include "support/temp_folder.h"

namespace kolbi {
namespace {

struct Outcome {
    int status = -1;
    std::string output;  // stdout and stderr together
};

Outcome Kolbidb(const std::string& arguments, const std::string& odbcini = "") {
    std::string command = (odbcini.empty() ? "" : "ODBCINI='" + odbcini + "' ") +
                          std::string(KOLBIDB_PATH) + " " + arguments + " 2>&1";
    Outcome outcome;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) return outcome;
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) {
        outcome.output.append(buffer, n);
    }
    int status = ::pclose(pipe);
    outcome.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return outcome;
}

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

TEST(KolbidbTest, CreatesASqliteDatabaseWithItsDataSourceAndChecksIt) {
    testing::TempFolder folder;
    const std::string ini = folder / "odbc.ini";
    folder.Write("odbc.ini", "[other]\nDriver = x\n");
    Outcome created =
        Kolbidb("create --sqlite " + (folder / "inv.db") + " --dsn kolbi_cli --odbcini " + ini);
    ASSERT_EQ(created.status, 0) << created.output;

    std::map<std::string, std::string> source = ReadDataSource(ini, "kolbi_cli");
    EXPECT_EQ(source["Driver"], "SQLite3");
    EXPECT_EQ(source["Database"], folder / "inv.db");
    EXPECT_EQ(source["LoadExt"].front(), '/');
    EXPECT_EQ(source["JournalMode"], "WAL");
    EXPECT_EQ(ReadDataSource(ini, "other")["Driver"], "x");  // the rest of the file stays

    Outcome checked = Kolbidb("check --dsn kolbi_cli", ini);
    EXPECT_EQ(checked.status, 0) << checked.output;

    Outcome again =
        Kolbidb("create --sqlite " + (folder / "inv.db") + " --dsn kolbi_cli --odbcini " + ini);
    EXPECT_EQ(again.status, 1);
    EXPECT_TRUE(Contains(again.output, "already exists")) << again.output;
}

TEST(KolbidbTest, CheckSaysWhatIsMissing) {
    testing::TempFolder folder;
    const std::string ini = folder / "odbc.ini";
    ASSERT_EQ(
        Kolbidb("create --sqlite " + (folder / "inv.db") + " --dsn kolbi_cli --odbcini " + ini)
            .status,
        0);
    {
        Connection connection;
        connection.SetConnectionString("Driver=SQLite3;Database=" + (folder / "inv.db") +
                                       ";LoadExt=" KOLBI_GETDATE_PATH);
        connection.Open();
        connection.ExecuteDirect(SqlText("ALTER TABLE Postes DROP COLUMN Poste_Mac"));
    }
    Outcome checked = Kolbidb("check --dsn kolbi_cli", ini);
    EXPECT_EQ(checked.status, 1);
    EXPECT_TRUE(Contains(checked.output, "table Postes has no column Poste_Mac")) << checked.output;

    // Without the extension's data source entry, Getdate() is what is missing.
    std::map<std::string, std::string> source = ReadDataSource(ini, "kolbi_cli");
    source.erase("LoadExt");
    ASSERT_TRUE(WriteDataSource(ini, "kolbi_cli", source));
    checked = Kolbidb("check --dsn kolbi_cli", ini);
    EXPECT_EQ(checked.status, 1);
    EXPECT_TRUE(Contains(checked.output, "Getdate() does not work")) << checked.output;
}

TEST(KolbidbTest, CommandLineMistakesAndUnknownDataSources) {
    struct Case {
        std::string arguments;
        int status;
        std::string says;
    } cases[] = {
        {"--help", 0, "kolbidb create --sqlite FILE --dsn NAME"},
        {"", 2, "no command given"},
        {"drop --dsn x", 2, "unknown command drop"},
        {"check", 2, "check needs --dsn NAME"},
        {"check --dsn", 2, "--dsn needs a value"},
        {"check --dsn a --dsn b", 2, "--dsn given twice"},
        {"create --dsn x --odbcini f", 2, "--odbcini and --extension go with --sqlite FILE"},
        {"check --dsn kolbi_nowhere", 1, "DSN=kolbi_nowhere"},
        {"create --sqlite /nonexistent-folder/x.db --dsn x", 1, "does not exist"},
        {"check --dsn 'kolbi_cli;Database=/tmp/other.db'", 2, "is no data source name"},
        {"check --dsn ' kolbi_cli'", 2, "is no data source name"},
    };
    for (const Case& c : cases) {
        Outcome outcome = Kolbidb(c.arguments);
        EXPECT_EQ(outcome.status, c.status) << c.arguments << "\n" << outcome.output;
        EXPECT_TRUE(Contains(outcome.output, c.says)) << c.arguments << "\n" << outcome.output;
    }
}

// A name that is no data source name leaves the odbc.ini file as it was:
// "x]" followed by a line would have made sections of its own.
TEST(KolbidbTest, ANameThatWouldBreakTheOdbcIniIsRefused) {
    testing::TempFolder folder;
    const std::string ini = folder / "odbc.ini";
    const std::string before = "[a]\nDriver = x\n";
    folder.Write("odbc.ini", before);
    for (const std::string dsn : {"'evil]\n[a'", "'a=b'", "''"}) {
        Outcome outcome = Kolbidb("create --sqlite " + (folder / "inv.db") + " --dsn " + dsn +
                                  " --odbcini " + ini);
        EXPECT_EQ(outcome.status, 2) << dsn << "\n" << outcome.output;
        EXPECT_EQ(folder.Read("odbc.ini"), before) << dsn;
        EXPECT_FALSE(folder.Has("inv.db")) << dsn;
    }
    EXPECT_FALSE(WriteDataSource(ini, "b", {{"Database", "x\n[a]"}}));
    EXPECT_EQ(folder.Read("odbc.ini"), before);
}

// A create that fails leaves the odbc.ini file and the folder as they were,
// so that it can be run again; a name that already leads elsewhere is kept.
TEST(KolbidbTest, AFailedCreateLeavesNothingBehind) {
    testing::TempFolder folder;
    const std::string ini = folder / "odbc.ini";
    const std::string before = "[KolbiPostgres]\nDriver = PostgreSQL Unicode\nDatabase = kolbi\n";
    folder.Write("odbc.ini", before);
    folder.Write("not-an-extension.so", "not a library");

    Outcome taken = Kolbidb("create --sqlite " + (folder / "inv.db") + " --dsn KolbiPostgres" +
                            " --odbcini " + ini);
    EXPECT_EQ(taken.status, 1);
    EXPECT_TRUE(Contains(taken.output, "already leads to another database")) << taken.output;

    Outcome broken =
        Kolbidb("create --sqlite " + (folder / "inv.db") + " --dsn kolbi_cli" + " --odbcini " +
                ini + " --extension " + (folder / "not-an-extension.so"));
    EXPECT_EQ(broken.status, 1);
    EXPECT_TRUE(Contains(broken.output, "Getdate() does not work")) << broken.output;
    EXPECT_EQ(folder.Read("odbc.ini"), before);
    EXPECT_FALSE(folder.Has("inv.db"));

    // Run again with what was missing, it succeeds.
    EXPECT_EQ(
        Kolbidb("create --sqlite " + (folder / "inv.db") + " --dsn kolbi_cli --odbcini " + ini)
            .status,
        0);
}

TEST(KolbidbTest, CreatesTheTablesOnAPostgreSqlDataSourceOnce) {
    KOLBI_REQUIRE_POSTGRESQL();
    testing::TestDatabase empty(testing::Backend::kPostgreSql, false);
    const std::string ini = UserOdbcIniPath();  // the test process's own file
    Outcome missing = Kolbidb("check --dsn " + empty.dsn(), ini);
    EXPECT_EQ(missing.status, 1);
    EXPECT_TRUE(Contains(missing.output, "table Postes is missing")) << missing.output;
    Outcome created = Kolbidb("create --dsn " + empty.dsn(), ini);
    EXPECT_EQ(created.status, 0) << created.output;
    EXPECT_TRUE(Contains(created.output, "PostgreSQL")) << created.output;
    EXPECT_EQ(Kolbidb("check --dsn " + empty.dsn(), ini).status, 0);
    Outcome again = Kolbidb("create --dsn " + empty.dsn(), ini);
    EXPECT_EQ(again.status, 1);
    EXPECT_TRUE(Contains(again.output, "already has tables of the pump")) << again.output;
}

}  // namespace
}  // namespace kolbi
