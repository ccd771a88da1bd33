// The database server goes away while the pump holds its connection open: a
// PostgreSQL cluster of the test's own, stopped for real in the middle.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>

#include "db/db_test.h"
#include "db/odbc_ini.h"
#include "db/schema.h"

namespace kolbi {
namespace {

using ::testing::AllOf;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

class ConnectionLostTest : public ::testing::Test {
protected:
    void SetUp() override {
        KOLBI_REQUIRE_POSTGRESQL();
        dir_ = cluster_.path();
        dir_.pop_back();  // no trailing "/" in a socket folder
        ASSERT_EQ(Cluster("start"), 0) << "cannot start a PostgreSQL cluster in " << dir_;
        started_ = true;
        testing::AddDataSource("kolbi_lost", ReadDataSource(dir_ + "/odbc.ini", "kolbi_pg"));
        Settings().DsnEntry = "kolbi_lost";
        Connection setup;
        setup.SetConnectionString("DSN=kolbi_lost");
        setup.Open();
        ApplySchema(setup);
    }
    void TearDown() override {
        CloseAndReleaseDBConnection();
        if (started_) Cluster("stop");
    }
    int Cluster(const std::string& command) {
        return std::system(
            (KOLBI_SOURCE_DIR "/scripts/pg-scratch.sh " + command + " " + dir_ + " >/dev/null")
                .c_str());
    }

    testing::PumpEnvironment pump_;
    testing::TempFolder cluster_;
    std::string dir_;
    bool started_ = false;
};

TEST_F(ConnectionLostTest, TheNextDatabaseStepFailsAndTheLogEndsTheProgram) {
    DBConnect();
    ASSERT_TRUE(DBConnected());
    ASSERT_EQ(Cluster("kill"), 0);
    // The next step meets it: one report, saying what it was doing and that
    // the connection failed, then the end (the connection is still taken for
    // open, as nothing tests its health).
    EXPECT_EQ(testing::ExitStatusOf([] { SetTransac("", "PC01"); }), kExitFailure);
    EXPECT_THAT(pump_.LogLines(),
                ElementsAre(AllOf(HasSubstr("Error No: -2147467259"),
                                  HasSubstr("SELECT * from Transactions"),
                                  HasSubstr("in procedure SetTransac of Module ModSI"))));
    // The cycle's close of a dead connection does not fail.
    EXPECT_NO_THROW(CloseAndReleaseDBConnection());
    EXPECT_FALSE(DBConnected());
}

}  // namespace
}  // namespace kolbi
