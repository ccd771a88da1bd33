// The database server goes away while the pump holds its connection open: a
// PostgreSQL cluster of the test's own, stopped for real in the middle.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>

#include "common/file_helpers.h"
#include "common/program_end.h"
#include "common/pump_settings.h"
#include "db/db_connect.h"
#include "db/db_error.h"
#include "db/odbc_ini.h"
#include "db/recordset.h"
#include "db/schema.h"
#include "db/test_database.h"
#include "log/write_log.h"
#include "report/set_transac.h"

namespace kolbi {
namespace {

const std::string kScript = KOLBI_SOURCE_DIR "/scripts/pg-scratch.sh";

class ConnectionLostTest : public ::testing::Test {
protected:
    void SetUp() override {
        KOLBI_REQUIRE_POSTGRESQL();
        dir_ = cluster_.path();
        dir_.pop_back();  // no trailing "/" in a socket folder
        ASSERT_EQ(Shell("start"), 0) << "cannot start a PostgreSQL cluster in " << dir_;
        started_ = true;
        std::map<std::string, std::string> source = ReadDataSource(dir_ + "/odbc.ini", "kolbi_pg");
        ASSERT_FALSE(source.empty());
        testing::AddDataSource("kolbi_lost", source);

        SetAppFolderForTesting(app_.path(), "pump");
        Settings() = PumpSettings{};
        Settings().AppFolder = app_.path();
        Settings().SqlDateFormat = "DD-MM-YYYY";
        Settings().LogErrors = true;
        Settings().DsnEntry = "kolbi_lost";
        Connection setup;
        setup.SetConnectionString("DSN=kolbi_lost");
        setup.Open();
        ApplySchema(setup);
    }
    void TearDown() override {
        CloseAndReleaseDBConnection();
        if (started_) Shell("stop");
    }
    int Shell(const std::string& command) {
        return std::system((kScript + " " + command + " " + dir_ + " >/dev/null").c_str());
    }
    std::vector<std::string> LogErrorLines() {
        std::istringstream log(app_.Read(std::filesystem::path(TodaysLogPath()).filename()));
        std::vector<std::string> lines;
        for (std::string line; std::getline(log, line);) {
            if (line.rfind("Error      ", 0) == 0) lines.push_back(line);
        }
        return lines;
    }

    testing::TempFolder cluster_;
    testing::TempFolder app_;
    std::string dir_;
    bool started_ = false;
};

TEST_F(ConnectionLostTest, TheNextDatabaseStepFailsAndTheLogEndsTheProgram) {
    ScopedProgramEndTrap trap;
    DBConnect();
    ASSERT_TRUE(DBConnected());
    ASSERT_EQ(Shell("kill"), 0);

    // The record set says what it was doing and that the connection failed.
    Recordset rs;
    try {
        rs.Open(SqlText("SELECT * From Postes WHERE Poste_Nom = ").QuotedUtf8("PC01"));
        ADD_FAILURE() << "the query ran without a server";
    } catch (const RuntimeError& e) {
        EXPECT_EQ(e.number(), errnum::kUnspecified) << e.description();
        EXPECT_NE(e.description().find("SELECT * From Postes WHERE Poste_Nom = 'PC01'"),
                  std::string::npos);
        EXPECT_FALSE(e.sqlstate().empty());
    }

    // A procedure meeting it: one report, then the end (the connection is
    // still taken for open, as nothing tests its health).
    try {
        SetTransac("", "PC01");
        ADD_FAILURE() << "the program went on";
    } catch (const ProgramEnded& ended) {
        EXPECT_EQ(ended.exit_status, kExitFailure);
    }
    std::vector<std::string> errors = LogErrorLines();
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_NE(errors[0].find("Error No: -2147467259"), std::string::npos) << errors[0];
    EXPECT_NE(errors[0].find("SELECT * from Transactions"), std::string::npos) << errors[0];
    EXPECT_NE(errors[0].find("in procedure SetTransac of Module ModSI"), std::string::npos);

    // The cycle's close of a dead connection does not fail.
    EXPECT_NO_THROW(CloseAndReleaseDBConnection());
    EXPECT_FALSE(DBConnected());
}

}  // namespace
}  // namespace kolbi
